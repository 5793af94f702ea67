#include <gtest/gtest.h>

#include "texts.h"

namespace tabulon {
namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
    lines.push_back(text.substr(start, end - start));
  EXPECT_EQ(start, text.size()) << "every line ends with CR LF";
  return lines;
}

TEST(TextsTest, HelpHasItsLinesWithTheirSpaces) {
  std::vector<std::string> help = Lines(texts::HelpText());
  ASSERT_EQ(help.size(), 58u);
  EXPECT_EQ(help[0], std::string(40, ' ') + "Табулон");
  EXPECT_EQ(help[1], "");
  EXPECT_EQ(help[8], "файлами мемо  полей, расширения  DBT и FPT.  ");
  EXPECT_EQ(help[27], "Кнопки, + -добавляет пустую строку, Х -удаляет выделенную");
  EXPECT_EQ(help[30], "<=>   -увеличивает  выбранную  ячейку в   таблице, ");
  EXPECT_EQ(help[48], "базы.   ");
  EXPECT_EQ(help[49], "Экспорт и импорт.");
  EXPECT_NE(help[53].find("разделитель и кодировку"), std::string::npos);
  EXPECT_EQ(help[57], "");
}

TEST(TextsTest, AboutHasSevenLines) {
  std::vector<std::string> about = Lines(texts::AboutText());
  ASSERT_EQ(about.size(), 7u);
  EXPECT_EQ(about[0], " ");
  EXPECT_EQ(about[1], std::string(21, ' ') + "ТАБУЛОН");
  EXPECT_EQ(about[2], "");
  EXPECT_EQ(about[3].substr(0, 3), "   ");
  EXPECT_EQ(about[6].substr(0, 21), std::string(21, ' '));
}

}  // namespace
}  // namespace tabulon

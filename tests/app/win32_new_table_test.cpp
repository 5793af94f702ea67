// Creating a table on the Win32 backend: the definition lines and the
// outcome are shown in real message boxes, and the file is named in the
// real save dialog, typed into its file-name box. A timer of the test's
// own thread answers every dialog, so a failure never leaves it waiting.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "program.h"
#include "support/table_bytes.h"
#include "system.h"
#include "win32_test_support.h"

#include <windows.h>

namespace tabulon {
namespace {

using test::H;
using test::ReadFile;

constexpr int kFileNameBox = 0x47C;  // cmb13, the save dialog's file-name box

// What the timer saw and did.
struct Answers {
  std::wstring typed_name;        // typed into the save dialog
  int dialogs_answered = 0;
  std::vector<std::wstring> boxes;  // message box texts, in order
};
Answers answers;

BOOL CALLBACK AnswerDialog(HWND w, LPARAM) {
  wchar_t cls[16] = {};
  GetClassNameW(w, cls, 16);
  if (wcscmp(cls, L"#32770") != 0 || !IsWindowVisible(w)) return TRUE;
  if (GetDlgItem(w, kFileNameBox) != nullptr) {
    // A dialog still up after the name was given refused it: give up.
    if (answers.dialogs_answered++ > 0) {
      PostMessageW(w, WM_COMMAND, IDCANCEL, 0);
      return FALSE;
    }
    SetDlgItemTextW(w, kFileNameBox, answers.typed_name.c_str());
    PostMessageW(w, WM_COMMAND, IDOK, 0);
    return FALSE;
  }
  wchar_t text[512] = {};
  GetDlgItemTextW(w, 0xFFFF, text, 512);  // the static text of a message box
  answers.boxes.push_back(text);
  PostMessageW(w, WM_COMMAND, IDOK, 0);
  return FALSE;
}

void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) { EnumThreadWindows(GetCurrentThreadId(), AnswerDialog, 0); }

bool Exists(const std::string& path) {
  FILE* f = _wfopen(test::Widen(path).c_str(), L"rb");
  if (f != nullptr) fclose(f);
  return f != nullptr;
}

class Win32NewTable : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = GetTempFolder();
    program_ = NewProgram();
    main_ = &program_->GetMainWindow();
    main_->Window->Show();
    for (const char* name : {"tabulon-new.dbf", "tabulon-new.dbt", "TABULONNEW", "TABULONNEt"})
      _wremove(test::Widen(folder_ + name).c_str());
  }
  void TearDown() override {
    program_.reset();
    for (const char* name : {"tabulon-new.dbf", "tabulon-new.dbt", "TABULONNEW", "TABULONNEt"})
      _wremove(test::Widen(folder_ + name).c_str());
  }

  // Fills the field rows and presses "Сохранить" with the name to type.
  void Create(const std::vector<std::vector<std::string>>& rows, const std::string& name) {
    main_->FieldCountEdit->SetText(std::to_string(rows.size()));
    SendMessageW(H(*main_->FieldCountButton), BM_CLICK, 0, 0);
    for (size_t r = 0; r < rows.size(); ++r)
      for (int c = 0; c < 3; ++c) main_->FieldGrid->GetCell(c, int(r)).SetText(rows[r][size_t(c)]);
    answers = Answers{};
    const std::string path = folder_ + name;
    answers.typed_name = test::Widen(path);
    UINT_PTR timer = SetTimer(nullptr, 0, 100, Tick);
    SendMessageW(H(*main_->CreateTableButton), BM_CLICK, 0, 0);  // returns when the command ended
    KillTimer(nullptr, timer);
  }

  std::string folder_;
  std::unique_ptr<Program> program_;
  MainWindow* main_ = nullptr;
};

TEST_F(Win32NewTable, CreatesTheTableNamedInTheSaveDialog) {
  Create({{"NAME", "20", "Text"}, {"NOTES", "", "Memo"}}, "tabulon-new.dbf");
  EXPECT_EQ(answers.dialogs_answered, 1);
  ASSERT_EQ(answers.boxes.size(), 3u);
  EXPECT_EQ(answers.boxes[0], L"NAME=C20");
  EXPECT_EQ(answers.boxes[1], L"NOTES=M");
  // "База успешно создана"
  EXPECT_EQ(answers.boxes[2], L"\x0411\x0430\x0437\x0430 \x0443\x0441\x043F\x0435\x0448\x043D\x043E "
                              L"\x0441\x043E\x0437\x0434\x0430\x043D\x0430");
  EXPECT_EQ(main_->Session->GetFileName(), folder_ + "tabulon-new.dbf");
  EXPECT_EQ(main_->Session->GetMemoFileName(), folder_ + "tabulon-new.dbt");
  const test::Bytes b = ReadFile(folder_ + "tabulon-new.dbf");
  ASSERT_EQ(b.size(), 32u * 2 + 34);
  EXPECT_EQ(b[0], 0x83);
  EXPECT_EQ(test::GetLittle32(b, 4), 0u);
  EXPECT_EQ(test::Slice(b, 32, 4), "NAME");
  EXPECT_EQ(ReadFile(folder_ + "tabulon-new.dbt"), (test::Bytes{1, 0, 0, 0}));
  EXPECT_FALSE(main_->Session->IsOpen());
}

// The dialog adds no extension: a name typed without one is the file's name.
TEST_F(Win32NewTable, ANameTypedWithoutExtensionIsUsedAsTyped) {
  Create({{"A", "5", "Text"}}, "TABULONNEW");
  EXPECT_EQ(answers.dialogs_answered, 1);
  ASSERT_EQ(answers.boxes.size(), 2u);
  EXPECT_EQ(answers.boxes[0], L"A=C5");
  EXPECT_TRUE(Exists(folder_ + "TABULONNEW"));
  EXPECT_FALSE(Exists(folder_ + "TABULONNEW.dbf"));
  EXPECT_EQ(ReadFile(folder_ + "TABULONNEW").size(), 66u);
  EXPECT_EQ(main_->Session->GetMemoFileName(), "");
  _wremove(test::Widen(folder_ + "TABULONNEW.dbf").c_str());
}

}  // namespace
}  // namespace tabulon

// The main window at start-up, its layout, and the help, about and memo
// editor windows.
#include "app_test_support.h"
#include "texts.h"

namespace tabulon {
namespace {

using MainWindowTest = AppTest;

TEST_F(MainWindowTest, StartsWithAnEmptyViewAndTheNewTableArea) {
  MainWindow& w = *win_;
  EXPECT_EQ(w.Window->GetText(), "ТАБУЛОН");
  EXPECT_EQ(w.Window->GetFont().GetName(), "Arial");
  EXPECT_EQ(w.Window->GetFont().GetCharSet(), 204);
  EXPECT_EQ(w.Window->GetClientSize().Width, 558);
  EXPECT_EQ(w.Window->GetClientSize().Height, 513);
  EXPECT_EQ(w.Window->GetLeft(), 252);
  EXPECT_EQ(w.Window->GetTop(), 126);
  EXPECT_EQ(Status(), "OK");
  EXPECT_FALSE(w.ZoomOutButton->IsEnabled());
  EXPECT_TRUE(w.ZoomInButton->IsEnabled());
  EXPECT_FALSE(w.OemCheckBox->IsChecked());
  EXPECT_EQ(w.TableGrid->ColCount(), 0);
  EXPECT_EQ(w.TableGrid->RowCount(), 0);
  EXPECT_EQ(w.TableGrid->TitleFont().GetName(), "MS Sans Serif");
  EXPECT_EQ(w.TableGrid->TitleFont().GetCharSet(), 1);
  ASSERT_EQ(w.FieldGrid->ColCount(), 3);
  ASSERT_EQ(w.FieldGrid->RowCount(), 1);
  EXPECT_EQ(w.FieldGrid->GetColTitle(0), "Имя поля");
  EXPECT_EQ(w.FieldGrid->GetColTitle(1), "Размер поля");
  EXPECT_EQ(w.FieldGrid->GetColTitle(2), "Тип поля");
  for (int c = 0; c < 3; ++c) {
    EXPECT_EQ(w.FieldGrid->GetCell(c, 0).GetText(), "");
    EXPECT_EQ(w.FieldGrid->GetColWidth(c), 150);
  }
  EXPECT_EQ(w.FieldGrid->GetRowTitleWidth(), 0);
  EXPECT_EQ(w.FieldGrid->GetColTitleHeight(), 30);
  EXPECT_EQ(w.TypeCellEditor->GetCount(), 2);
  EXPECT_EQ(w.TypeCellEditor->GetText(), "Text");
  EXPECT_EQ(w.MemoCellEditor->GetText(), "Memo1\r\n");
  for (Control* editor : {static_cast<Control*>(w.TypeCellEditor.get()),
                          static_cast<Control*>(w.TextCellEditor.get()),
                          static_cast<Control*>(w.SizeCellEditor.get()),
                          static_cast<Control*>(w.MemoCellEditor.get())})
    EXPECT_FALSE(editor->IsVisible());
  EXPECT_TRUE(w.SearchHitRecords.empty());
  EXPECT_TRUE(w.FieldDefinitionLines.empty());
  EXPECT_EQ(w.SavedColWidth, 0);
  EXPECT_EQ(w.SavedRowHeight, 0);

  // The menu: "Файл" opens the submenu of the load, export and import items.
  const auto& items = w.MainMenu->GetItems();
  ASSERT_EQ(items.size(), 6u);
  EXPECT_TRUE(items[0].HasSubmenu);
  for (int i : {1, 2, 3}) EXPECT_EQ(items[size_t(i)].Parent, 0);
  EXPECT_EQ(items[1].Caption, "Заерузить");
  EXPECT_EQ(items[2].Caption, "Экспорт…");
  EXPECT_EQ(items[3].Caption, "Импорт…");
  EXPECT_EQ(items[4].Parent, -1);
  EXPECT_EQ(items[5].Parent, -1);

  // The dialog starts in the program's folder and belongs to the window.
  const std::string folder = w.FileDialog->GetInitialDir();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), '/');
  EXPECT_EQ(GetProgramPath().rfind(folder, 0), 0u);
  EXPECT_EQ(w.FileDialog->GetOwner(), w.Window->GetHandle());
}

TEST_F(MainWindowTest, OnlyTheTableViewChangesHeightWithTheWindow) {
  MainWindow& w = *win_;
  w.Window->Show();
  auto check = [&](int width, int grid_height) {
    EXPECT_EQ(w.TableGrid->GetBounds(), (Rect{0, 0, width, grid_height}));
    int top = grid_height;
    for (auto [panel, height] : {std::pair<Panel*, int>{w.ButtonBar.get(), 33},
                                 {w.SearchTitleBar.get(), 27},
                                 {w.SearchPanel.get(), 126},
                                 {w.NewTablePanel.get(), 150}}) {
      EXPECT_EQ(panel->GetBounds(), (Rect{0, top, width, top + height}));
      top += height;
    }
  };
  check(558, 177);
  w.Window->SetClientSize(700, 613);
  check(700, 277);
  // The panels' contents: the search list and the title labels follow the width.
  EXPECT_EQ(w.FieldGrid->GetHeight(), 86);
  EXPECT_EQ(w.SearchResultList->GetHeight(), 84);
  EXPECT_EQ(w.SearchResultList->GetTop(), w.SearchPanel->GetClientRect().Top);
  EXPECT_EQ(w.SearchMaskEdit->GetBounds(), (Rect{5, 92, 382, 114}));
  EXPECT_EQ(w.StatusLabel->GetBounds(), (Rect{237, 5, 406, 24}));
  EXPECT_EQ(w.OemCheckBox->GetBounds(), (Rect{137, 3, 209, 25}));

  // Shrunk as far as it goes, every control is whole and the table view
  // keeps its titles and three rows.
  w.Window->SetClientSize(100, 100);
  const Size least = w.Window->GetClientSize();
  EXPECT_EQ(least, w.Window->GetMinClientSize());
  EXPECT_LT(least.Width, 558);
  EXPECT_LT(least.Height, 513);
  for (const Panel* panel : {w.ButtonBar.get(), w.SearchTitleBar.get(), w.SearchPanel.get(), w.NewTablePanel.get()})
    for (const Control* child : panel->GetChildren()) {
      EXPECT_LE(child->GetBounds().Right, panel->GetClientSize().Width);
      EXPECT_LE(child->GetBounds().Bottom, panel->GetClientSize().Height);
    }
  EXPECT_GE(w.TableGrid->GetClientSize().Height, 20 + 3 * 20);
}

// The help and about windows: opened from the menu bar, closed with the
// close box, hidden again and ready for the next time.
TEST_F(MainWindowTest, HelpAndAboutOpenAnyNumberOfTimes) {
  HelpWindow& help = program_->GetHelpWindow();
  AboutWindow& about = program_->GetAboutWindow();
  EXPECT_EQ(help.Window->GetText(), "Справка");
  EXPECT_EQ(about.Window->GetText(), "О программе");
  EXPECT_FALSE(help.Window->IsVisible());
  EXPECT_EQ(help.Window->GetClientSize().Width, 458);
  EXPECT_EQ(help.Window->GetClientSize().Height, 374);
  EXPECT_EQ(about.Window->GetClientSize().Width, 372);
  EXPECT_EQ(about.Window->GetClientSize().Height, 139);
  const std::string help_text = help.HelpText->GetText();
  EXPECT_EQ(help_text, texts::HelpText());
  EXPECT_EQ(about.AboutText->GetText(), texts::AboutText());
  EXPECT_EQ(help.HelpText->GetColor(), 0x80000016u);
  EXPECT_EQ(about.AboutText->GetColor(), 0x8000000Fu);
  EXPECT_EQ(help.HelpText->GetBounds(), (Rect{0, 0, 458, 374}));

  for (int round = 0; round < 2; ++round) {
    for (auto [index, form] : {std::pair<int, Form*>{4, help.Window.get()}, {5, about.Window.get()}}) {
      bool was_shown = false;
      headless::QueueModalAction([&, f = form](Form& modal) {
        was_shown = &modal == f && f->IsVisible() && !headless::IsWindowEnabled(*win_->Window);
        headless::PressCloseBox(modal);
      });
      headless::ChooseMenuItem(*win_->Window, index);
      EXPECT_TRUE(was_shown);
      EXPECT_FALSE(form->IsVisible());
      EXPECT_EQ(form->GetModalResult(), kMrCancel);
    }
    EXPECT_EQ(help.HelpText->GetText(), help_text);
  }
  EXPECT_EQ(headless::GetStarvedModalCount(), 0);
}

TEST_F(MainWindowTest, MemoEditorHandsBackTheTextOfTheLastSave) {
  MemoEditorWindow& m = program_->GetMemoEditorWindow();
  EXPECT_EQ(m.Window->GetText(), "Form2");
  EXPECT_EQ(m.Memo1->GetText(), "Memo1\r\n");
  EXPECT_EQ(m.Memo1->GetMaxLength(), 0x7AC000);
  EXPECT_EQ(m.MemoEditResult, kMemoNotSaved);
  EXPECT_EQ(m.Window->GetClientSize().Height, 413);
  EXPECT_EQ(m.ButtonPanel->GetBounds(), (Rect{0, 413 - 36, 468, 413}));
  EXPECT_EQ(m.Memo1->GetBounds(), (Rect{0, 0, 468, 413 - 36}));
  EXPECT_EQ(m.SaveButton->GetBounds(), (Rect{13, 5, 109, 27}));
  EXPECT_EQ(m.ExitButton->GetBounds(), (Rect{359, 5, 423, 27}));

  // Saved, edited further, left: the text at the save counts.
  m.Memo1->SetText("first");
  headless::QueueModalAction([&](Form&) {
    headless::TypeText(*m.Memo1, " saved");
    headless::ClickButton(*m.SaveButton);
    headless::TypeText(*m.Memo1, " later");
    headless::ClickButton(*m.ExitButton);
  });
  EXPECT_EQ(m.ShowModal(), kMemoSaved);
  EXPECT_EQ(m.SavedText, "first saved");
  m.Window->Hide();

  // The next showing starts as not saved; the close box leaves like "Выйти".
  headless::QueueModalAction([&](Form& modal) {
    headless::TypeText(*m.Memo1, "x");
    headless::PressCloseBox(modal);
  });
  EXPECT_EQ(m.ShowModal(), kMemoNotSaved);
  EXPECT_TRUE(m.Window->IsVisible());  // refused close: the window lives on
  m.Window->Hide();
  headless::QueueModalAction([&](Form&) { headless::ClickButton(*m.ExitButton); });
  EXPECT_EQ(m.ShowModal(), kMemoNotSaved);
  EXPECT_EQ(m.SavedText, "first saved");

  // Several megabytes fit; typing beyond the limit is cut by the box.
  m.Memo1->SetText(std::string(3 << 20, 'a'));
  EXPECT_EQ(m.Memo1->GetText().size(), size_t(3) << 20);
  m.Memo1->SetText(std::string(0x7AC000 - 2, 'b'));
  headless::TypeText(*m.Memo1, "cdef");
  EXPECT_EQ(m.Memo1->GetText().size(), size_t(0x7AC000));
}

}  // namespace
}  // namespace tabulon

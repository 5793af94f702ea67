// MainWindow's construction: every control in the order the window makes
// them, at its place, and the events that tie them to the commands.
#include "main_window.h"

#include <algorithm>
#include <cstring>

#include "info_windows.h"
#include "program.h"
#include "system.h"
#include "text.h"
#include "texts.h"

namespace tabulon {

namespace {

// The table view lets rows be marked, sized and columns be sized and moved;
// the field grid the same without row sizing.
constexpr uint8_t kTableGridOptions =
    kRowSelect | kSelectCurrent | kColumnSizing | kRowSizing | kColumnMoving;
constexpr uint8_t kFieldGridOptions = kRowSelect | kSelectCurrent | kColumnSizing | kColumnMoving;

// Grid titles use the classic dialog face whatever the window's font.
void SetTitleFace(XLGrid& grid) {
  grid.TitleFont().SetName("MS Sans Serif");
  grid.TitleFont().SetCharSet(kDefaultCharSet);
}

// A label at the left of a title bar, following the bar's width.
std::unique_ptr<Label> NewTitleLabel(Panel& bar, const char* text) {
  auto label = NewLabel(&bar, std::string(text));
  label->SetPosition(8, 6);
  Anchors anchors;
  anchors.Right = true;
  label->SetAnchors(anchors);
  return label;
}

std::unique_ptr<Button> NewBarButton(Panel& bar, const char* caption, int left, int width) {
  auto button = NewButton(&bar, std::string(caption));
  button->SetBounds(left, 3, width, 22);
  return button;
}

// The folder of the program's executable, separator kept.
std::string ProgramFolder() {
  std::string path = GetProgramPath();
  size_t cut = path.find_last_of("\\/");
  return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

// Follows a column moved from one place to another.
void MoveEntry(std::vector<int>& list, int from, int to) {
  if (from < 0 || to < 0 || size_t(from) >= list.size() || size_t(to) >= list.size()) return;
  const int entry = list[size_t(from)];
  list.erase(list.begin() + from);
  list.insert(list.begin() + to, entry);
}

}  // namespace

MainWindow::MainWindow(Program& program, DbfFileSystem* fs)
    : program_(program), fs_(fs != nullptr ? *fs : PlatformFileSystem()) {
  Window = NewForm(std::string(texts::kMainCaption));
  Window->Hide();
  Window->SetPosition(252, 126);
  Window->GetFont().SetName("Arial");
  Window->GetFont().SetCharSet(kRussianCharSet);

  std::vector<std::string> menu_items;
  for (const char* item : texts::kMenuTemplate) menu_items.push_back(std::string(item));
  MainMenu = NewMenuBar(*Window, menu_items);
  // The client area is what lies below the menu bar.
  Window->SetClientSize(558, 513);

  Session = std::make_unique<TableSession>(&fs_);
  FileDialog = NewFileDialog();
  FileDialog->SetFilter(std::string(texts::kTableFilter));

  TableGrid = NewXLGrid(Window.get(), 0, 0, kTableGridOptions);
  TableGrid->SetAlign(Align::Client);
  SetTitleFace(*TableGrid);

  TypeCellEditor = NewComboBox(Window.get(), ComboBoxOptions{false, 8});
  TypeCellEditor->SetPosition(656, 680);
  TypeCellEditor->Hide();
  TypeCellEditor->SetItems({std::string(texts::kFieldTypes[0]), std::string(texts::kFieldTypes[1])});
  TypeCellEditor->SetItemIndex(0);

  TextCellEditor = NewEdit(Window.get());
  TextCellEditor->SetPosition(536, 672);
  TextCellEditor->Hide();
  SizeCellEditor = NewEdit(Window.get(), EditOptions{true, false});
  SizeCellEditor->SetPosition(760, 672);
  SizeCellEditor->Hide();

  BuildNewTableArea();

  MemoOptions memo_options;
  memo_options.VScrollBar = true;
  memo_options.HScrollBar = true;
  // With a horizontal bar the lines do not wrap: the bar scrolls them.
  memo_options.AutoHScroll = true;
  MemoCellEditor = NewMemo(Window.get(), memo_options);
  MemoCellEditor->SetBounds(16, 560, 1105, 200);
  MemoCellEditor->Hide();
  MemoCellEditor->SetMaxLength(kMemoCellMaxLength);
  MemoCellEditor->SetText(std::string(texts::kMemoEditorInitialText));

  BuildSearchArea();
  BuildButtonBar();

  for (Control* edit : std::initializer_list<Control*>{TextCellEditor.get(), SizeCellEditor.get(),
                                                       SearchMaskEdit.get(), SearchResultList.get(),
                                                       FieldCountEdit.get(), MemoCellEditor.get()})
    edit->SetColor(kClWindow);

  WireEvents();
  FileDialog->SetOwner(Window->GetHandle());
  FileDialog->SetInitialDir(ProgramFolder());
  Window->SetMinClientSize(LeastClientSize());
}

Size MainWindow::LeastClientSize() const {
  // As wide as the widest row of controls in the panels, with the margin
  // they keep on the left; controls aligned or following the width fit any.
  constexpr int kMargin = 5;
  int width = 0;
  int height = 0;
  for (const Panel* panel : {ButtonBar.get(), SearchTitleBar.get(), SearchPanel.get(), NewTablePanel.get()}) {
    const int frame = panel->GetWidth() - panel->GetClientSize().Width;
    for (const Control* child : panel->GetChildren()) {
      if (child->GetAlign() != Align::None || child->GetAnchors().Right) continue;
      width = std::max(width, child->GetBounds().Right + kMargin + frame);
    }
    height += panel->GetHeight();
  }
  // Below the menu, the table view keeps its title row and three rows.
  const XLGrid& grid = *TableGrid;
  height += grid.GetHeight() - grid.GetClientSize().Height + grid.GetColTitleHeight() +
            3 * grid.GetDefaultRowHeight();
  return Size{width, height};
}

MainWindow::~MainWindow() {
  // The controls go one by one; the view's resizing must not ask a window
  // half gone.
  if (TableGrid) TableGrid->OnResize = nullptr;
}

void MainWindow::BuildNewTableArea() {
  NewTablePanel = NewPanel(Window.get(), PanelOptions{Align::Bottom, 150, true});
  FieldCountLabel = NewLabel(NewTablePanel.get(), std::string(texts::kFieldCountLabel));
  FieldCountLabel->SetPosition(5, 123);
  NewTableTitleBar = NewPanel(NewTablePanel.get(), PanelOptions{Align::Top, 28, true});
  NewTableTitle = NewTitleLabel(*NewTableTitleBar, texts::kNewTableTitle);

  FieldGrid = NewXLGrid(NewTablePanel.get(), 3, 1, kFieldGridOptions);
  FieldGrid->SetAlign(Align::Top);
  FieldGrid->SetSize(FieldGrid->GetWidth(), 86);
  FieldGrid->SetDefaultColWidth(150);
  std::vector<std::string> titles;
  for (const char* title : texts::kFieldGridTitles) titles.push_back(std::string(title));
  FieldGrid->SetColTitles(titles);
  FieldGrid->SetRowTitleWidth(0);
  FieldGrid->SetColTitleHeight(30);
  SetTitleFace(*FieldGrid);

  FieldCountButton = NewButton(NewTablePanel.get(), std::string(texts::kFieldCountButton));
  FieldCountButton->SetBounds(197, 120, 41, 22);
  FieldCountEdit = NewEdit(NewTablePanel.get(), EditOptions{true, false});
  FieldCountEdit->SetBounds(141, 120, 49, 22);
  CreateTableButton = NewButton(NewTablePanel.get(), std::string(texts::kCreateTableButton));
  CreateTableButton->SetBounds(245, 120, 89, 22);
}

void MainWindow::BuildSearchArea() {
  SearchPanel = NewPanel(Window.get(), PanelOptions{Align::Bottom, 126, true});
  SearchResultList = NewListBox(SearchPanel.get(), ListBoxOptions{false});
  SearchResultList->SetAlign(Align::Top);
  SearchResultList->SetSize(SearchResultList->GetWidth(), 84);
  Anchors anchors;
  anchors.Right = true;
  SearchResultList->SetAnchors(anchors);
  SearchMaskEdit = NewEdit(SearchPanel.get());
  SearchMaskEdit->SetBounds(5, 92, 377, 22);
  SearchButton = NewButton(SearchPanel.get(), std::string(texts::kSearchButton));
  SearchButton->SetPosition(389, 92);

  SearchTitleBar = NewPanel(Window.get(), PanelOptions{Align::Bottom, 27, true});
  SearchTitle = NewTitleLabel(*SearchTitleBar, texts::kSearchTitle);
}

void MainWindow::BuildButtonBar() {
  ButtonBar = NewPanel(Window.get(), PanelOptions{Align::Bottom, 33, true});
  StatusLabel = NewLabel(ButtonBar.get(), std::string(texts::kStatusOk));
  StatusLabel->SetAutoSize(false);
  StatusLabel->SetBounds(237, 5, 169, 19);
  Panel& bar = *ButtonBar;
  ZoomInButton = NewBarButton(bar, texts::kZoomInButton, 429, 33);
  ZoomOutButton = NewBarButton(bar, texts::kZoomOutButton, 469, 33);
  ZoomOutButton->SetEnabled(false);
  DeleteButton = NewBarButton(bar, texts::kDeleteButton, 37, 25);
  AddButton = NewBarButton(bar, texts::kAddButton, 5, 25);
  ReloadButton = NewBarButton(bar, texts::kReloadButton, 69, 25);
  PackButton = NewBarButton(bar, texts::kPackButton, 104, 25);
  MemoButton = NewBarButton(bar, texts::kMemoButton, 509, 33);
  OemCheckBox = NewCheckBox(ButtonBar.get(), std::string(texts::kOemCheckBox));
  OemCheckBox->SetBounds(137, 3, 72, 22);
  // Created after the bar, so that it sits just above it, under the table.
  IndexBar = NewPanel(Window.get(), PanelOptions{Align::Bottom, 24, true});
  IndexLabel = NewTitleLabel(*IndexBar, "");
  // As wide as the bar, whatever the text: a measured width may fall short
  // of the drawn one by a character.
  IndexLabel->SetAutoSize(false);
  IndexLabel->SetBounds(8, 6, std::max(0, IndexBar->GetClientSize().Width - 16), 16);
  IndexBar->Hide();
}

void MainWindow::WireEvents() {
  // Items are told apart by their captions, wherever the template puts them.
  MainMenu->OnItemClick = [this](MenuBar& menu, int index) {
    if (index < 0 || size_t(index) >= menu.GetItems().size()) return;
    const std::string& item = menu.GetItems()[size_t(index)].Caption;
    if (item == texts::kLoadItem) LoadTable();
    else if (item == texts::kExportItem) ExportTable();
    else if (item == texts::kImportItem) ImportTable();
    else if (item == texts::kHelpItem) ShowHelp();
    else if (item == texts::kAboutItem) ShowAbout();
  };
  TableGrid->OnResize = [this](Control&) { SpreadColumns(); };
  // The view shows the table's records as the file holds them when drawn.
  TableGrid->SetOwnerData(true);
  TableGrid->SetDataSource(&table_view_source_);
  TableGrid->OnKeyDown = [this](Control&, int& key, uint32_t shift) {
    if ((shift & kShiftCtrl) == 0) return;
    if (key == kVkDelete) ToggleDeleted();
    else if (key == 'C') CopyToClipboard();
    else if (key == 'V') PasteIntoCell();
    else return;
    key = 0;
  };
  // The columns' fields follow the user's Alt-drags.
  TableGrid->SetOnColumnMoved([this](XLGrid&, int from, int to) {
    MoveEntry(column_fields_, from, to);
    // The enlarged cell moves with its column.
    if (ZoomedCell.Col == from) ZoomedCell.Col = to;
    else if (from < ZoomedCell.Col && ZoomedCell.Col <= to) --ZoomedCell.Col;
    else if (to <= ZoomedCell.Col && ZoomedCell.Col < from) ++ZoomedCell.Col;
  });
  FieldGrid->SetOnColumnMoved([this](XLGrid&, int from, int to) { MoveEntry(field_grid_roles_, from, to); });
  AddButton->OnClick = [this](Button&) { AppendRecord(); };
  DeleteButton->OnClick = [this](Button&) { DeleteRecord(); };
  ReloadButton->OnClick = [this](Button&) { ReloadTable(); };
  PackButton->OnClick = [this](Button&) { PackTable(); };
  ZoomInButton->OnClick = [this](Button&) { ZoomIn(); };
  ZoomOutButton->OnClick = [this](Button&) { ZoomOut(); };
  MemoButton->OnClick = [this](Button&) { EditMemo(); };
  SearchButton->OnClick = [this](Button&) { RunSearch(); };
  // Enter in the mask box searches, as the button does.
  SearchMaskEdit->OnKeyDown = [this](Control&, int& key, uint32_t) {
    if (key != kVkReturn) return;
    key = 0;
    RunSearch();
  };
  SearchResultList->OnDblClick = [this](ListBox&) { JumpToHit(); };
  FieldGrid->SetDataSource(&field_grid_source_);
  FieldCountButton->OnClick = [this](Button&) { SetFieldRows(); };
  CreateTableButton->OnClick = [this](Button&) { CreateNewTable(); };
}

void MainWindow::ShowHelp() { ShowInfo(program_.GetHelpWindow().GetForm()); }

void MainWindow::ShowAbout() { ShowInfo(program_.GetAboutWindow().GetForm()); }

void MainWindow::ShowInfo(Form& window) {
  if (!EndPendingEdit()) return;
  CommandScope command(*this);
  if (!command.Entered()) return;
  window.ShowModal();
  window.Hide();
}

void MainWindow::SetStatus(const char* word) {
  // All is well with a table that can only be read: the word says so.
  if (std::strcmp(word, texts::kStatusOk) == 0 && Session->IsLoaded() && Session->IsReadOnly()) word = texts::kStatusReadOnly;
  StatusLabel->SetText(word);
}

void MainWindow::Tell(const std::string& text) { program_.GetApplet().ShowMessage(text); }

}  // namespace tabulon

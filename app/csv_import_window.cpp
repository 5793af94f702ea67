// The import's questions: separator and code page of the CSV file.
#include "csv_import_window.h"

#include "code_pages.h"
#include "texts.h"

namespace tabulon {

namespace {

constexpr char kSeparators[] = {';', ',', '\t'};
// The first items of the code page list, in this order.
constexpr CsvEncoding kFirstEncodings[] = {CsvEncoding::Utf8, CsvEncoding::Dos866, CsvEncoding::Windows1251};

}  // namespace

CsvImportWindow::CsvImportWindow() {
  Window = NewForm(texts::kCsvImportCaption);
  Window->Hide();
  Window->SetBorderIcons(false, false);
  Window->SetPosition(360, 260);
  Window->SetClientSize(300, 124);

  FileLabel = NewLabel(Window.get(), "");
  FileLabel->SetBounds(12, 10, 276, 16);
  SeparatorLabel = NewLabel(Window.get(), texts::kCsvSeparatorLabel);
  SeparatorLabel->SetBounds(12, 39, 90, 16);
  SeparatorBox = NewComboBox(Window.get());
  SeparatorBox->SetBounds(108, 36, 180, 22);
  for (const char* item : texts::kCsvSeparators) SeparatorBox->AddItem(item);
  CodePageLabel = NewLabel(Window.get(), texts::kCsvCodePageLabel);
  CodePageLabel->SetBounds(12, 69, 90, 16);
  CodePageBox = NewComboBox(Window.get(), ComboBoxOptions{false, 12});
  CodePageBox->SetBounds(108, 66, 180, 22);
  for (const char* item : texts::kCsvFirstCodePages) CodePageBox->AddItem(item);
  for (int page : GetSingleByteCodePages()) {
    if (page == kWindowsRussianCodePage) continue;
    pages_.push_back(page);
    CodePageBox->AddItem(std::to_string(page));
  }

  OkButton = NewButton(Window.get(), texts::kCsvImportOkButton);
  OkButton->SetBounds(108, 96, 88, 22);
  CancelButton = NewButton(Window.get(), texts::kCsvImportCancelButton);
  CancelButton->SetBounds(200, 96, 88, 22);
  OkButton->OnClick = [this](Button&) { Window->SetModalResult(kMrOk); };
  CancelButton->OnClick = [this](Button&) { Window->SetModalResult(kMrCancel); };
  // The close box cancels; the window lives on for the next import.
  Window->OnCloseQuery = [](Form& form, bool& can_close) {
    can_close = false;
    form.SetModalResult(kMrCancel);
  };
}

bool CsvImportWindow::Ask(const std::string& file_name, char separator, CsvEncoding encoding, int code_page) {
  FileLabel->SetText(file_name);
  int index = 0;
  for (int i = 0; i < 3; ++i)
    if (kSeparators[i] == separator) index = i;
  SeparatorBox->SetItemIndex(index);
  index = 0;
  for (int i = 0; i < 3; ++i)
    if (kFirstEncodings[i] == encoding) index = i;
  for (size_t i = 0; i < pages_.size(); ++i)
    if (encoding == CsvEncoding::CodePage && pages_[i] == code_page) index = int(i) + 3;
  CodePageBox->SetItemIndex(index);
  const bool ok = Window->ShowModal() == kMrOk;
  Window->Hide();
  return ok;
}

char CsvImportWindow::GetSeparator() const {
  const int i = SeparatorBox->GetItemIndex();
  return i >= 0 && i < 3 ? kSeparators[i] : kSeparators[0];
}

CsvEncoding CsvImportWindow::GetEncoding() const {
  const int i = CodePageBox->GetItemIndex();
  return i < 0 ? CsvEncoding::Utf8 : i < 3 ? kFirstEncodings[i] : CsvEncoding::CodePage;
}

int CsvImportWindow::GetCodePage() const {
  const int i = CodePageBox->GetItemIndex();
  return i >= 3 && size_t(i - 3) < pages_.size() ? pages_[size_t(i - 3)] : 0;
}

}  // namespace tabulon

// CsvImportWindow: how a CSV file is to be read, asked before an import:
// its separator (";", "," or tab) and its code page (UTF-8, 866, 1251,
// then the other pages the program knows). It knows nothing of tables:
// the caller says what the file suggests and reads what the user chose.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "button.h"
#include "csv_reader.h"
#include "form.h"
#include "label.h"
#include "list_box.h"

namespace tabulon {

class CsvImportWindow {
 public:
  // Built hidden.
  CsvImportWindow();
  CsvImportWindow(const CsvImportWindow&) = delete;
  CsvImportWindow& operator=(const CsvImportWindow&) = delete;

  Form& GetForm() { return *Window; }
  // One showing for file_name with the suggested choices selected; true
  // when the user went on, false when cancelled. The window is hidden after.
  bool Ask(const std::string& file_name, char separator, CsvEncoding encoding, int code_page);
  char GetSeparator() const;
  CsvEncoding GetEncoding() const;
  // The page of CsvEncoding::CodePage (0 otherwise).
  int GetCodePage() const;

  std::unique_ptr<Form> Window;
  std::unique_ptr<Label> FileLabel;
  std::unique_ptr<Label> SeparatorLabel;
  std::unique_ptr<ComboBox> SeparatorBox;
  std::unique_ptr<Label> CodePageLabel;
  std::unique_ptr<ComboBox> CodePageBox;
  std::unique_ptr<Button> OkButton;
  std::unique_ptr<Button> CancelButton;

 private:
  // The page of each item of CodePageBox after the first three.
  std::vector<int> pages_;
};

}  // namespace tabulon

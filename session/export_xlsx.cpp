// The XLSX writer, through libxlsxwriter in its constant-memory mode:
// rows go to the sheet's file as they come, so a workbook of millions of
// records takes the memory of one row.
#include <xlsxwriter.h>

#include <algorithm>
#include <cstdlib>

#include "export_file.h"
#include "export_formats.h"

namespace tabulon {

namespace {

// Characters of a cell.
constexpr size_t kCellCharacters = 32767;

// UTF-8 text cut to at most kCellCharacters characters.
std::string CellText(const std::string& text) {
  size_t characters = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if ((uint8_t(text[i]) & 0xC0) != 0x80 && ++characters > kCellCharacters) return text.substr(0, i);
  }
  return text;
}

class XlsxSink final : public ExportSink {
 public:
  XlsxSink(const std::string& path, uint32_t sheet_rows)
      : path_(path), part_(PartFileName(path)), sheet_rows_(std::max<uint32_t>(sheet_rows, 2)) {}
  ~XlsxSink() override {
    if (book_) Abandon();
  }

  bool Begin(const std::vector<ExportColumn>& columns, uint64_t records) override {
    columns_ = columns;
    lxw_workbook_options options = {};
    options.constant_memory = LXW_TRUE;
    // Parts of a workbook past 4 GB need ZIP64.
    options.use_zip64 = records >= kXlsxSheetRows ? LXW_TRUE : LXW_FALSE;
    book_ = workbook_new_opt(part_.c_str(), &options);
    if (!book_) return false;
    header_ = workbook_add_format(book_);
    format_set_bold(header_);
    date_ = workbook_add_format(book_);
    format_set_num_format(date_, "yyyy-mm-dd");
    date_time_ = workbook_add_format(book_);
    format_set_num_format(date_time_, "yyyy-mm-dd hh:mm:ss");
    for (const ExportColumn& c : columns_) {
      lxw_format* format = nullptr;
      if (c.Kind == ColumnKind::Decimal && c.Decimals > 0) {
        format = workbook_add_format(book_);
        format_set_num_format(format, ("0." + std::string(c.Decimals, '0')).c_str());
      }
      numbers_.push_back(format);
    }
    return NewSheet();
  }

  bool Write(const std::vector<ExportCell>& cells) override {
    if (row_ >= sheet_rows_ && !NewSheet()) return false;
    for (size_t i = 0; i < cells.size(); ++i) {
      const ExportCell& cell = cells[i];
      const lxw_col_t col = lxw_col_t(i);
      lxw_error e = LXW_NO_ERROR;
      switch (cell.Kind) {
        case CellKind::Null: break;
        case CellKind::Number:
          e = worksheet_write_number(sheet_, row_, col, std::strtod(cell.Text.c_str(), nullptr), numbers_[i]);
          break;
        case CellKind::Logic: e = worksheet_write_boolean(sheet_, row_, col, cell.Text == "1", nullptr); break;
        case CellKind::Date:
        case CellKind::DateTime: {
          const std::string& t = cell.Text;
          lxw_datetime when = {std::atoi(t.substr(0, 4).c_str()), std::atoi(t.substr(5, 2).c_str()),
                               std::atoi(t.substr(8, 2).c_str()), 0, 0, 0};
          if (cell.Kind == CellKind::DateTime) {
            when.hour = std::atoi(t.substr(11, 2).c_str());
            when.min = std::atoi(t.substr(14, 2).c_str());
            when.sec = std::atoi(t.substr(17, 2).c_str());
          }
          // Excel counts days from 1900 on: earlier ones stay text.
          if (when.year >= 1900)
            e = worksheet_write_datetime(sheet_, row_, col, &when,
                                         cell.Kind == CellKind::Date ? date_ : date_time_);
          else
            e = worksheet_write_string(sheet_, row_, col, t.c_str(), nullptr);
          break;
        }
        case CellKind::Binary: {
          std::string text;
          AppendBase64(text, cell.Text);
          e = worksheet_write_string(sheet_, row_, col, CellText(text).c_str(), nullptr);
          break;
        }
        case CellKind::Text:
          // A value with a zero byte would end early; none is written anyway.
          e = worksheet_write_string(sheet_, row_, col, CellText(cell.Text).c_str(), nullptr);
          break;
      }
      if (e != LXW_NO_ERROR) return Failed(e);
    }
    ++row_;
    return true;
  }

  bool Finish() override {
    const lxw_error e = workbook_close(book_);
    book_ = nullptr;
    if (e != LXW_NO_ERROR) {
      PlatformFileSystem().Remove(part_);
      return Failed(e);
    }
    if (PlatformFileSystem().Rename(part_, path_)) return true;
    PlatformFileSystem().Remove(part_);
    return false;
  }

  void Abandon() override {
    if (book_) workbook_close(book_);
    book_ = nullptr;
    PlatformFileSystem().Remove(part_);
  }

  const std::string& GetPath() const override { return path_; }
  std::string GetProblem() const override { return problem_; }

 private:
  // A sheet with the header row, frozen.
  bool NewSheet() {
    sheet_ = workbook_add_worksheet(book_, nullptr);
    if (!sheet_) return false;
    worksheet_freeze_panes(sheet_, 1, 0);
    for (size_t i = 0; i < columns_.size(); ++i) {
      const lxw_error e = worksheet_write_string(sheet_, 0, lxw_col_t(i), columns_[i].Name.c_str(), header_);
      if (e != LXW_NO_ERROR) return Failed(e);
    }
    row_ = 1;
    return true;
  }

  bool Failed(lxw_error e) {
    if (problem_.empty()) problem_ = lxw_strerror(e);
    return false;
  }

  std::string path_;
  std::string part_;
  // Rows of a sheet, the header included (at least one record's).
  lxw_row_t sheet_rows_;
  std::vector<ExportColumn> columns_;
  lxw_workbook* book_ = nullptr;
  lxw_worksheet* sheet_ = nullptr;
  lxw_format* header_ = nullptr;
  lxw_format* date_ = nullptr;
  lxw_format* date_time_ = nullptr;
  std::vector<lxw_format*> numbers_;
  lxw_row_t row_ = 0;
  std::string problem_;
};

}  // namespace

std::unique_ptr<ExportSink> NewXlsxSink(const std::string& path, uint32_t sheet_rows) {
  return std::make_unique<XlsxSink>(path, sheet_rows);
}

}  // namespace tabulon

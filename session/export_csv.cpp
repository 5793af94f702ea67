// The CSV writer.
#include "export_file.h"
#include "export_formats.h"

namespace tabulon {

namespace {

class CsvSink final : public ExportSink {
 public:
  CsvSink(DbfFileSystem& fs, const std::string& path, const CsvOptions& options)
      : file_(fs, path), options_(options) {}

  bool Begin(const std::vector<ExportColumn>& columns, uint64_t) override {
    if (!file_.Open()) return false;
    std::string& out = file_.Buffer();
    if (options_.ByteOrderMark) out += "\xEF\xBB\xBF";
    for (size_t i = 0; i < columns.size(); ++i) {
      if (i > 0) out += options_.Separator;
      AppendValue(out, columns[i].Name);
    }
    out += "\r\n";
    return file_.Written();
  }

  bool Write(const std::vector<ExportCell>& cells) override {
    std::string& out = file_.Buffer();
    for (size_t i = 0; i < cells.size(); ++i) {
      if (i > 0) out += options_.Separator;
      const ExportCell& cell = cells[i];
      switch (cell.Kind) {
        case CellKind::Null: break;
        case CellKind::Logic: out += cell.Text == "1" ? 'T' : 'F'; break;
        case CellKind::Binary: AppendBase64(out, cell.Text); break;
        default: AppendValue(out, cell.Text); break;
      }
    }
    out += "\r\n";
    return file_.Written();
  }

  bool Finish() override { return file_.Commit(); }
  void Abandon() override { file_.Abandon(); }
  const std::string& GetPath() const override { return file_.GetPath(); }

 private:
  void AppendValue(std::string& out, const std::string& value) const {
    bool quoted = false;
    for (char c : value) quoted = quoted || c == options_.Separator || c == '"' || c == '\r' || c == '\n';
    if (!quoted) {
      out += value;
      return;
    }
    out += '"';
    for (char c : value) {
      if (c == '"') out += '"';
      out += c;
    }
    out += '"';
  }

  ExportFile file_;
  CsvOptions options_;
};

}  // namespace

std::unique_ptr<ExportSink> NewCsvSink(DbfFileSystem& fs, const std::string& path, const CsvOptions& options) {
  return std::make_unique<CsvSink>(fs, path, options);
}

}  // namespace tabulon

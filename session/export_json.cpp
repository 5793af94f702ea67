// The JSON writer.
#include <cstdio>

#include "export_file.h"
#include "export_formats.h"

namespace tabulon {

void AppendJsonString(std::string& out, const std::string& text) {
  out += '"';
  for (unsigned char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char code[8];
          std::snprintf(code, sizeof code, "\\u%04x", c);
          out += code;
        } else {
          out += char(c);
        }
    }
  }
  out += '"';
}

namespace {

class JsonSink final : public ExportSink {
 public:
  JsonSink(DbfFileSystem& fs, const std::string& path) : file_(fs, path) {}

  bool Begin(const std::vector<ExportColumn>& columns, uint64_t) override {
    // Each key once, quoted, with its colon.
    for (const ExportColumn& c : columns) {
      keys_.emplace_back();
      AppendJsonString(keys_.back(), c.Name);
      keys_.back() += ':';
    }
    if (!file_.Open()) return false;
    file_.Buffer() += "[";
    return true;
  }

  bool Write(const std::vector<ExportCell>& cells) override {
    std::string& out = file_.Buffer();
    out += first_ ? "\n{" : ",\n{";
    first_ = false;
    for (size_t i = 0; i < cells.size(); ++i) {
      if (i > 0) out += ',';
      out += keys_[i];
      const ExportCell& cell = cells[i];
      switch (cell.Kind) {
        case CellKind::Null: out += "null"; break;
        case CellKind::Number: out += cell.Text; break;
        case CellKind::Logic: out += cell.Text == "1" ? "true" : "false"; break;
        case CellKind::Binary:
          out += '"';
          AppendBase64(out, cell.Text);
          out += '"';
          break;
        default: AppendJsonString(out, cell.Text); break;
      }
    }
    out += '}';
    return file_.Written();
  }

  bool Finish() override {
    file_.Buffer() += "\n]\n";
    return file_.Commit();
  }
  void Abandon() override { file_.Abandon(); }
  const std::string& GetPath() const override { return file_.GetPath(); }

 private:
  ExportFile file_;
  std::vector<std::string> keys_;
  bool first_ = true;
};

}  // namespace

std::unique_ptr<ExportSink> NewJsonSink(DbfFileSystem& fs, const std::string& path) {
  return std::make_unique<JsonSink>(fs, path);
}

}  // namespace tabulon

// The SQL script writer, and the column types both SQL writers use.
#include "export_file.h"
#include "export_formats.h"

namespace tabulon {

namespace {

void AppendQuoted(std::string& out, const std::string& text, char quote) {
  out += quote;
  for (char c : text) {
    if (c == quote) out += quote;
    out += c;
  }
  out += quote;
}

class SqlSink final : public ExportSink {
 public:
  SqlSink(DbfFileSystem& fs, const std::string& path, const std::string& table, SqlDialect dialect)
      : file_(fs, path), dialect_(dialect) {
    AppendQuoted(table_, table, '"');
  }

  bool Begin(const std::vector<ExportColumn>& columns, uint64_t) override {
    if (!file_.Open()) return false;
    std::string& out = file_.Buffer();
    out += "BEGIN;\nCREATE TABLE " + table_ + " (";
    for (size_t i = 0; i < columns.size(); ++i) {
      out += i > 0 ? ",\n  " : "\n  ";
      AppendQuoted(out, columns[i].Name, '"');
      out += " " + SqlColumnType(columns[i], dialect_);
    }
    out += "\n);\n";
    insert_ = "INSERT INTO " + table_ + " VALUES (";
    return file_.Written();
  }

  bool Write(const std::vector<ExportCell>& cells) override {
    static const char kHex[] = "0123456789abcdef";
    std::string& out = file_.Buffer();
    out += insert_;
    for (size_t i = 0; i < cells.size(); ++i) {
      if (i > 0) out += ", ";
      const ExportCell& cell = cells[i];
      switch (cell.Kind) {
        case CellKind::Null: out += "NULL"; break;
        case CellKind::Number: out += cell.Text; break;
        case CellKind::Logic:
          if (dialect_ == SqlDialect::Postgres) out += cell.Text == "1" ? "TRUE" : "FALSE";
          else out += cell.Text;
          break;
        case CellKind::Binary:
          out += dialect_ == SqlDialect::Postgres ? "decode('" : "X'";
          for (unsigned char c : cell.Text) {
            out += kHex[c >> 4];
            out += kHex[c & 15];
          }
          out += dialect_ == SqlDialect::Postgres ? "', 'hex')" : "'";
          break;
        default: AppendQuoted(out, cell.Text, '\''); break;
      }
    }
    out += ");\n";
    return file_.Written();
  }

  bool Finish() override {
    file_.Buffer() += "COMMIT;\n";
    return file_.Commit();
  }
  void Abandon() override { file_.Abandon(); }
  const std::string& GetPath() const override { return file_.GetPath(); }

 private:
  ExportFile file_;
  SqlDialect dialect_;
  std::string table_;
  std::string insert_;
};

}  // namespace

std::string SqlColumnType(const ExportColumn& column, SqlDialect dialect) {
  const bool postgres = dialect == SqlDialect::Postgres;
  switch (column.Kind) {
    case ColumnKind::Text: return postgres ? "VARCHAR(" + std::to_string(column.Length) + ")" : "TEXT";
    case ColumnKind::Integer: return postgres && column.Length > 9 ? "BIGINT" : "INTEGER";
    case ColumnKind::Decimal:
      return "NUMERIC(" + std::to_string(column.Length) + "," + std::to_string(column.Decimals) + ")";
    case ColumnKind::Real: return postgres ? "DOUBLE PRECISION" : "REAL";
    case ColumnKind::Date: return "DATE";
    case ColumnKind::DateTime: return "TIMESTAMP";
    case ColumnKind::Logic: return "BOOLEAN";
    case ColumnKind::Memo: return "TEXT";
    case ColumnKind::Binary: return postgres ? "BYTEA" : "BLOB";
  }
  return "TEXT";
}

std::string ExportTableName(const std::string& table_file) {
  const size_t slash = table_file.find_last_of("/\\");
  std::string name = slash == std::string::npos ? table_file : table_file.substr(slash + 1);
  const size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.resize(dot);
  return name;
}

std::unique_ptr<ExportSink> NewSqlSink(DbfFileSystem& fs, const std::string& path, const std::string& table,
                                       SqlDialect dialect) {
  return std::make_unique<SqlSink>(fs, path, table, dialect);
}

}  // namespace tabulon

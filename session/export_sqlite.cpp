// The SQLite writer, through libsqlite3: one prepared INSERT for every
// record, all in one transaction.
#include <sqlite3.h>

#include <cstdlib>

#include "export_formats.h"

namespace tabulon {

namespace {

class SqliteSink final : public ExportSink {
 public:
  SqliteSink(const std::string& path, const std::string& table) : path_(path), table_(Quoted(table)) {}
  ~SqliteSink() override {
    if (db_) Abandon();
  }

  bool Begin(const std::vector<ExportColumn>& columns, uint64_t) override {
    created_ = !PlatformFileSystem().Exists(path_);
    if (sqlite3_open_v2(path_.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK)
      return Failed();
    std::string create = "CREATE TABLE " + table_ + " (";
    std::string insert = "INSERT INTO " + table_ + " VALUES (";
    for (size_t i = 0; i < columns.size(); ++i) {
      create += (i > 0 ? ", " : "") + Quoted(columns[i].Name) + " " + SqlColumnType(columns[i], SqlDialect::Sqlite);
      insert += i > 0 ? ", ?" : "?";
      reals_.push_back(columns[i].Kind == ColumnKind::Real);
    }
    // A table of that name is replaced; the database's others stay.
    return Run("BEGIN IMMEDIATE") && Run("DROP TABLE IF EXISTS " + table_) && Run(create + ")") &&
           (sqlite3_prepare_v2(db_, (insert + ")").c_str(), -1, &insert_, nullptr) == SQLITE_OK || Failed());
  }

  bool Write(const std::vector<ExportCell>& cells) override {
    for (size_t i = 0; i < cells.size(); ++i) {
      const int at = int(i) + 1;
      const ExportCell& cell = cells[i];
      switch (cell.Kind) {
        case CellKind::Null: sqlite3_bind_null(insert_, at); break;
        case CellKind::Logic: sqlite3_bind_int(insert_, at, cell.Text == "1"); break;
        case CellKind::Binary:
          sqlite3_bind_blob64(insert_, at, cell.Text.data(), cell.Text.size(), SQLITE_STATIC);
          break;
        case CellKind::Number:
          // Other numbers go as text: the column's affinity makes an
          // INTEGER or an exact NUMERIC of them.
          if (reals_[i]) {
            sqlite3_bind_double(insert_, at, std::strtod(cell.Text.c_str(), nullptr));
            break;
          }
          [[fallthrough]];
        default:
          sqlite3_bind_text64(insert_, at, cell.Text.data(), cell.Text.size(), SQLITE_STATIC, SQLITE_UTF8);
      }
    }
    const bool done = sqlite3_step(insert_) == SQLITE_DONE;
    sqlite3_reset(insert_);
    return done || Failed();
  }

  bool Finish() override {
    sqlite3_finalize(insert_);
    insert_ = nullptr;
    if (!Run("COMMIT")) return false;
    const bool closed = sqlite3_close(db_) == SQLITE_OK;
    db_ = nullptr;
    return closed;
  }

  void Abandon() override {
    if (insert_) sqlite3_finalize(insert_);
    insert_ = nullptr;
    if (db_) {
      sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
      sqlite3_close(db_);
    }
    db_ = nullptr;
    if (created_) {
      PlatformFileSystem().Remove(path_);
      PlatformFileSystem().Remove(path_ + "-journal");
    }
  }

  const std::string& GetPath() const override { return path_; }
  std::string GetProblem() const override { return problem_; }

 private:
  static std::string Quoted(const std::string& name) {
    std::string out = "\"";
    for (char c : name) out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
  }

  bool Failed() {
    if (problem_.empty()) problem_ = db_ ? sqlite3_errmsg(db_) : "cannot open the database";
    return false;
  }

  bool Run(const std::string& sql) {
    return sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK || Failed();
  }

  std::string path_;
  std::string table_;
  sqlite3* db_ = nullptr;
  sqlite3_stmt* insert_ = nullptr;
  std::vector<bool> reals_;
  bool created_ = false;
  std::string problem_;
};

}  // namespace

// Linked with export_xlsx.cpp: both libraries or neither.
bool HasLibraryFormats() { return true; }

std::unique_ptr<ExportSink> NewSqliteSink(const std::string& path, const std::string& table) {
  return std::make_unique<SqliteSink>(path, table);
}

}  // namespace tabulon

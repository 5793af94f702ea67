// Writes tables through the engine into a folder, with expected.json saying
// what other dBase readers must find in them: a created table with every
// field type it offers, and a table of each memo flavour after marking every
// second record, packing and rewriting one memo.
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "dbf_table.h"
#include "support/table_bytes.h"

namespace tabulon {
namespace {

using test::Bytes;

std::string Json(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c >= 0x80) {
      char u[8];
      std::snprintf(u, sizeof u, "\\u%04x", c);  // bytes as Latin-1 code points
      out += u;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

struct Expected {
  std::string File, Memo;
  std::vector<std::string> Readers;
  std::vector<std::string> Names;
  std::vector<std::vector<std::string>> Records;  // values as JSON
};

bool WriteFile(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

// Whether the steps since the last call failed; reading past the last
// record and a blank number without its point are no failures.
bool Failed(DbfTable& t, const char* step) {
  const uint8_t code = t.GetErrorCode();
  t.ClearError();
  if (code == 0 || code == DbfReadRecordRangeError || code == DbfDecimalPointError) return false;
  std::fprintf(stderr, "%s: %s: %s\n", t.GetFileName().c_str(), step, t.GetErrorText().c_str());
  return true;
}

// A new table with every type creation offers, three records and memos of
// one block, several blocks and none.
bool WriteCreated(const std::string& dir, Expected* e) {
  auto t = NewDbfTable("", "", true);
  const std::string file = dir + "/created.dbf";
  if (!t->CreateTable(file, {"NAME=C12", "AMOUNT=N10,2", "BORN=D", "OK=L", "NOTES=M"})) return false;
  t->SetFileNames(file, DbtFileNameFor(file));
  t->SetActive(true);
  const std::vector<std::vector<std::string>> rows = {
      {"Ivanov", "1234.50", "19840229", "T", "short note"},
      {"\x8f\xa5\xe2\xe0\xae\xa2", "-7.25", "20241231", "F", std::string(1500, 'm') + "end"},
      {"", "", "", "", ""}};
  for (const auto& row : rows) {
    t->AppendBlank();
    for (int f = 1; f <= 4; ++f) t->PutFieldByNumber(f, row[size_t(f) - 1]);
    if (!row[4].empty()) t->WriteMemo(5, row[4]);
    t->PostRecord();
    if (Failed(*t, "write")) return false;
  }
  t->SetActive(false);
  e->File = "created.dbf";
  e->Memo = "created.dbt";
  e->Readers = {"dbfread", "dbf"};
  e->Names = {"NAME", "AMOUNT", "BORN", "OK", "NOTES"};
  e->Records = {{Json("Ivanov"), "1234.5", Json("1984-02-29"), "true", Json("short note")},
                {Json("\x8f\xa5\xe2\xe0\xae\xa2"), "-7.25", Json("2024-12-31"), "false",
                 Json(std::string(1500, 'm') + "end")},
                {Json(""), "null", "null", "null", Json("")}};
  return true;
}

struct Flavour {
  const char* name;
  uint8_t version;
  const char* memo_ext;  // nullptr: no memo
  std::vector<std::string> readers;
};

// Ten records NAME, N, NOTE; every second one marked and packed away; the
// memo of the first kept record rewritten afterwards.
bool WritePacked(const std::string& dir, const Flavour& fl, Expected* e) {
  const bool vfp = fl.version == 0x30;
  const bool memo = fl.memo_ext != nullptr;
  test::TableLayout s;
  s.Version = fl.version;
  s.Fields = {{"NAME", 'C', 10}, {"N", 'N', 5}};
  if (memo) s.Fields.push_back({"NOTE", 'M', static_cast<uint8_t>(vfp ? 4 : 10)});
  if (vfp) s.HeaderSize = static_cast<int>(32 * s.Fields.size() + 33 + 263);
  std::vector<std::string> texts;
  for (int i = 1; i <= 10; ++i) texts.push_back("memo of record " + std::to_string(i) +
                                                std::string(size_t(i) * 90, '.'));
  std::vector<uint32_t> blocks;
  Bytes memo_bytes;
  if (memo) {
    std::string ext = fl.memo_ext;
    if (ext == "fpt") memo_bytes = test::MakeFpt(64, texts, &blocks);
    else if (fl.version == 0x8B) memo_bytes = test::MakeDbt4(512, texts, &blocks);
    else {
      memo_bytes = test::MakeDbt(texts);
      blocks = test::DbtBlocks(texts);
    }
  }
  for (int i = 1; i <= 10; ++i) {
    std::string n = std::to_string(i * 11);
    std::string rec = " name" + std::to_string(i);
    rec.resize(11, ' ');
    rec += std::string(5 - n.size(), ' ') + n;
    if (memo) {
      uint32_t b = blocks[size_t(i) - 1];
      if (vfp) rec += std::string{char(b), char(b >> 8), char(b >> 16), char(b >> 24)};
      else rec += test::Ref(b);
    }
    s.Records.push_back(rec);
  }
  const std::string base = std::string("packed_") + fl.name;
  const std::string file = dir + "/" + base + ".dbf";
  const std::string memo_file = memo ? dir + "/" + base + "." + fl.memo_ext : std::string();
  if (!WriteFile(file, test::MakeTable(s)) || (memo && !WriteFile(memo_file, memo_bytes))) return false;

  auto t = NewDbfTable(file, memo_file, true);
  t->SetActive(true);
  for (int r = 2; r <= 10; r += 2) {
    t->GoTo(r);
    t->SetDeleted(true);
    t->PostRecord();
  }
  t->Pack();
  if (Failed(*t, "pack")) return false;
  if (memo) {
    t->GoTo(1);
    t->WriteMemo(3, "rewritten");
    t->PostRecord();
    if (Failed(*t, "memo")) return false;
  }
  t->SetActive(false);

  e->File = base + ".dbf";
  e->Memo = memo ? base + "." + fl.memo_ext : "";
  e->Readers = fl.readers;
  e->Names = {"NAME", "N"};
  if (memo) e->Names.push_back("NOTE");
  for (int i = 1; i <= 10; i += 2) {
    std::vector<std::string> values = {Json("name" + std::to_string(i)), std::to_string(i * 11)};
    if (memo) values.push_back(Json(i == 1 ? "rewritten" : texts[size_t(i) - 1]));
    e->Records.push_back(values);
  }
  return true;
}

}  // namespace
}  // namespace tabulon

int main(int argc, char** argv) {
  using namespace tabulon;
  if (argc != 2) {
    std::fprintf(stderr, "usage: interop_writer FOLDER\n");
    return 2;
  }
  const std::string dir = argv[1];
  std::vector<Expected> all(1);
  if (!WriteCreated(dir, &all[0])) return 1;
  const std::vector<Flavour> flavours = {{"dbase3", 0x03, nullptr, {"dbfread", "dbf"}},
                                         {"dbase3memo", 0x83, "dbt", {"dbfread", "dbf"}},
                                         {"dbase4memo", 0x8B, "dbt", {"dbfread"}},
                                         {"foxpro", 0xF5, "fpt", {"dbfread", "dbf"}},
                                         {"visualfoxpro", 0x30, "fpt", {"dbfread", "dbf"}}};
  for (const Flavour& fl : flavours) {
    all.emplace_back();
    if (!WritePacked(dir, fl, &all.back())) return 1;
  }
  std::ofstream out(dir + "/expected.json");
  out << "[\n";
  for (size_t i = 0; i < all.size(); ++i) {
    const Expected& e = all[i];
    out << " {\"file\": " << Json(e.File) << ", \"memo\": " << Json(e.Memo) << ", \"readers\": [";
    for (size_t k = 0; k < e.Readers.size(); ++k) out << (k ? ", " : "") << Json(e.Readers[k]);
    out << "], \"names\": [";
    for (size_t k = 0; k < e.Names.size(); ++k) out << (k ? ", " : "") << Json(e.Names[k]);
    out << "], \"records\": [";
    for (size_t r = 0; r < e.Records.size(); ++r) {
      out << (r ? ", " : "") << "[";
      for (size_t k = 0; k < e.Records[r].size(); ++k) out << (k ? ", " : "") << e.Records[r][k];
      out << "]";
    }
    out << "]}" << (i + 1 < all.size() ? "," : "") << "\n";
  }
  out << "]\n";
  return out ? 0 : 1;
}

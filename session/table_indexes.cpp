#include "table_indexes.h"

#include "index_keeper.h"

#include "index_expression.h"
#include "index_keys.h"
#include "index_writer.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace tabulon {

namespace {

// A path's file name without folder and extension.
std::string IndexBaseOf(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  return name.substr(0, name.find_last_of('.'));
}

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

bool IsNameStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool IsNamePart(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

// The structural kinds a version byte allows: FoxPro's flavours keep a
// .cdx, dBase IV's a .mdx; a dBase III byte is written by both families.
std::vector<IndexKind> StructuralKinds(uint8_t version) {
  switch (version) {
    case 0x30: case 0x31: case 0x32: case 0xF5: case 0xFB: return {IndexKind::Cdx};
    case 0x04: case 0x05: case 0x7B: case 0x8B: case 0x43: case 0x63: case 0xCB: return {IndexKind::Mdx};
    default: return {IndexKind::Cdx, IndexKind::Mdx};
  }
}

bool NamesOnlyFields(const std::string& key, const std::vector<IndexKeyField>& fields) {
  const std::vector<std::string> names = KeyExpressionFieldNames(key);
  if (names.empty()) return false;
  for (const std::string& name : names) {
    // Visual FoxPro's long names: the table stores the first 10 letters.
    const auto same = [&](const IndexKeyField& f) { return Upper(f.Name) == name.substr(0, 10); };
    if (std::none_of(fields.begin(), fields.end(), same)) return false;
  }
  return true;
}

FoundIndex ReadIndex(const std::string& path, IndexKind kind, bool structural,
                     const std::vector<IndexKeyField>& fields, DbfFileSystem& fs) {
  FoundIndex found;
  found.File = path;
  found.Kind = kind;
  found.Structural = structural;
  std::unique_ptr<IndexFile> file = OpenIndexFile(path, kind, fs, fields, &found.Error);
  if (file) {
    found.Readable = true;
    found.Tags = file->GetTags();
  }
  return found;
}

}  // namespace

std::vector<IndexKeyField> KeyFieldsOf(const std::vector<DbfField>& fields) {
  std::vector<IndexKeyField> keys;
  for (const DbfField& f : fields) {
    IndexKeyField k;
    k.Name = std::string(reinterpret_cast<const char*>(f.Name), strnlen(reinterpret_cast<const char*>(f.Name), 11));
    k.Type = static_cast<char>(f.Type);
    keys.push_back(k);
  }
  return keys;
}

std::vector<std::string> KeyExpressionFieldNames(const std::string& expression) {
  std::vector<std::string> names;
  size_t i = 0;
  while (i < expression.size()) {
    const char c = expression[i];
    if (c == '"' || c == '\'' || c == '[') {
      const size_t end = expression.find(c == '[' ? ']' : c, i + 1);
      i = end == std::string::npos ? expression.size() : end + 1;
    } else if (c == '.' && i + 1 < expression.size() && IsNameStart(expression[i + 1])) {
      // .T., .AND. and the like.
      const size_t end = expression.find('.', i + 1);
      i = end == std::string::npos ? expression.size() : end + 1;
    } else if (IsNameStart(c)) {
      size_t end = i;
      while (end < expression.size() && IsNamePart(expression[end])) ++end;
      size_t next = end;
      while (next < expression.size() && expression[next] == ' ') ++next;
      const bool function = next < expression.size() && expression[next] == '(';
      const bool alias = expression.compare(next, 2, "->") == 0 ||
                         (next < expression.size() && expression[next] == '.' && next == end);
      if (!function && !alias) {
        const std::string name = Upper(expression.substr(i, end - i));
        if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
      }
      i = end;
    } else if (std::isdigit(static_cast<unsigned char>(c))) {
      while (i < expression.size() && (IsNamePart(expression[i]) || expression[i] == '.')) ++i;
    } else {
      ++i;
    }
  }
  return names;
}

std::vector<FoundIndex> FindTableIndexes(const std::string& table_file, const uint8_t* header,
                                         const std::vector<DbfField>& fields, DbfFileSystem& fs) {
  std::vector<FoundIndex> found;
  const size_t slash = table_file.find_last_of("/\\");
  const std::string folder = slash == std::string::npos ? std::string() : table_file.substr(0, slash + 1);
  std::string base = slash == std::string::npos ? table_file : table_file.substr(slash + 1);
  base = Upper(base.substr(0, base.find_last_of('.')));
  std::vector<std::string> names;
  fs.ListFolder(table_file, &names);
  std::sort(names.begin(), names.end());
  const std::vector<IndexKeyField> keys = KeyFieldsOf(fields);
  const bool announced = (header[28] & 0x01) != 0;
  const std::vector<IndexKind> structural = StructuralKinds(header[0]);

  bool structural_found = false;
  std::vector<FoundIndex> loose;
  for (const std::string& name : names) {
    IndexKind kind;
    if (!IndexKindOfName(name, &kind)) continue;
    const bool same_base = Upper(name.substr(0, name.find_last_of('.'))) == base;
    if (kind == IndexKind::Cdx || kind == IndexKind::Mdx) {
      if (!same_base) continue;
      // The structural one is the kind the version allows, first found.
      const bool is_structural = announced && !structural_found &&
                                 std::find(structural.begin(), structural.end(), kind) != structural.end();
      structural_found = structural_found || is_structural;
      found.push_back(ReadIndex(folder + name, kind, is_structural, keys, fs));
    } else {
      // Another name belongs when its key names only this table's fields.
      FoundIndex other = ReadIndex(folder + name, kind, false, keys, fs);
      if (same_base || (other.Readable && !other.Tags.empty() && NamesOnlyFields(other.Tags[0].Key, keys)))
        loose.push_back(std::move(other));
    }
  }
  if (announced && !structural_found) {
    FoundIndex missing;
    missing.Kind = structural[0];
    missing.File = table_file.substr(0, table_file.find_last_of('.')) + "." + IndexKindName(missing.Kind);
    missing.Structural = true;
    missing.Missing = true;
    found.insert(found.begin(), missing);
  }
  // Structural first.
  std::stable_partition(found.begin(), found.end(), [](const FoundIndex& f) { return f.Structural; });
  for (FoundIndex& l : loose) found.push_back(std::move(l));
  return found;
}

std::vector<size_t> FoundIndex::GetMaintainedTags() const {
  std::vector<size_t> tags;
  for (size_t t = 0; t < Tags.size(); ++t)
    if (IsMaintained(t)) tags.push_back(t);
  return tags;
}

IndexTableShape IndexTableShapeOfHeader(const std::vector<DbfField>& fields, const uint8_t* header) {
  IndexTableShape shape;
  shape.Fields = fields;
  shape.Version = header[0];
  shape.CodePage = CodePageOfLanguageDriver(header[29]);
  return shape;
}

std::string WhyTagNotMaintained(const IndexTagInfo& tag, IndexKind kind, const std::vector<DbfField>& fields,
                                const uint8_t* header) {
  const IndexTableShape shape = IndexTableShapeOfHeader(fields, header);
  const IndexExpression key = ParseIndexExpression(tag.Key, shape);
  if (!key.IsSupported()) return "key: " + key.GetUnsupportedReason();
  if (!tag.ForExpr.empty()) {
    const IndexExpression condition = ParseIndexExpression(tag.ForExpr, shape);
    if (!condition.IsSupported()) return "FOR condition: " + condition.GetUnsupportedReason();
  }
  if (tag.Collation != "MACHINE") return "collation " + tag.Collation + " is not the byte order";
  const IndexKeyFormat format = kind == IndexKind::Ntx   ? IndexKeyFormat::Ntx
                                : kind == IndexKind::Ndx ? IndexKeyFormat::Ndx
                                : kind == IndexKind::Mdx ? IndexKeyFormat::Mdx
                                                         : IndexKeyFormat::FoxPro;
  return IndexKeyProblem(key, format);
}

void JudgeTableIndexes(const std::string& table_file, std::vector<FoundIndex>& indexes,
                       const std::vector<DbfField>& fields, const uint8_t* header, DbfFileSystem& fs) {
  const std::string base = Upper(IndexBaseOf(table_file));
  for (FoundIndex& index : indexes) {
    index.Reasons.clear();
    for (const IndexTagInfo& tag : index.Tags) index.Reasons.push_back(WhyTagNotMaintained(tag, index.Kind, fields, header));
    // A loose file named for another table may be that table's, with the
    // same field names: it is never written with this table's keys.
    if (!index.Structural && Upper(IndexBaseOf(index.File)) != base)
      for (size_t t : index.GetMaintainedTags()) index.Reasons[t] = "the file is named for another table";
    const std::vector<size_t> kept = index.GetMaintainedTags();
    if (kept.empty() || !index.Readable) continue;
    // The file must open for writing, and its family be one the engine
    // writes.
    IndexKeeper probe(fs);
    if (probe.AddFile(index.File, index.Kind, kept, IndexTableShapeOfHeader(fields, header))) continue;
    for (size_t t : kept) index.Reasons[t] = probe.GetErrorText();
  }
}

}  // namespace tabulon

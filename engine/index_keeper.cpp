#include "index_keeper.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "write_journal.h"

namespace tabulon {

struct IndexKeeper::Tag {
  IndexTagInfo Info;
  IndexExpression Key;
  IndexExpression For;
  bool HasFor = false;
  IndexKeyFormat Format = IndexKeyFormat::FoxPro;
  std::unique_ptr<IndexTagWriter> Writer;
};

struct IndexKeeper::File {
  std::string Path;
  IndexKind Kind = IndexKind::Cdx;
  std::vector<size_t> Numbers;
  std::unique_ptr<DbfFile> Handle;
  std::unique_ptr<IndexPages> Pages;
  std::vector<Tag> Tags;
  std::string Refused;  // why it is not kept: changes are refused
};

namespace {

std::vector<IndexKeyField> KeyFieldsOfShape(const IndexTableShape& shape) {
  std::vector<IndexKeyField> keys;
  for (const DbfField& f : shape.Fields) {
    IndexKeyField k;
    k.Name = std::string(reinterpret_cast<const char*>(f.Name), strnlen(reinterpret_cast<const char*>(f.Name), 11));
    k.Type = static_cast<char>(f.Type);
    keys.push_back(k);
  }
  return keys;
}

std::string KeyOf(const IndexExpression& key, const uint8_t* bytes, size_t size, IndexKeyFormat format,
                  int length) {
  return EvaluateIndexKey(key, IndexRecord{bytes, size}, format, length);
}

bool Passes(const IndexExpression& condition, bool has, const uint8_t* bytes, size_t size) {
  return !has || EvaluateIndexCondition(condition, IndexRecord{bytes, size});
}

}  // namespace

IndexKeeper::IndexKeeper(DbfFileSystem& fs) : fs_(fs) {}

IndexKeeper::~IndexKeeper() {
  for (auto& f : files_)
    if (f->Handle) f->Handle->Close();
}

bool IndexKeeper::Fail(const std::string& why) {
  error_ = why;
  return false;
}

bool IndexKeeper::AddFile(const std::string& path, IndexKind kind, const std::vector<size_t>& tags,
                          const IndexTableShape& shape) {
  shape_ = shape;
  auto file = std::make_unique<File>();
  file->Path = path;
  file->Kind = kind;
  file->Numbers = tags;
  if (!OpenFile(*file)) return false;
  files_.push_back(std::move(file));
  return true;
}

void IndexKeeper::RefuseFile(const std::string& path, IndexKind kind, const std::vector<size_t>& tags) {
  auto file = std::make_unique<File>();
  file->Path = path;
  file->Kind = kind;
  file->Numbers = tags;
  file->Refused = error_.empty() ? path + ": cannot be kept" : error_;
  files_.push_back(std::move(file));
}

bool IndexKeeper::OpenFile(File& file) {
  file.Tags.clear();
  file.Pages.reset();
  if (file.Handle) file.Handle->Close();
  std::string why;
  std::unique_ptr<IndexFile> read = OpenIndexFile(file.Path, file.Kind, fs_, KeyFieldsOfShape(shape_), &why);
  if (!read) return Fail(file.Path + ": " + why);
  file.Handle = fs_.Open(file.Path, DbfOpenMode::ReadWriteShared);
  if (!file.Handle) return Fail(file.Path + ": cannot be opened for writing");
  file.Pages = std::make_unique<IndexPages>(*file.Handle);
  if (!file.Pages->Open()) return Fail(file.Path + ": cannot be read");
  for (size_t number : file.Numbers) {
    if (number >= read->GetTags().size()) return Fail(file.Path + ": no such tag");
    Tag tag;
    tag.Info = read->GetTags()[number];
    tag.Key = ParseIndexExpression(tag.Info.Key, shape_);
    tag.HasFor = !tag.Info.ForExpr.empty();
    if (tag.HasFor) tag.For = ParseIndexExpression(tag.Info.ForExpr, shape_);
    tag.Format = IndexKeyFormatOf(file.Kind);
    tag.Writer = OpenIndexTagWriter(file.Kind, *file.Pages, tag.Info, tag.Key.GetResultType(), &why);
    if (!tag.Writer) return Fail(file.Path + ", tag " + tag.Info.Name + ": " + why);
    file.Tags.push_back(std::move(tag));
  }
  return true;
}

bool IndexKeeper::OnRecordChange(DbfTable& table, uint32_t record, const uint8_t* old, const uint8_t* now) {
  for (auto& file : files_) {
    if (!file->Refused.empty()) return Fail(file->Refused);
    for (Tag& tag : file->Tags)
      if (!ChangeTag(table, tag, record, old, now)) return false;
  }
  return true;
}

bool IndexKeeper::ChangeTag(DbfTable& table, Tag& tag, uint32_t record, const uint8_t* old, const uint8_t* now) {
  const size_t size = table.RecordSize();
  const int length = tag.Info.KeyLength;
  const bool was_in = old && Passes(tag.For, tag.HasFor, old, size);
  const bool is_in = Passes(tag.For, tag.HasFor, now, size);
  const std::string old_key = was_in ? KeyOf(tag.Key, old, size, tag.Format, length) : std::string();
  const std::string new_key = is_in ? KeyOf(tag.Key, now, size, tag.Format, length) : std::string();
  if (was_in && is_in && old_key == new_key) return true;
  if (was_in) {
    bool found = false;
    if (!tag.Writer->Remove(old_key, record, &found)) return Fail(tag.Writer->GetErrorText());
    // A unique tag holds the key again through the first other record
    // that has it, as a build would have chosen.
    if (found && tag.Info.Unique) {
      std::vector<uint8_t> other(size);
      for (uint32_t r = 1; r <= table.RecordCount(); ++r) {
        if (r == record || !table.ReadRecordAt(r, other.data())) continue;
        if (!Passes(tag.For, tag.HasFor, other.data(), size) ||
            KeyOf(tag.Key, other.data(), size, tag.Format, length) != old_key)
          continue;
        if (!tag.Writer->Insert(old_key, r)) return Fail(tag.Writer->GetErrorText());
        break;
      }
    }
  }
  if (is_in && !tag.Writer->Insert(new_key, record)) return Fail(tag.Writer->GetErrorText());
  return true;
}

bool IndexKeeper::HasChanges() const {
  for (const auto& file : files_)
    if (file->Pages && file->Pages->HasChanges()) return true;
  return false;
}

bool IndexKeeper::SaveChanges(WriteJournal& journal) {
  for (auto& file : files_) {
    if (!file->Pages || !file->Pages->HasChanges()) continue;
    const int number = journal.AddFile(file->Path, file->Pages->GetOriginalSize());
    if (number < 0) return Fail(file->Path + ": the journal cannot be written");
    std::vector<uint8_t> old(kIndexChunk);
    for (const auto& change : file->Pages->GetChanges()) {
      const uint64_t at = change.first;
      if (at >= file->Pages->GetOriginalSize()) continue;
      const size_t n = size_t(std::min<uint64_t>(kIndexChunk, file->Pages->GetOriginalSize() - at));
      size_t got = 0;
      if (!file->Handle->ReadAt(at, old.data(), n, &got) || got != n || !journal.SaveBytes(number, at, old.data(), n))
        return Fail(file->Path + ": cannot be saved in the journal");
    }
  }
  return true;
}

bool IndexKeeper::WriteChanges() {
  for (auto& file : files_) {
    if (!file->Pages || !file->Pages->HasChanges()) continue;
    if (!file->Pages->WriteOut() || !file->Handle->Flush()) return Fail(file->Path + ": cannot be written");
  }
  return true;
}

void IndexKeeper::DropChanges() {
  for (auto& file : files_)
    if (file->Pages) file->Pages->Drop();
}

std::vector<std::string> IndexKeeper::GetFiles() const {
  std::vector<std::string> paths;
  for (const auto& file : files_) paths.push_back(file->Path);
  return paths;
}

bool IndexKeeper::Rebuild(DbfTable& table) {
  for (auto& file : files_) {
    // The file is replaced: no handle of ours may hold it meanwhile.
    file->Tags.clear();
    file->Pages.reset();
    if (file->Handle) file->Handle->Close();
    file->Handle.reset();
    std::string why;
    if (!RebuildIndexFile(table, file->Path, file->Kind, file->Numbers, fs_, &why)) return Fail(file->Path + ": " + why);
    if (!OpenFile(*file)) return false;
    file->Refused.clear();
  }
  return true;
}

bool RebuildIndexFile(DbfTable& table, const std::string& path, IndexKind kind, const std::vector<size_t>& keep,
                      DbfFileSystem& fs, std::string* error) {
  const IndexTableShape shape = IndexTableShapeOf(table);
  std::unique_ptr<IndexFile> read = OpenIndexFile(path, kind, fs, KeyFieldsOfShape(shape), error);
  if (!read) return false;
  const std::vector<IndexTagInfo> tags = read->GetTags();
  std::vector<std::vector<IndexEntry>> entries(tags.size());
  const IndexKeyFormat format = IndexKeyFormatOf(kind);
  const size_t size = table.RecordSize();
  std::vector<uint8_t> record(size);
  for (size_t t = 0; t < tags.size(); ++t) {
    const IndexTagInfo& tag = tags[t];
    std::vector<IndexEntry>& into = entries[t];
    if (std::find(keep.begin(), keep.end(), t) == keep.end()) {
      // A tag the engine does not evaluate keeps what it holds.
      if (!read->Walk(t, [&](const IndexEntry& e) {
            into.push_back(e);
            return true;
          })) {
        *error = read->GetErrorText();
        return false;
      }
      continue;
    }
    const IndexExpression key = ParseIndexExpression(tag.Key, shape);
    const bool has_for = !tag.ForExpr.empty();
    const IndexExpression condition = has_for ? ParseIndexExpression(tag.ForExpr, shape) : IndexExpression();
    const uint32_t count = table.RecordCount();
    into.reserve(count);
    for (uint32_t r = 1; r <= count; ++r) {
      if (!table.ReadRecordAt(r, record.data())) {
        *error = "record " + std::to_string(r) + " cannot be read";
        return false;
      }
      if (!Passes(condition, has_for, record.data(), size)) continue;
      into.push_back(IndexEntry{KeyOf(key, record.data(), size, format, tag.KeyLength), r});
    }
    const IndexValueType type = key.GetResultType();
    SortIndexEntries(into, kind, tag, type);
    if (tag.Unique) {
      // The first record of each key, in record order, as a build takes it.
      size_t kept = 0;
      // (An entry never moves onto itself: that would empty its key.)
      for (size_t i = 0; i < into.size(); ++i) {
        if (kept > 0 && CompareIndexKeys(into[kept - 1].Key, into[i].Key, format, type) == 0) continue;
        if (kept != i) into[kept] = std::move(into[i]);
        ++kept;
      }
      into.resize(kept);
    }
  }
  read.reset();
  const std::string fresh = path + "~new";
  std::unique_ptr<DbfFile> old = fs.Open(path, DbfOpenMode::ReadOnly);
  std::unique_ptr<DbfFile> out = fs.Open(fresh, DbfOpenMode::Create);
  if (!old || !out) {
    *error = "the new file cannot be written";
    return false;
  }
  const bool built = BuildIndexFile(kind, *old, tags, entries, *out, error) && out->Flush();
  old->Close();
  out->Close();
  if (!built || !fs.Rename(fresh, path)) {
    if (built) *error = "the new file cannot take the old one's place";
    fs.Remove(fresh);
    return false;
  }
  fs.FlushFolder(path);
  return true;
}

}  // namespace tabulon

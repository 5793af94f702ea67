// Opening an index file by its kind, the checked page reads and the tree
// walk the families share.
#include <algorithm>
#include <cctype>
#include <unordered_set>

#include "index_reader.h"

namespace tabulon {

namespace {

// No index of a table that fits in a file goes deeper: a page of 512
// bytes holds at least two keys of the longest kind.
constexpr size_t kMaxIndexDepth = 40;

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

}  // namespace

const char* IndexKindName(IndexKind kind) {
  switch (kind) {
    case IndexKind::Cdx: return "cdx";
    case IndexKind::Idx: return "idx";
    case IndexKind::Ntx: return "ntx";
    case IndexKind::Ndx: return "ndx";
    case IndexKind::Mdx: return "mdx";
  }
  return "";
}

bool IndexKindOfName(const std::string& file_name, IndexKind* kind) {
  const size_t dot = file_name.find_last_of('.');
  if (dot == std::string::npos || file_name.find_first_of("/\\", dot) != std::string::npos) return false;
  const std::string ext = Upper(file_name.substr(dot + 1));
  for (IndexKind k : {IndexKind::Cdx, IndexKind::Idx, IndexKind::Ntx, IndexKind::Ndx, IndexKind::Mdx}) {
    if (ext == Upper(IndexKindName(k))) {
      *kind = k;
      return true;
    }
  }
  return false;
}

std::string IndexBaseName(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const size_t dot = name.find_last_of('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

int IndexFile::FindTag(const std::string& name) const {
  for (size_t i = 0; i < tags_.size(); ++i)
    if (Upper(tags_[i].Name) == Upper(name)) return static_cast<int>(i);
  return -1;
}

bool IndexFile::Fail(const std::string& why) {
  error_ = file_name_ + ": " + why;
  return false;
}

IndexBytes::IndexBytes(std::unique_ptr<DbfFile> file) : file_(std::move(file)) {
  if (file_ && !file_->GetSize(&size_)) file_.reset();
}

bool IndexBytes::Read(uint64_t offset, size_t n, std::vector<uint8_t>& out) {
  if (!file_ || offset > size_ || n > size_ - offset) return false;
  out.resize(n);
  size_t got = 0;
  return file_->ReadAt(offset, out.data(), n, &got) && got == n;
}

bool WalkIndexTree(uint64_t root, const IndexNodeReader& read, const std::function<bool(const IndexEntry&)>& each,
                   std::string* why) {
  struct Frame {
    IndexNode Node;
    size_t Step = 0;  // even 2i: child i next; odd 2i + 1: key i
  };
  std::vector<Frame> path;
  std::unordered_set<uint64_t> seen{root};
  path.emplace_back();
  if (!read(root, &path.back().Node, why)) return false;
  while (!path.empty()) {
    Frame& frame = path.back();
    if (frame.Node.Leaf) {
      for (const IndexEntry& entry : frame.Node.Keys)
        if (!each(entry)) return true;
      path.pop_back();
      continue;
    }
    const size_t step = frame.Step++;
    if (step >= 2 * frame.Node.Children.size()) {
      path.pop_back();
      continue;
    }
    if (step % 2 == 1) {
      if (frame.Node.KeysAreRecords && step / 2 < frame.Node.Keys.size() && !each(frame.Node.Keys[step / 2]))
        return true;
      continue;
    }
    const uint64_t child = frame.Node.Children[step / 2];
    if (child == 0) continue;
    if (path.size() >= kMaxIndexDepth) {
      *why = "the tree is deeper than any index goes";
      return false;
    }
    // A page met twice would make the walk loop or repeat keys.
    if (!seen.insert(child).second) {
      *why = "page at " + std::to_string(child) + " is reached twice";
      return false;
    }
    path.emplace_back();
    if (!read(child, &path.back().Node, why)) return false;
  }
  return true;
}

char ResolveKeyType(const std::string& key, const std::vector<IndexKeyField>& fields) {
  std::string name = Upper(Trimmed(key));
  const size_t arrow = name.find("->");
  if (arrow != std::string::npos) name = Trimmed(name.substr(arrow + 2));
  bool identifier = !name.empty();
  for (char c : name) identifier = identifier && (std::isalnum(static_cast<unsigned char>(c)) || c == '_');
  // Visual FoxPro's long names are matched by the first 10 letters, which
  // are all the table stores.
  for (const IndexKeyField& f : fields)
    if (identifier && Upper(f.Name) == name.substr(0, 10)) return f.Type;
  // Expressions of character functions give character keys.
  for (const char* function : {"UPPER(", "LOWER(", "STR(", "DTOS(", "TRIM(", "LEFT(", "SUBSTR(", "PADR("})
    if (name.find(function) != std::string::npos) return 'C';
  return '?';
}

std::unique_ptr<IndexFile> OpenIndexFile(const std::string& path, IndexKind kind, DbfFileSystem& fs,
                                         const std::vector<IndexKeyField>& fields, std::string* error) {
  IndexBytes bytes(fs.Open(path, DbfOpenMode::ReadOnly));
  if (!bytes.IsOpen()) {
    *error = path + ": cannot be opened for reading";
    return nullptr;
  }
  switch (kind) {
    case IndexKind::Cdx:
    case IndexKind::Idx: return OpenFoxIndex(path, kind, std::move(bytes), fields, error);
    case IndexKind::Ntx: return OpenNtxIndex(path, std::move(bytes), fields, error);
    case IndexKind::Ndx: return OpenNdxIndex(path, std::move(bytes), error);
    case IndexKind::Mdx: return OpenMdxIndex(path, std::move(bytes), error);
  }
  return nullptr;
}

uint32_t IndexLe16(const uint8_t* p) { return uint32_t{p[0]} | (uint32_t{p[1]} << 8); }
uint32_t IndexLe32(const uint8_t* p) {
  return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}
uint32_t IndexBe32(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]};
}
std::string IndexText(const uint8_t* p, size_t n) {
  size_t length = 0;
  while (length < n && p[length] != 0) ++length;
  // Names and expressions are padded with blanks by some programs.
  while (length > 0 && p[length - 1] == ' ') --length;
  return std::string(reinterpret_cast<const char*>(p), length);
}

namespace {

class OneTagIndex final : public IndexFile {
 public:
  OneTagIndex(IndexKind kind, const std::string& path, IndexBytes bytes, const IndexTagInfo& tag, uint64_t root,
              size_t page_size, IndexPageDecoder decode)
      : IndexFile(kind, path), bytes_(std::move(bytes)), root_(root), page_size_(page_size),
        decode_(std::move(decode)) {
    tags_.push_back(tag);
  }

  bool Walk(size_t tag, const std::function<bool(const IndexEntry&)>& each) override {
    if (tag >= tags_.size()) return Fail("no tag " + std::to_string(tag + 1));
    std::vector<uint8_t> page;
    const IndexNodeReader read = [&](uint64_t offset, IndexNode* node, std::string* why) {
      if (!bytes_.Read(offset, page_size_, page)) {
        *why = "page at " + std::to_string(offset) + " lies past the end of the file";
        return false;
      }
      return decode_(page.data(), node, why);
    };
    std::string why;
    return WalkIndexTree(root_, read, each, &why) || Fail(why);
  }

 private:
  IndexBytes bytes_;
  uint64_t root_;
  size_t page_size_;
  IndexPageDecoder decode_;
};

}  // namespace

std::unique_ptr<IndexFile> NewOneTagIndex(IndexKind kind, const std::string& path, IndexBytes bytes,
                                          const IndexTagInfo& tag, uint64_t root, size_t page_size,
                                          IndexPageDecoder decode) {
  return std::make_unique<OneTagIndex>(kind, path, std::move(bytes), tag, root, page_size, std::move(decode));
}

}  // namespace tabulon

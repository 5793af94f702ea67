// The byte layouts of the index files, known here only: headers and pages
// decoded from their bytes (a writer encodes the same structures). Offsets
// are from the start of the header or page; "LE"/"BE" is the byte order.
//
// FoxPro .cdx and .idx (pages of 512 bytes, pointers are byte offsets):
//   tag header (1024, compact; .cdx: one per tag, found through the tag
//   directory, itself a compact tag at offset 0 whose keys are the tag
//   names and whose record numbers are the tag headers' offsets):
//     0 root (LE4)  4 free list (LE4; the file's first header holds the
//     file's list)  8 change counter (BE4)  12 key length (LE2)  14 options
//     (0x01 unique, 0x08 FOR, 0x20 compact, 0x40 compound)  494 collation
//     name (8, NUL-padded; none: machine order)  502 descending (LE2)
//     506 FOR length (LE2)  510 key length in the pool (LE2)  512 key
//     expression, NUL, FOR expression
//   uncompressed .idx header (512): 0 root, 4 free list, 8 end of the
//     file, 12 key length, 14 options,
//     16 key expression (220), 236 FOR expression (220)
//   node: 0 attributes (LE2: 1 root, 2 leaf)  2 key count (LE2)  4 left
//     (LE4)  8 right (LE4); then
//     interior (compact): 12 + i * (key length + 8): key, record (BE4),
//       child offset (BE4); each key is its child's highest
//     compact leaf: 12 free bytes (LE2)  14 record mask (LE4)  18
//       duplicate mask  19 trailing mask  20 record bits  21 duplicate
//       bits  22 trailing bits  23 bytes per entry; entries from 24, each
//       a little-endian number: record, then duplicate count (bytes shared
//       with the previous key), then trailing count (blanks, or zero bytes
//       of a binary key, cut off the end); the rest of each key is packed
//       from the page's end downward
//     uncompressed .idx: 12 + i * (key length + 4): key, then BE4 record
//       (leaf) or child offset (interior)
//
// Clipper .ntx (pages of 1024, pointers are byte offsets):
//   header: 0 signature (LE2: 6, or 3 for older)  4 root (LE4)  8 next free
//   (LE4)  12 item size (LE2)  14 key length (LE2)  16 decimals (LE2)  18
//   keys per page (LE2)  20 half of it, the fewest a page other than the
//   root keeps (LE2)  22 key expression (256)  278 unique  280
//   descending  282 FOR expression (256)  538 tag name (12)
//   page: 0 key count (LE2)  2 offsets of the items (LE2 each, keys per
//   page + 1 of them);
//   item: child page (LE4, 0: none)  record (LE4)  key. Keys of interior
//   pages are records too: child 0, key 0, child 1, ..., child count; the
//   last item's record is 0. A free page: count 0, its first item's child
//   the next free page (the header's next free is the first).
//   A descending tag keeps its keys in descending order, equal keys by
//   record number ascending.
//
// dBase III .ndx (pages of 512, pointers are page numbers):
//   header: 0 root page (LE4)  4 page count (LE4)  12 key length (LE2)  14
//   keys per page (LE2)  16 key type (LE2: 0 character, 1 numeric or date
//   as an IEEE double)  18 item size (LE2)  23 unique  24 key expression
//   page: 0 key count (LE4); items from 4: child page (LE4, 0 in a leaf)
//   record (LE4)  key. An interior page has count + 1 children, the last
//   with no key; its keys are copies, each the highest key below its
//   child, with record 0. No free list: the page count is the next page.
//
// dBase IV .mdx (pages of 512, blocks of one or more pages, pointers are
// page numbers):
//   header: 20 pages per block (LE2)  22 block size in bytes (LE2)  26 tag
//   entry size  28 tags in use (LE2)  32 pages in use, the end of the
//   file (LE4)  36 first free block's page (LE4, 0: none); tag entries
//   from 544: header page (LE4), name (11), key format, threads (3),
//   reserved, key type
//   tag header: 0 root page (LE4)  4 pages the tag holds (LE4)  8 key
//   format (0x08 descending, 0x40 unique)  9 key type ('C', 'N', 'D')  12
//   key length (LE2)  14 keys per block (LE2)  18 item size (LE2)  23
//   unique  24 key expression  245 FOR present  246 has keys  248 first
//   leaf's page (LE4)  252 last leaf's page (LE4)  762 FOR expression
//   block: 0 key count (LE4)  4 next free block's page, in a free block
//   (LE4)  8 items: pointer (LE4)  key; a branch has one more pointer
//   after its keys (nonzero), a leaf's pointers are records. A branch's
//   key is the highest key below its pointer; the last pointer has none.
//   A descending tag keeps its keys in descending order (equal keys still
//   by ascending record).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "index_file.h"

namespace tabulon {

// A page decoded: in a leaf every key is a record; in a branch Children
// are the pages below (byte offsets; 0 for none) and Keys separate them,
// records themselves only where KeysAreRecords (Clipper). A branch's walk
// order is child 0, key 0, child 1, key 1, ... .
struct IndexNode {
  bool Leaf = true;
  bool KeysAreRecords = false;
  std::vector<IndexEntry> Keys;
  std::vector<uint64_t> Children;
};

// FoxPro.
constexpr size_t kFoxPageSize = 512;
constexpr size_t kFoxCompactHeaderSize = 1024;
constexpr size_t kFoxOldHeaderSize = 512;
constexpr uint8_t kFoxUnique = 0x01, kFoxHasFor = 0x08, kFoxCompact = 0x20, kFoxCompound = 0x40;
struct FoxHeader {
  uint64_t Root = 0;
  uint16_t KeyLength = 0;
  uint8_t Options = 0;
  bool Descending = false;
  std::string Collation;  // empty: machine order
  std::string Key, For;
};
// bytes holds kFoxCompactHeaderSize bytes when the options say compact,
// at least kFoxOldHeaderSize otherwise. False when the header is not one.
bool DecodeFoxHeader(const uint8_t* bytes, size_t size, FoxHeader* header);
// fill restores a compact leaf's trailing bytes (a blank for character keys).
bool DecodeFoxNode(const uint8_t* page, const FoxHeader& header, uint8_t fill, IndexNode* node,
                   std::string* why);
// Encoding. A sibling pointer with no page is kFoxNone; a free page holds
// the next free page's offset in its first 4 bytes (LE, 0 at the end), the
// list's head is at offset 4 of the file's first header.
constexpr uint32_t kFoxNone = 0xFFFFFFFFu;
constexpr uint16_t kFoxRootNode = 1, kFoxLeafNode = 2;
// A compact leaf's entry: the duplicate and trailing counts take the bits
// the key length needs (each, at the entry's top), the record all the rest
// of the fewest whole bytes that hold the page's largest record.
struct FoxLeafBits {
  unsigned RecordBits = 0, DuplicateBits = 0, TrailingBits = 0, EntrySize = 0;
};
FoxLeafBits FoxLeafLayout(size_t key_length, uint32_t largest_record);
// The node's first 12 bytes.
void EncodeFoxNodeHead(uint8_t* page, uint16_t attributes, size_t count, uint32_t left, uint32_t right);
// count entries (each key_length bytes, in order) as a compact leaf's
// bytes from 12 on; false, the page untouched, when they do not fit.
bool EncodeFoxLeaf(const IndexEntry* entries, size_t count, size_t key_length, uint8_t fill, uint8_t* page);
// Fixed items from byte 12: an interior node's (children not null; compact
// ones carry the record too) or an uncompressed leaf's; false when more
// than FoxItemsPerPage.
bool EncodeFoxItems(const IndexEntry* entries, const uint64_t* children, size_t count, size_t key_length,
                    bool compact, uint8_t* page);
size_t FoxItemsPerPage(size_t key_length, bool compact, bool leaf);

// Clipper.
constexpr size_t kNtxPageSize = 1024;
struct NtxHeader {
  uint64_t Root = 0, NextFree = 0;
  uint16_t ItemSize = 0, KeyLength = 0, Decimals = 0, MaxItems = 0, HalfItems = 0;
  bool Unique = false, Descending = false;
  std::string Key, For, TagName;
};
bool DecodeNtxHeader(const uint8_t* bytes, NtxHeader* header);
bool DecodeNtxNode(const uint8_t* page, const NtxHeader& header, IndexNode* node, std::string* why);
// A page's key count and its table of offsets, each slot its own item in
// slot order (Clipper shuffles them instead; any table of distinct items
// reads the same); items put in place (slot up to count; key null for the
// last child of an interior page). The caller clears the page first.
void EncodeNtxPage(uint8_t* page, const NtxHeader& header, size_t count);
void EncodeNtxItem(uint8_t* page, const NtxHeader& header, size_t slot, uint64_t child, uint32_t record,
                   const char* key);
// A whole page from a node: a leaf when node.Children is empty.
void EncodeNtxNode(const IndexNode& node, const NtxHeader& header, uint8_t* page);
// The header's tree pointers: root and first free page (byte offsets).
void EncodeNtxPointers(uint8_t* header, uint64_t root, uint64_t next_free);

// dBase III.
constexpr size_t kNdxPageSize = 512;
struct NdxHeader {
  uint32_t RootPage = 0, PageCount = 0;
  uint16_t KeyLength = 0, KeysPerPage = 0, KeyType = 0, ItemSize = 0;
  bool Unique = false;
  std::string Key;
};
bool DecodeNdxHeader(const uint8_t* bytes, NdxHeader* header);
bool DecodeNdxNode(const uint8_t* page, const NdxHeader& header, IndexNode* node, std::string* why);
// A page's key count, and items put in place (child page number, 0 in a
// leaf; key null for the last child of an interior page) on a page the
// caller cleared.
void EncodeNdxPage(uint8_t* page, size_t count);
void EncodeNdxItem(uint8_t* page, const NdxHeader& header, size_t slot, uint32_t child_page, uint32_t record,
                   const char* key);
// A whole page from a node (children as byte offsets, as decoded).
void EncodeNdxNode(const IndexNode& node, const NdxHeader& header, uint8_t* page);
// The header's root page and page count (the next page to add).
void EncodeNdxPointers(uint8_t* header, uint32_t root_page, uint32_t page_count);

// dBase IV.
constexpr size_t kMdxHeaderSize = 544;
constexpr size_t kMdxPageSize = 512;
struct MdxHeader {
  uint16_t BlockSize = 0;
  uint8_t EntrySize = 0;
  uint16_t TagCount = 0;
};
struct MdxTagEntry {
  uint32_t HeaderPage = 0;
  std::string Name;
  char KeyType = '?';
};
struct MdxTagHeader {
  uint32_t RootPage = 0;
  uint8_t KeyFormat = 0;
  char KeyType = '?';
  uint16_t KeyLength = 0, ItemSize = 0, KeysPerBlock = 0;
  bool Unique = false;
  std::string Key, For;
};
bool DecodeMdxHeader(const uint8_t* bytes, MdxHeader* header);
MdxTagEntry DecodeMdxTagEntry(const uint8_t* bytes);
// bytes: a whole block (the FOR expression lies past the first page).
bool DecodeMdxTagHeader(const uint8_t* bytes, size_t size, MdxTagHeader* header);
bool DecodeMdxNode(const uint8_t* block, size_t block_size, const MdxTagHeader& header, IndexNode* node,
                   std::string* why);
constexpr size_t kMdxPagesInUse = 32, kMdxFirstFree = 36, kMdxNextFree = 4;
constexpr size_t kMdxTagPages = 4, kMdxHasKeys = 246, kMdxFirstLeaf = 248, kMdxLastLeaf = 252;
// The keys a block holds at most: the header's count, and what fits with
// the pointer after the last key.
size_t MdxBlockCapacity(const MdxTagHeader& header, size_t block_size);
// Encoders: into a zeroed block, its key count, item i (a record or child
// page, and a key of the tag's key length), a branch's last pointer.
void EncodeMdxCount(uint8_t* block, uint32_t count);
void EncodeMdxItem(uint8_t* block, size_t i, const MdxTagHeader& header, uint32_t pointer, const std::string& key);
void EncodeMdxLastPointer(uint8_t* block, size_t count, const MdxTagHeader& header, uint32_t pointer);

// Little- and big-endian numbers, and NUL-ended text of at most n bytes.
uint32_t IndexLe16(const uint8_t* p);
uint32_t IndexLe32(const uint8_t* p);
uint32_t IndexBe32(const uint8_t* p);
std::string IndexText(const uint8_t* p, size_t n);

}  // namespace tabulon

// FoxPro's pages encoded: the compact leaf (bit-packed entries, keys packed
// from the page's end downward) and the fixed items of interior pages and
// of the older uncompressed layout.
#include <cstring>

#include "index_layout.h"

namespace tabulon {

namespace {

unsigned BitsFor(uint64_t value) {
  unsigned bits = 0;
  for (; value != 0; value >>= 1) ++bits;
  return bits;
}

void PutLe(uint8_t* p, uint64_t value, size_t n) {
  for (size_t i = 0; i < n; ++i) p[i] = static_cast<uint8_t>(value >> (8 * i));
}

void PutBe32(uint8_t* p, uint32_t value) {
  for (size_t i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(value >> (8 * (3 - i)));
}

}  // namespace

FoxLeafBits FoxLeafLayout(size_t key_length, uint32_t largest_record) {
  FoxLeafBits bits;
  const unsigned counts = BitsFor(key_length);
  const unsigned record = BitsFor(largest_record) > 0 ? BitsFor(largest_record) : 1;
  bits.EntrySize = (record + 2 * counts + 7) / 8;
  bits.DuplicateBits = bits.TrailingBits = counts;
  bits.RecordBits = bits.EntrySize * 8 - 2 * counts;
  // Readers take the record as one 32-bit number: bits beyond go to the
  // counts, which stay at the entry's top (at most 8 bits each, their masks
  // are single bytes).
  if (bits.RecordBits > 32) {
    const unsigned extra = bits.RecordBits - 32;
    bits.DuplicateBits += extra / 2;
    bits.TrailingBits += extra - extra / 2;
    bits.RecordBits = 32;
  }
  return bits;
}

void EncodeFoxNodeHead(uint8_t* page, uint16_t attributes, size_t count, uint32_t left, uint32_t right) {
  PutLe(page, attributes, 2);
  PutLe(page + 2, count, 2);
  PutLe(page + 4, left, 4);
  PutLe(page + 8, right, 4);
}

bool EncodeFoxLeaf(const IndexEntry* entries, size_t count, size_t key_length, uint8_t fill, uint8_t* page) {
  uint32_t largest = 0;
  for (size_t i = 0; i < count; ++i) largest = entries[i].Record > largest ? entries[i].Record : largest;
  const FoxLeafBits bits = FoxLeafLayout(key_length, largest);
  const size_t duplicate_max = (size_t{1} << bits.DuplicateBits) - 1;
  const size_t trailing_max = (size_t{1} << bits.TrailingBits) - 1;
  uint8_t out[kFoxPageSize] = {};
  size_t end = kFoxPageSize;
  const size_t entries_end = 24 + count * bits.EntrySize;
  if (entries_end > kFoxPageSize) return false;
  for (size_t i = 0; i < count; ++i) {
    const std::string& key = entries[i].Key;
    if (key.size() != key_length) return false;
    size_t trailing = 0;
    while (trailing < key_length && static_cast<uint8_t>(key[key_length - 1 - trailing]) == fill) ++trailing;
    if (trailing > trailing_max) trailing = trailing_max;
    size_t duplicate = 0;
    if (i > 0) {
      const std::string& previous = entries[i - 1].Key;
      while (duplicate < key_length - trailing && key[duplicate] == previous[duplicate]) ++duplicate;
      if (duplicate > duplicate_max) duplicate = duplicate_max;
    }
    const size_t own = key_length - duplicate - trailing;
    if (end < entries_end + own) return false;
    end -= own;
    std::memcpy(out + end, key.data() + duplicate, own);
    const uint64_t value = uint64_t{entries[i].Record} | uint64_t{duplicate} << bits.RecordBits |
                           uint64_t{trailing} << (bits.RecordBits + bits.DuplicateBits);
    PutLe(out + 24 + i * bits.EntrySize, value, bits.EntrySize);
  }
  PutLe(out + 12, end - entries_end, 2);
  PutLe(out + 14, bits.RecordBits == 32 ? 0xFFFFFFFFu : (uint64_t{1} << bits.RecordBits) - 1, 4);
  out[18] = static_cast<uint8_t>(duplicate_max);
  out[19] = static_cast<uint8_t>(trailing_max);
  out[20] = static_cast<uint8_t>(bits.RecordBits);
  out[21] = static_cast<uint8_t>(bits.DuplicateBits);
  out[22] = static_cast<uint8_t>(bits.TrailingBits);
  out[23] = static_cast<uint8_t>(bits.EntrySize);
  std::memcpy(page + 12, out + 12, kFoxPageSize - 12);
  return true;
}

size_t FoxItemsPerPage(size_t key_length, bool compact, bool leaf) {
  return (kFoxPageSize - 12) / (key_length + (compact && !leaf ? 8 : 4));
}

bool EncodeFoxItems(const IndexEntry* entries, const uint64_t* children, size_t count, size_t key_length,
                    bool compact, uint8_t* page) {
  const bool leaf = children == nullptr;
  if (count > FoxItemsPerPage(key_length, compact, leaf)) return false;
  const size_t item = key_length + (compact && !leaf ? 8 : 4);
  // Bytes past the last item stay zero: a reader may look one item further.
  std::memset(page + 12, 0, kFoxPageSize - 12);
  for (size_t i = 0; i < count; ++i) {
    uint8_t* p = page + 12 + i * item;
    std::memcpy(p, entries[i].Key.data(), entries[i].Key.size() < key_length ? entries[i].Key.size() : key_length);
    if (leaf) {
      PutBe32(p + key_length, entries[i].Record);
    } else {
      if (compact) PutBe32(p + key_length, entries[i].Record);
      PutBe32(p + key_length + (compact ? 4 : 0), static_cast<uint32_t>(children[i]));
    }
  }
  return true;
}

}  // namespace tabulon

// dBase IV .mdx tags changed entry by entry, and files written anew: after
// random inserts and removals the engine's walk and Perl's XBase::Index
// both give an independent sort of the entries, and every block of the
// file lies in exactly one tag's tree or in the free list.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <iterator>
#include <random>
#include <set>

#include "index_writer.h"
#include "support/index_bytes.h"
#include "support/perl_walk.h"
#include "support/temp_folder.h"

namespace tabulon {
namespace {

using test::Bytes;
using test::GetLittle32;

struct TagCase {
  const char* Name;
  IndexValueType Type;
  uint16_t Length, PerBlock;  // keys per block; 0: as many as fit
  bool Unique, Descending;
};
const TagCase kTags[] = {{"CHAR", IndexValueType::Character, 8, 4, false, false},
                         {"NUM", IndexValueType::Numeric, 12, 0, false, true},
                         {"DAT", IndexValueType::Date, 8, 5, false, false},
                         {"UNIQ", IndexValueType::Character, 8, 0, true, false},
                         {"DESC", IndexValueType::Character, 8, 3, false, true}};

struct Entry {
  double Number;  // numbers and dates
  std::string Text, Key;
  uint32_t Record;
};

Entry Make(const TagCase& tag, int value, uint32_t record) {
  IndexValue v{tag.Type, "K" + std::to_string(100 + value), 0, false};
  v.Number = tag.Type == IndexValueType::Date ? 2450000 + value : (value - 50) * 1.25;
  return {v.Number, v.Text, EncodeIndexValue(v, IndexKeyFormat::Mdx, tag.Length, 2), record};
}

void Sort(const TagCase& tag, std::vector<Entry>& entries) {
  std::sort(entries.begin(), entries.end(), [&](const Entry& a, const Entry& b) {
    const bool text = tag.Type == IndexValueType::Character;
    if (text ? a.Text != b.Text : a.Number != b.Number)
      return tag.Descending != (text ? a.Text < b.Text : a.Number < b.Number);
    return a.Record < b.Record;
  });
}

Bytes Load(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

// Every block after the header's four pages is a tag's header, in its
// tree, or in the free list, once; the header counts them all. A branch's
// keys are the highest keys below them.
void CheckBlocks(const Bytes& f) {
  const size_t block = f[22] | f[23] << 8, used = GetLittle32(f, 32);
  EXPECT_EQ(used * 512, f.size());
  std::set<uint32_t> seen;
  const auto take = [&](uint32_t page) { return page * 512 + block <= f.size() && seen.insert(page).second; };
  size_t item = 0, length = 0;
  std::function<std::string(uint32_t)> tree = [&](uint32_t page) {
    if (!take(page)) {
      ADD_FAILURE() << "block " << page << " twice or outside";
      return std::string();
    }
    const size_t at = page * 512, n = GetLittle32(f, at), last = GetLittle32(f, at + 8 + n * item);
    std::string highest = n ? test::Slice(f, at + 8 + (n - 1) * item + 4, length) : "";
    for (size_t i = 0; last != 0 && i <= n; ++i) {
      highest = tree(GetLittle32(f, at + 8 + i * item));
      EXPECT_TRUE(i == n || test::Slice(f, at + 8 + i * item + 4, length) == highest) << "branch " << page;
    }
    return highest;
  };
  for (size_t t = 0; t < size_t(f[28]); ++t) {
    const uint32_t header = GetLittle32(f, 544 + 32 * t);
    EXPECT_TRUE(take(header));
    item = f[header * 512 + 18], length = f[header * 512 + 12];
    tree(GetLittle32(f, header * 512));
  }
  for (uint32_t p = GetLittle32(f, 36); p != 0 && seen.size() < used; p = GetLittle32(f, p * 512 + 4))
    EXPECT_TRUE(take(p)) << "free " << p;
  EXPECT_EQ(4 + seen.size() * block / 512, used);
}

// Each tag walks as expected[t], by the engine and by Perl.
void CheckWalks(const std::string& path, const std::vector<std::vector<Entry>>& expected,
                std::vector<std::vector<IndexEntry>>* walked = nullptr) {
  std::string error;
  auto index = OpenIndexFile(path, IndexKind::Mdx, PlatformFileSystem(), {}, &error);
  ASSERT_TRUE(index) << error;
  ASSERT_EQ(index->GetTags().size(), std::size(kTags));
  for (size_t t = 0; t < std::size(kTags); ++t) {
    std::vector<uint32_t> want, got;
    for (const Entry& e : expected[t]) want.push_back(e.Record);
    if (walked) walked->emplace_back();
    EXPECT_TRUE(index->Walk(t, [&](const IndexEntry& e) {
      if (walked) walked->back().push_back(e);
      got.push_back(e.Record);
      return true;
    })) << index->GetErrorText();
    EXPECT_EQ(got, want) << kTags[t].Name;
    EXPECT_EQ(test::PerlWalk(path, 'C', kTags[t].Name), want) << kTags[t].Name;
  }
  CheckBlocks(Load(path));
}

std::vector<IndexTagInfo> TagsOf(const std::string& path, std::string* error) {
  auto index = OpenIndexFile(path, IndexKind::Mdx, PlatformFileSystem(), {}, error);
  return index ? index->GetTags() : std::vector<IndexTagInfo>();
}

TEST(IndexWriteMdxTest, RandomEditsThenRebuild) {
  test::TempFolder folder("tabulon-mdx");
  for (const bool rebuilt_first : {false, true}) {
    SCOPED_TRACE(rebuilt_first ? "from a file written anew" : "from a file built byte by byte");
    std::mt19937 random(rebuilt_first ? 7 : 3);
    // Starting entries; CHAR also holds a key's duplicates in falling
    // record order, as another program may leave them.
    std::vector<std::vector<Entry>> model(std::size(kTags));
    std::vector<test::MdxTag> layout;
    uint32_t next = 1;
    for (size_t t = 0; t < std::size(kTags); ++t) {
      for (int i = 0; i < 30; ++i, ++next)
        if (!kTags[t].Unique || i % 2 == 0) model[t].push_back(Make(kTags[t], i, next));
      Sort(kTags[t], model[t]);
      layout.push_back({kTags[t].Name, kTags[t].Name, "", kTags[t].Length, kTags[t].Unique, kTags[t].Descending, {}});
      for (const Entry& e : model[t]) layout.back().Keys.emplace_back(e.Key, e.Record);
    }
    const Entry odd = Make(kTags[0], 99, 0);
    for (uint32_t r = 0; r < 9; ++r) layout[0].Keys.emplace_back(odd.Key, 900000 - r);
    Bytes bytes = test::MakeMdx(layout);
    for (size_t t = 0; t < std::size(kTags); ++t) {
      const uint32_t header = GetLittle32(bytes, 544 + 32 * t) * 512;
      bytes[544 + 32 * t + 20] = bytes[header + 9] = "CND"[int(kTags[t].Type == IndexValueType::Numeric) +
                                                           2 * int(kTags[t].Type == IndexValueType::Date)];
      if (kTags[t].PerBlock) test::PutLittle(bytes, header + 14, kTags[t].PerBlock, 2);
    }
    std::string path = folder.Path(rebuilt_first ? "a.mdx" : "b.mdx"), error;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    auto file = PlatformFileSystem().Open(path, DbfOpenMode::ReadWriteShared);
    std::vector<IndexTagInfo> tags = TagsOf(path, &error);
    if (rebuilt_first) {
      std::vector<std::vector<IndexEntry>> entries(std::size(kTags));
      for (size_t t = 0; t < std::size(kTags); ++t) {
        for (const Entry& e : model[t]) entries[t].push_back({e.Key, e.Record});
        std::shuffle(entries[t].begin(), entries[t].end(), random);
        SortIndexEntries(entries[t], IndexKind::Mdx, tags[t], kTags[t].Type);
      }
      auto out = PlatformFileSystem().Open(path = folder.Path("a2.mdx"), DbfOpenMode::Create);
      ASSERT_TRUE(out && BuildIndexFile(IndexKind::Mdx, *file, tags, entries, *out, &error) && out->Close()) << error;
      file = PlatformFileSystem().Open(path, DbfOpenMode::ReadWriteShared);
      tags = TagsOf(path, &error);
    }
    ASSERT_TRUE(file && tags.size() == std::size(kTags)) << error;
    IndexPages pages(*file);
    ASSERT_TRUE(pages.Open());
    std::vector<std::unique_ptr<IndexTagWriter>> writers;
    for (size_t t = 0; t < std::size(kTags); ++t) {
      writers.push_back(OpenIndexTagWriter(IndexKind::Mdx, pages, tags[t], kTags[t].Type, &error));
      ASSERT_TRUE(writers.back()) << error;
    }
    bool done = false;
    for (uint32_t r = 0; !rebuilt_first && r < 9; ++r)
      ASSERT_TRUE(writers[0]->Remove(odd.Key, 900000 - r, &done) && done);
    // Random edits, then DAT emptied and filled again.
    for (int op = 0; op < 4000; ++op) {
      const size_t t = op < 3000 ? random() % std::size(kTags) : 2;
      std::vector<Entry>& held = model[t];
      const bool insert = op < 3000 ? random() % 5 < 3 : op >= 3800;
      const Entry e = Make(kTags[t], int(random() % 120), insert ? next++ : next + 1);
      const bool present = std::any_of(held.begin(), held.end(), [&](const Entry& h) { return h.Key == e.Key; });
      const size_t at = held.empty() || random() % 8 == 0 ? held.size() : random() % held.size();
      const Entry& gone = at < held.size() ? held[at] : e;  // an absent entry now and then
      ASSERT_TRUE(insert ? writers[t]->Insert(e.Key, e.Record, &done)
                         : writers[t]->Remove(gone.Key, gone.Record, &done))
          << writers[t]->GetErrorText();
      ASSERT_EQ(done, insert ? !(kTags[t].Unique && present) : at < held.size()) << op;
      if (insert && done) held.push_back(e);
      if (!insert && done) held.erase(held.begin() + long(at));
      ASSERT_TRUE(op % 300 != 0 || pages.WriteOut());
    }
    ASSERT_TRUE(pages.WriteOut());
    file.reset();
    for (size_t t = 0; t < std::size(kTags); ++t) Sort(kTags[t], model[t]);
    std::vector<std::vector<IndexEntry>> walked;
    CheckWalks(path, model, &walked);
    // Written anew from its own walk: the same tags, walked the same.
    const std::string again = path + "-again.mdx";
    auto old = PlatformFileSystem().Open(path, DbfOpenMode::ReadOnly);
    auto out = PlatformFileSystem().Open(again, DbfOpenMode::Create);
    ASSERT_TRUE(old && out && BuildIndexFile(IndexKind::Mdx, *old, tags, walked, *out, &error) && out->Close())
        << error;
    CheckWalks(again, model);
    CheckBlocks(Load(again));
  }
}

}  // namespace
}  // namespace tabulon

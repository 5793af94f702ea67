// Clipper and dBase III index files changed by the engine: random inserts
// and removals on files built here byte by byte, rebuilt whole, or copied
// from the shared fixtures, each walked afterwards by the engine and by
// Perl's XBase::Index against the test's own sort of the entries.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <random>

#include "index_writer.h"
#include "support/index_bytes.h"
#include "support/perl_walk.h"
#include "support/temp_folder.h"

namespace tabulon {
namespace {

using test::Bytes;
using test::IndexKeys;

const std::string kFixtures = TABULON_SOURCE_DIR "/tests/data/indexes/perl-xbase/";

std::vector<IndexEntry> EngineWalk(const std::string& path, IndexKind kind, std::vector<IndexTagInfo>* tags) {
  std::string error;
  std::unique_ptr<IndexFile> index = OpenIndexFile(path, kind, PlatformFileSystem(), {}, &error);
  std::vector<IndexEntry> walked;
  EXPECT_TRUE(index) << error;
  if (!index) return walked;
  *tags = index->GetTags();
  EXPECT_TRUE(index->Walk(0, [&](const IndexEntry& e) {
    walked.push_back(e);
    return true;
  })) << index->GetErrorText();
  return walked;
}

enum class Start { Built, Rebuilt, Fixture };

struct WriteCase {
  IndexKind Kind;
  char Type;  // 'C', 'N', 'D'
  uint16_t KeyLength;
  bool Unique, Descending;
  Start From;
  std::string Fixture = "";
};

class IndexWriteTest : public ::testing::TestWithParam<WriteCase> {
 protected:
  // The key of value v: text, a number with two decimals, or a day.
  std::string Key(int v) const {
    const WriteCase& c = GetParam();
    IndexValue value;
    const IndexKeyFormat format = c.Kind == IndexKind::Ntx ? IndexKeyFormat::Ntx : IndexKeyFormat::Ndx;
    if (c.Type == 'C') value.Text = std::to_string(v * 7919 % 1000);
    else if (c.Type == 'N') value.Type = IndexValueType::Numeric, value.Number = (v - 60) * 1.25;
    else value.Type = IndexValueType::Date, value.Number = 2450000 + v * 3;
    return EncodeIndexValue(value, format, c.KeyLength, 2);
  }

  // The test's own order: bytes, or NDX numbers as the doubles they are;
  // a descending Clipper tag with its keys reversed; equal keys by record.
  bool Before(const IndexEntry& a, const IndexEntry& b) const {
    const WriteCase& c = GetParam();
    int order = a.Key.compare(b.Key);
    if (c.Kind == IndexKind::Ndx && c.Type != 'C') {
      double x, y;
      std::memcpy(&x, a.Key.data(), 8);
      std::memcpy(&y, b.Key.data(), 8);
      order = x < y ? -1 : x > y ? 1 : 0;
    }
    if (c.Descending) order = -order;
    return order != 0 ? order < 0 : a.Record < b.Record;
  }

  void Expect(const std::string& path, std::vector<IndexEntry> reference, const std::string& tags) {
    std::sort(reference.begin(), reference.end(), [&](const IndexEntry& a, const IndexEntry& b) { return Before(a, b); });
    std::vector<IndexTagInfo> got;
    const std::vector<IndexEntry> walked = EngineWalk(path, GetParam().Kind, &got);
    std::vector<uint32_t> records;
    for (const IndexEntry& e : reference) records.push_back(e.Record);
    ASSERT_EQ(walked.size(), reference.size());
    for (size_t i = 0; i < walked.size(); ++i)
      ASSERT_TRUE(walked[i].Key == reference[i].Key && walked[i].Record == reference[i].Record) << "entry " << i;
    EXPECT_EQ(test::PerlWalk(path, GetParam().Type), records);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].Key + (got[0].Unique ? "|unique" : "") + (got[0].Descending ? "|descending" : ""), tags);
  }

  test::TempFolder folder_{"tabulon-index-write"};
};

TEST_P(IndexWriteTest, RandomEditsWalkInOrder) {
  const WriteCase& c = GetParam();
  const bool ntx = c.Kind == IndexKind::Ntx;
  const std::string path = folder_.Path() + "/tag." + IndexKindName(c.Kind);
  std::mt19937 random(uint32_t(c.KeyLength * 31 + c.Type));
  std::vector<IndexEntry> reference;
  uint32_t next_record = 1;
  size_t swapped = 0;
  if (c.From == Start::Fixture) {
    std::filesystem::copy_file(kFixtures + c.Fixture, path);
    std::filesystem::permissions(path, std::filesystem::perms::owner_write, std::filesystem::perm_options::add);
    std::vector<IndexTagInfo> tags;
    reference = EngineWalk(path, c.Kind, &tags);
    for (const IndexEntry& e : reference) next_record = std::max(next_record, e.Record + 1);
  } else {
    // Equal keys, two of them out of record order, as another program
    // may leave them; the first removals must find them anyway. Few
    // enough that the builders' one root holds them.
    IndexKeys keys;
    for (; next_record <= 18; ++next_record) keys.emplace_back(Key(int(next_record % (c.Unique ? 19 : 7))), next_record);
    std::sort(keys.begin(), keys.end(), [&](const auto& a, const auto& b) {
      return Before(IndexEntry{a.first, a.second}, IndexEntry{b.first, b.second});
    });
    while (!c.Unique && keys[swapped].first != keys[swapped + 1].first) ++swapped;
    if (!c.Unique) std::swap(keys[swapped].second, keys[swapped + 1].second);
    for (const auto& k : keys) reference.push_back(IndexEntry{k.first, k.second});
    Bytes bytes = ntx ? test::MakeNtx("KEY", c.KeyLength, keys, c.Unique) : test::MakeNdx("KEY", c.KeyLength, keys);
    if (ntx) bytes[280] = c.Descending ? 1 : 0;
    if (!ntx) bytes[16] = c.Type == 'C' ? 0 : 1, bytes[23] = c.Unique ? 1 : 0;
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), long(bytes.size()));
  }
  std::vector<IndexTagInfo> tags;
  EngineWalk(path, c.Kind, &tags);
  ASSERT_EQ(tags.size(), 1u);
  const std::string described = tags[0].Key + (c.Unique ? "|unique" : "") + (c.Descending ? "|descending" : "");
  const IndexValueType type =
      c.Type == 'C' ? IndexValueType::Character : c.Type == 'N' ? IndexValueType::Numeric : IndexValueType::Date;
  if (c.From == Start::Rebuilt) {
    std::vector<IndexEntry> sorted = reference;
    SortIndexEntries(sorted, c.Kind, tags[0], type);
    reference = sorted;
    const std::string rebuilt = path + ".new";
    std::unique_ptr<DbfFile> old = PlatformFileSystem().Open(path, DbfOpenMode::ReadOnly);
    std::unique_ptr<DbfFile> out = PlatformFileSystem().Open(rebuilt, DbfOpenMode::Create);
    std::string error;
    ASSERT_TRUE(old && out && BuildIndexFile(c.Kind, *old, tags, {sorted}, *out, &error)) << error;
    out->Close();
    std::filesystem::rename(rebuilt, path);
    Expect(path, reference, described);
  }
  std::unique_ptr<DbfFile> file = PlatformFileSystem().Open(path, DbfOpenMode::ReadWriteShared);
  ASSERT_TRUE(file);
  IndexPages pages(*file);
  ASSERT_TRUE(pages.Open());
  std::string error;
  std::unique_ptr<IndexTagWriter> writer = OpenIndexTagWriter(c.Kind, pages, tags[0], type, &error);
  ASSERT_TRUE(writer) << error;
  for (int round = 0; round < 3; ++round) {
    for (int op = 0; op < 1200; ++op) {
      const bool first = round == 0 && op < 2 && c.From != Start::Fixture && !c.Unique;
      bool done = false;
      // Removals outnumber inserts in the last round, to empty pages.
      if (first || (!reference.empty() && random() % 100 < (round == 2 ? 70u : 40u))) {
        const size_t at = first ? swapped : random() % reference.size();
        ASSERT_TRUE(writer->Remove(reference[at].Key, reference[at].Record, &done)) << writer->GetErrorText();
        ASSERT_TRUE(done) << "op " << op;
        reference.erase(reference.begin() + long(at));
        ASSERT_TRUE(writer->Remove(Key(5), next_record + 9, &done) && !done);
      } else {
        const std::string key = Key(int(random() % (c.Unique ? 400 : 150)));
        const bool held = std::any_of(reference.begin(), reference.end(), [&](const IndexEntry& e) { return e.Key == key; });
        ASSERT_TRUE(writer->Insert(key, next_record, &done)) << writer->GetErrorText();
        ASSERT_EQ(done, !(c.Unique && held));
        if (done) reference.push_back(IndexEntry{key, next_record});
        ++next_record;
      }
    }
    ASSERT_TRUE(pages.WriteOut());
    SCOPED_TRACE("round " + std::to_string(round));
    Expect(path, reference, described);
  }
}

INSTANTIATE_TEST_SUITE_P(
    ClipperAndDbase3, IndexWriteTest,
    ::testing::Values(WriteCase{IndexKind::Ntx, 'C', 100, false, false, Start::Built},
                      WriteCase{IndexKind::Ntx, 'N', 8, false, false, Start::Rebuilt},
                      WriteCase{IndexKind::Ntx, 'D', 8, false, true, Start::Built},
                      WriteCase{IndexKind::Ntx, 'C', 60, true, true, Start::Rebuilt},
                      WriteCase{IndexKind::Ntx, 'C', 78, false, false, Start::Fixture, "ntx-char.ntx"},
                      WriteCase{IndexKind::Ndx, 'C', 100, false, false, Start::Rebuilt},
                      WriteCase{IndexKind::Ndx, 'N', 8, false, false, Start::Built},
                      WriteCase{IndexKind::Ndx, 'D', 8, true, false, Start::Rebuilt},
                      WriteCase{IndexKind::Ndx, 'C', 78, false, false, Start::Fixture, "ndx-char.ndx"},
                      WriteCase{IndexKind::Ndx, 'N', 8, false, false, Start::Fixture, "ndx-num.ndx"}));

}  // namespace
}  // namespace tabulon

// FoxPro's .cdx and .idx written: thousands of random inserts and removals
// on files built byte by byte and by BuildIndexFile, then every tag walked
// by the engine, by Perl's XBase::Index and along the leaves' right links,
// against the test's own sort of the entries.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <gtest/gtest.h>

#include "index_writer.h"
#include "support/index_bytes.h"
#include "support/perl_walk.h"
#include "support/index_pages.h"
#include "support/temp_folder.h"

namespace tabulon {
namespace {

using test::Bytes;

struct TagPlan {
  std::string Name;
  IndexValueType Type;
  uint16_t Length;
  bool Unique = false, Descending = false;
};

struct WriteCase {
  std::string File;
  IndexKind Kind;
  bool Old = false;       // the uncompressed .idx
  bool Rebuilt = false;   // written by BuildIndexFile before the edits
  bool Reversed = false;  // equal keys by descending record, all removed first
  uint32_t MaxRecord;     // record numbers drawn up to this
  std::vector<TagPlan> Tags;
};

using Entries = std::vector<IndexEntry>;

bool Before(const IndexEntry& a, const IndexEntry& b) {
  return a.Key != b.Key ? a.Key < b.Key : a.Record < b.Record;
}

std::string RandomKey(const TagPlan& tag, std::mt19937& random) {
  IndexValue value;
  value.Type = tag.Type;
  const int pick = int(random() % 60);
  if (tag.Type == IndexValueType::Character)
    value.Text = std::string(1, char('A' + pick % 7)) + std::to_string(pick * 37 % 101) + (pick % 3 ? "" : " Z");
  else
    value.Number = tag.Type == IndexValueType::Date ? 2450000 + pick : (pick - 30) * 1.25;
  return EncodeIndexValue(value, IndexKeyFormat::FoxPro, tag.Length, 0);
}

void WriteAll(const std::string& path, const Bytes& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::unique_ptr<IndexFile> Open(const std::string& path, IndexKind kind) {
  std::string error;
  // The fields the tags' keys name, for their key types.
  const std::vector<IndexKeyField> fields = {{"NAME", 'C'}, {"CODE", 'C'}, {"PRICE", 'N'}, {"DAY", 'D'}};
  auto index = OpenIndexFile(path, kind, PlatformFileSystem(), fields, &error);
  EXPECT_TRUE(index) << error;
  return index;
}

Entries Walk(IndexFile& index, size_t tag) {
  Entries walked;
  EXPECT_TRUE(index.Walk(tag, [&](const IndexEntry& e) {
    walked.push_back(e);
    return true;
  })) << index.GetErrorText();
  return walked;
}

std::vector<uint32_t> Records(const Entries& entries) {
  std::vector<uint32_t> records;
  for (const IndexEntry& e : entries) records.push_back(e.Record);
  return records;
}

// Writes old's tags anew from entries into path; the tags must stay as they were.
void Rebuild(IndexFile& old, const std::string& from, const std::vector<Entries>& entries, const std::string& path) {
  auto in = PlatformFileSystem().Open(from, DbfOpenMode::ReadOnly);
  auto out = PlatformFileSystem().Open(path, DbfOpenMode::Create);
  ASSERT_TRUE(in && out);
  std::string error;
  ASSERT_TRUE(BuildIndexFile(old.GetKind(), *in, old.GetTags(), entries, *out, &error)) << error;
  out->Close();
}

// Every tag of the file walks as want, by the engine, by Perl (where it
// reads the layout) and, where every link was written here (the byte-by-byte
// builders leave them 0), along the compact leaves' right links.
void Check(const std::string& path, IndexKind kind, bool old, bool linked, const std::vector<TagPlan>& plans,
           const std::vector<Entries>& want) {
  auto index = Open(path, kind);
  ASSERT_TRUE(index);
  ASSERT_EQ(index->GetTags().size(), want.size());
  std::ifstream in(path, std::ios::binary);
  const Bytes bytes{std::istreambuf_iterator<char>(in), {}};
  for (size_t t = 0; t < want.size(); ++t) {
    const IndexTagInfo& tag = index->GetTags()[t];
    SCOPED_TRACE(path + " tag " + tag.Name);
    const Entries walked = Walk(*index, t);
    ASSERT_TRUE(std::equal(walked.begin(), walked.end(), want[t].begin(), want[t].end(),
                           [](const IndexEntry& a, const IndexEntry& b) { return !Before(a, b) && !Before(b, a); }));
    const bool character = plans.empty() || plans[t].Type == IndexValueType::Character;
    if (kind == IndexKind::Cdx || old) {
      EXPECT_EQ(Records(walked), test::PerlWalk(path, character ? 'C' : 'N', kind == IndexKind::Cdx ? tag.Name : ""));
    }
    if (linked && !old) {
      test::IndexFileKeys chain = test::ReadCdxTag(bytes, uint32_t(tag.HeaderOffset), character ? ' ' : 0);
      EXPECT_FALSE(chain.Repeated);
      EXPECT_EQ(chain.Keys.size(), walked.size());
      for (const IndexEntry& e : walked) EXPECT_EQ(chain.Keys[e.Record], e.Key);
    }
  }
}

class IndexWriteFoxTest : public ::testing::Test {
 protected:
  test::TempFolder folder_{"tabulon-foxwrite"};
};

TEST_F(IndexWriteFoxTest, RandomEditsKeepEveryTagInOrder) {
  const TagPlan name{"NAME", IndexValueType::Character, 11}, code{"CODE", IndexValueType::Character, 9, true},
      price{"PRICE", IndexValueType::Numeric, 8, false, true}, day{"DAY", IndexValueType::Date, 8}, wide{"NAME", IndexValueType::Character, 15};
  // Tags in name order, the order a compound file's directory gives them.
  const std::vector<WriteCase> cases = {
      {"tags.cdx", IndexKind::Cdx, false, false, false, 60000, {code, day, name, price}},
      {"others.cdx", IndexKind::Cdx, false, false, true, 70000, {day, name}},
      {"rebuilt.cdx", IndexKind::Cdx, false, true, false, 3000000, {code, name, price}},
      {"compact.idx", IndexKind::Idx, false, false, false, 4000000000u, {wide}},
      {"rebuilt.idx", IndexKind::Idx, false, true, false, 5000, {price}},
      {"old.idx", IndexKind::Idx, true, false, true, 9000000, {name}},
  };
  std::mt19937 random(26);
  for (const WriteCase& c : cases) {
    SCOPED_TRACE(c.File);
    const std::string path = folder_.Path() + "/" + c.File;
    // Each tag starts with 30 records; a unique tag keeps the first of a key.
    std::vector<Entries> want(c.Tags.size());
    std::vector<test::FoxTag> fox;
    std::set<uint32_t> used;
    for (size_t t = 0; t < c.Tags.size(); ++t) {
      const TagPlan& plan = c.Tags[t];
      for (uint32_t r = 1; r <= 30; ++r) {
        const std::string key = RandomKey(plan, random);
        if (!plan.Unique || std::none_of(want[t].begin(), want[t].end(), [&](const IndexEntry& e) { return e.Key == key; }))
          want[t].push_back(IndexEntry{key, r});
      }
      std::sort(want[t].begin(), want[t].end(), Before);
      test::FoxTag tag{plan.Name, plan.Name, "", "", plan.Length, plan.Unique, plan.Descending, {}};
      for (const IndexEntry& e : want[t]) tag.Keys.emplace_back(e.Key, e.Record);
      if (c.Reversed)
        std::sort(tag.Keys.begin(), tag.Keys.end(), [](const auto& a, const auto& b) {
          return a.first != b.first ? a.first < b.first : a.second > b.second;
        });
      // BuildIndexFile starts from a header only: one key, then the entries.
      if (c.Rebuilt) tag.Keys.resize(1);
      fox.push_back(tag);
    }
    for (uint32_t r = 1; r <= 30; ++r) used.insert(r);
    if (c.Old) WriteAll(path, test::MakeOldIdx(fox[0].Key, fox[0].KeyLength, fox[0].Keys));
    else if (c.Kind == IndexKind::Idx) WriteAll(path, test::MakeCompactIdx(fox[0]));
    else WriteAll(path, test::MakeCdx(fox));
    if (c.Rebuilt) {
      auto seed = Open(path, c.Kind);
      ASSERT_TRUE(seed);
      const std::string fresh = folder_.Path() + "/new-" + c.File;
      Rebuild(*seed, path, want, fresh);
      std::filesystem::rename(fresh, path);
    }
    auto index = Open(path, c.Kind);
    ASSERT_TRUE(index);
    auto file = PlatformFileSystem().Open(path, DbfOpenMode::ReadWriteShared);
    ASSERT_TRUE(file);
    IndexPages pages(*file);
    ASSERT_TRUE(pages.Open());
    std::vector<std::unique_ptr<IndexTagWriter>> writers;
    for (size_t i = 0; i < c.Tags.size(); ++i) {
      std::string error;
      writers.push_back(OpenIndexTagWriter(c.Kind, pages, index->GetTags()[i], c.Tags[i].Type, &error));
      ASSERT_TRUE(writers.back()) << error;
    }
    // Other programs' order of equal keys: each entry still found.
    for (size_t t = 0; c.Reversed && t < c.Tags.size(); ++t) {
      std::shuffle(want[t].begin(), want[t].end(), random);
      for (const IndexEntry& e : want[t]) {
        bool found = false;
        ASSERT_TRUE(writers[t]->Remove(e.Key, e.Record, &found) && found) << e.Record;
      }
      want[t].clear();
    }
    // Growing, shrinking (pages emptied and freed), growing again (reused).
    for (int step = 0; step < 6000; ++step) {
      const size_t i = random() % c.Tags.size();
      const TagPlan& plan = c.Tags[i];
      Entries& entries = want[i];
      const bool shrinking = step >= 2500 && step < 4500;
      if (random() % 100 < (shrinking ? 15u : 85u) || entries.empty()) {
        const std::string key = RandomKey(plan, random);
        uint32_t record = 0;
        while (!used.insert(record = 1 + uint32_t(random() % c.MaxRecord)).second) {}
        const bool held = std::any_of(entries.begin(), entries.end(), [&](const IndexEntry& e) { return e.Key == key; });
        bool added = false;
        ASSERT_TRUE(writers[i]->Insert(key, record, &added)) << writers[i]->GetErrorText();
        ASSERT_EQ(added, !(plan.Unique && held)) << "step " << step;
        if (added) entries.push_back(IndexEntry{key, record});
      } else {
        const bool absent = random() % 10 == 0;
        const size_t at = random() % entries.size();
        const IndexEntry gone = absent ? IndexEntry{entries[at].Key, entries[at].Record + 1} : entries[at];
        const auto held = std::find_if(entries.begin(), entries.end(), [&](const IndexEntry& e) {
          return e.Key == gone.Key && e.Record == gone.Record;
        });
        bool found = false;
        ASSERT_TRUE(writers[i]->Remove(gone.Key, gone.Record, &found)) << writers[i]->GetErrorText();
        ASSERT_EQ(found, held != entries.end()) << "step " << step;
        if (found) entries.erase(held);
      }
    }
    ASSERT_TRUE(pages.WriteOut());
    file->Close();
    for (Entries& entries : want) std::sort(entries.begin(), entries.end(), Before);
    Check(path, c.Kind, c.Old, c.Rebuilt, c.Tags, want);
    // And the result rebuilt in one go walks the same.
    if (!c.Old) {
      auto edited = Open(path, c.Kind);
      ASSERT_TRUE(edited);
      Rebuild(*edited, path, want, folder_.Path() + "/again-" + c.File);
      Check(folder_.Path() + "/again-" + c.File, c.Kind, false, true, c.Tags, want);
    }
  }
}

}  // namespace
}  // namespace tabulon

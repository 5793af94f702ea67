// Index files read by the engine, one table-driven test per format: the
// other programs' files in the shared fixtures and files built here byte
// by byte, each tag walked as Perl's XBase::Index (an independent reader)
// walks it; and damaged files, which must end in an error.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

#include "index_file.h"
#include "support/index_bytes.h"
#include "support/temp_folder.h"

namespace tabulon {
namespace {

using test::Bytes;
using test::IndexKeys;

const std::string kFixtures = TABULON_SOURCE_DIR "/tests/data/indexes/";

// Keys of length 8 from the records' names, in key order.
IndexKeys Keys(size_t count) {
  IndexKeys keys;
  for (uint32_t r = 1; r <= count; ++r) {
    char key[16];
    std::snprintf(key, sizeof key, "K%03u%-4s", (r * 37) % 101, r % 3 ? "" : "X");
    keys.emplace_back(key, r);
  }
  std::sort(keys.begin(), keys.end());
  return keys;
}

std::vector<uint32_t> Records(const IndexKeys& keys) {
  std::vector<uint32_t> records;
  for (const auto& k : keys) records.push_back(k.second);
  return records;
}

// A tag as "name|key|for|unique|descending|collation".
std::string Describe(const IndexTagInfo& t) {
  return t.Name + "|" + t.Key + "|" + t.ForExpr + (t.Unique ? "|unique|" : "||") + (t.Descending ? "descending|" : "|") +
         t.Collation;
}

struct TagExpected {
  std::string Tag;                     // as Describe gives it
  std::vector<uint32_t> Records = {};  // empty: Perl's walk is the measure alone
};

struct IndexCase {
  std::string File;     // its name in the test's folder
  std::string Fixture;  // copied from the shared fixtures, or
  Bytes Built;          // written here
  const char* PerlType;  // null: a layout Perl's reader does not know
  std::vector<TagExpected> Tags;
};

class IndexReadTest : public ::testing::Test {
 protected:
  std::string Put(const IndexCase& c) const {
    const std::string path = folder_.Path() + "/" + c.File;
    if (!c.Fixture.empty()) {
      std::filesystem::copy_file(kFixtures + c.Fixture, path);
      std::filesystem::permissions(path, std::filesystem::perms::owner_write, std::filesystem::perm_options::add);
    } else {
      std::ofstream(path, std::ios::binary)
          .write(reinterpret_cast<const char*>(c.Built.data()), std::streamsize(c.Built.size()));
    }
    return path;
  }

  static std::vector<uint32_t> PerlWalk(const std::string& path, const char* type, const std::string& tag) {
    const std::string command = "perl " TABULON_SOURCE_DIR "/tests/interop/walk_index.pl '" + path + "' " + type +
                                (tag.empty() ? "" : " '" + tag + "'") + " 2>/dev/null";
    std::vector<uint32_t> records;
    FILE* pipe = popen(command.c_str(), "r");
    for (unsigned r; pipe && std::fscanf(pipe, "%u", &r) == 1;) records.push_back(r);
    if (pipe) pclose(pipe);
    return records;
  }

  void Check(IndexKind kind, const std::vector<IndexCase>& cases) {
    for (const IndexCase& c : cases) {
      SCOPED_TRACE(c.File);
      const std::string path = Put(c);
      std::string error;
      std::unique_ptr<IndexFile> index = OpenIndexFile(path, kind, PlatformFileSystem(), {}, &error);
      ASSERT_TRUE(index) << error;
      ASSERT_EQ(index->GetTags().size(), c.Tags.size());
      for (size_t t = 0; t < c.Tags.size(); ++t) {
        const IndexTagInfo& got = index->GetTags()[t];
        const TagExpected& want = c.Tags[t];
        EXPECT_EQ(Describe(got), want.Tag);
        std::vector<uint32_t> walked;
        EXPECT_TRUE(index->Walk(t, [&](const IndexEntry& e) {
          walked.push_back(e.Record);
          return true;
        })) << index->GetErrorText();
        const bool tagged = kind == IndexKind::Cdx || kind == IndexKind::Mdx;
        EXPECT_FALSE(walked.empty());
        if (c.PerlType) {
          EXPECT_EQ(walked, PerlWalk(path, c.PerlType, tagged ? got.Name : "")) << "tag " << got.Name;
        }
        if (!want.Records.empty()) {
          EXPECT_EQ(walked, want.Records) << "tag " << got.Name;
        }
      }
    }
  }

  // Each damage of a good file (given as offset -> 32-bit value, or a
  // shorter file) ends in a refused open or a walk that reports it.
  void CheckDamage(IndexKind kind, const Bytes& good, const std::vector<std::pair<size_t, uint32_t>>& pokes,
                   bool big_endian = false) {
    std::vector<Bytes> damaged{Bytes(good.begin(), good.end() - 512)};
    for (const auto& poke : pokes) {
      damaged.push_back(good);
      if (big_endian) test::PutBig(damaged.back(), poke.first, poke.second);
      else test::PutLittle(damaged.back(), poke.first, poke.second, 4);
    }
    for (size_t d = 0; d < damaged.size(); ++d) {
      SCOPED_TRACE("damage " + std::to_string(d));
      IndexCase c{"damaged" + std::to_string(d) + "." + IndexKindName(kind), "", damaged[d], "C", {}};
      std::string error;
      std::unique_ptr<IndexFile> index = OpenIndexFile(Put(c), kind, PlatformFileSystem(), {}, &error);
      bool reported = !index && !error.empty();
      for (size_t t = 0; index && t < index->GetTags().size(); ++t)
        reported = reported || (!index->Walk(t, [](const IndexEntry&) { return true; }) &&
                                !index->GetErrorText().empty());
      EXPECT_TRUE(reported);
    }
  }

  test::TempFolder folder_{"tabulon-index"};
};

TEST_F(IndexReadTest, Cdx) {
  test::FoxTag name{"NAME", "UPPER(NAME)", "", "", 8, false, false, Keys(20)};
  test::FoxTag code{"CODE", "CODE", "!DELETED()", "GENERAL", 8, true, true, Keys(5)};
  const Bytes built = test::MakeCdx({name, code});
  Check(IndexKind::Cdx,
        {{"rooms.cdx", "perl-xbase/rooms.cdx", {}, "C",
          {{"AUDIO|roomname|TRIM(UPPER(facility))==\"AUDIO\"|||MACHINE"},
           {"FACILITY|facility||||MACHINE"},
           {"FILM|roomname|TRIM(UPPER(facility))==\"FILM\"|||MACHINE"},
           {"MAIN|roomname|TRIM(UPPER(facility))==\"MAIN\"|||MACHINE"},
           {"ROOMNAME|roomname||||MACHINE"}}},
         {"employees.CDX", "go-dbase/employees.CDX", {}, "C",
          {{"DEPARTMENT|departmentname||||MACHINE"}, {"EMAILNAME|emailname||||MACHINE"},
           {"LASTNAME|lastname||||MACHINE"}, {"POSTALCODE|postalcode||||MACHINE"},
           {"PRIMARYKEY|employeeid||||MACHINE"}}},
         {"built.cdx", "", built, "C",
          {{"CODE|CODE|!DELETED()|unique|descending|GENERAL", Records(code.Keys)},
           {"NAME|UPPER(NAME)||||MACHINE", Records(name.Keys)}}}});
  // The first tag's header follows the directory; a branch of it claims
  // more keys than fit.
  const size_t name_root = test::GetLittle32(built, 1536);
  CheckDamage(IndexKind::Cdx, built, {{name_root + 2, 0xFFFF}});
}

TEST_F(IndexReadTest, Idx) {
  test::FoxTag tag{"", "NAME", "", "", 8, false, false, Keys(40)};
  const Bytes compact = test::MakeCompactIdx(tag);
  const Bytes old = test::MakeOldIdx("NAME", 8, Keys(12));
  // Perl's reader knows only the uncompressed layout of .idx.
  Check(IndexKind::Idx, {{"compact.idx", "", compact, nullptr, {{"compact|NAME||||MACHINE", Records(tag.Keys)}}},
                         {"old.idx", "", old, "C", {{"old|NAME||||MACHINE", Records(Keys(12))}}}});
  const size_t root = test::GetLittle32(compact, 0);
  // A child pointing back at its root, one into the middle of a page, and
  // two children sharing the first leaf.
  CheckDamage(IndexKind::Idx, compact,
              {{root + 12 + 8 + 4, uint32_t(root)}, {root + 12 + 8 + 4, 700}, {root + 12 + 16 + 12, 1024}}, true);
  const size_t old_root = test::GetLittle32(old, 0);
  CheckDamage(IndexKind::Idx, old, {{old_root + 12 + 8, uint32_t(old_root)}}, true);
}

TEST_F(IndexReadTest, Ntx) {
  const Bytes built = test::MakeNtx("NAME", 8, Keys(10), true);
  Check(IndexKind::Ntx, {{"ntx-char.ntx", "perl-xbase/ntx-char.ntx", {}, "C", {{"ntx-char|ntx_char->v1||||MACHINE"}}},
                         {"built.ntx", "", built, "C", {{"built|NAME||unique||MACHINE", Records(Keys(10))}}}});
  const size_t root = test::GetLittle32(built, 4);
  const size_t first_item = root + test::GetLittle32(built, root + 2) % 65536;
  CheckDamage(IndexKind::Ntx, built, {{first_item, uint32_t(root)}, {root, 0xFFFF}});
}

TEST_F(IndexReadTest, Ndx) {
  const Bytes built = test::MakeNdx("NAME", 8, Keys(11));
  Check(IndexKind::Ndx, {{"ndx-char.ndx", "perl-xbase/ndx-char.ndx", {}, "C", {{"ndx-char|v1||||MACHINE"}}},
                         {"ndx-date.ndx", "perl-xbase/ndx-date.ndx", {}, "D", {{"ndx-date|field1||||MACHINE"}}},
                         {"ndx-num.ndx", "perl-xbase/ndx-num.ndx", {}, "N", {{"ndx-num|field1||||MACHINE"}}},
                         {"built.ndx", "", built, "C", {{"built|NAME||||MACHINE", Records(Keys(11))}}}});
  const uint32_t root = test::GetLittle32(built, 0);
  CheckDamage(IndexKind::Ndx, built, {{512 * root + 4, root}, {512 * root, 0xFFFF}});
}

TEST_F(IndexReadTest, Mdx) {
  test::MdxTag name{"NAME", "NAME", "", 8, false, false, Keys(23)};
  test::MdxTag code{"CODE", "UPPER(NAME)", "QTY > 0", 8, true, true, Keys(4)};
  const Bytes built = test::MakeMdx({name, code});
  Check(IndexKind::Mdx, {{"built.mdx", "", built, "C",
                          {{"NAME|NAME||||MACHINE", Records(name.Keys)},
                           {"CODE|UPPER(NAME)|QTY > 0|unique|descending|MACHINE", Records(code.Keys)}}}});
  const uint32_t root = test::GetLittle32(built, 512 * test::GetLittle32(built, 544));
  CheckDamage(IndexKind::Mdx, built, {{512 * root + 8, root}, {512 * root, 0xFFFFF}});
}

}  // namespace
}  // namespace tabulon

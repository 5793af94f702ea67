// Writes the seed inputs of the table fuzzer into a folder: a table of each
// flavour with its memo layout (dBase III and IV memo files, FoxPro files
// of several block sizes), Visual FoxPro binary fields, a long Character
// field, and definition lines for new tables. Built on request only
// (target fuzz_seeds); the seeds are kept in fuzz/corpus.
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "support/table_bytes.h"

namespace {

using namespace tabulon::test;

std::string Hex(uint8_t v) {
  char text[3];
  std::snprintf(text, sizeof text, "%02X", v);
  return text;
}

std::string Le32(uint32_t v) {
  return std::string{static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
                     static_cast<char>(v >> 24)};
}

// Mode byte, the data length, the data, the memo.
void Write(const std::string& folder, const std::string& name, uint8_t mode, const Bytes& data,
           const Bytes& memo) {
  Bytes input{mode, static_cast<uint8_t>(data.size()), static_cast<uint8_t>(data.size() >> 8)};
  input.insert(input.end(), data.begin(), data.end());
  input.insert(input.end(), memo.begin(), memo.end());
  std::ofstream out(folder + "/" + name, std::ios::binary);
  out.write(reinterpret_cast<const char*>(input.data()), static_cast<std::streamsize>(input.size()));
}

const std::vector<std::string> kTexts = {"first memo", std::string(600, 'x'), "third", ""};

// Four records, the second marked deleted, memo references to the texts.
TableLayout Memos(uint8_t version, const std::vector<uint32_t>& blocks, bool binary_refs) {
  TableLayout s;
  s.Version = version;
  s.Fields = {{"NAME", 'C', 6}, {"N", 'N', 5, 1}, {"D", 'D', 8}, {"L", 'L', 1},
              {"NOTE", 'M', static_cast<uint8_t>(binary_refs ? 4 : 10)}};
  for (size_t i = 0; i < 4; ++i) {
    const std::string digit = std::to_string(i);
    std::string r = (i == 1 ? "*" : " ") + ("rec " + digit + " ") + ("  " + digit + ".5") + "20240131T";
    r += binary_refs ? Le32(blocks[i]) : Ref(blocks[i]);
    s.Records.push_back(r);
  }
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  const std::string folder = argv[1];
  std::vector<uint32_t> blocks = DbtBlocks(kTexts);
  Write(folder, "seed_83_dbt3", 0, MakeTable(Memos(0x83, blocks, false)), MakeDbt(kTexts));
  for (uint8_t version : {0x8B, 0x7B}) {
    blocks.clear();
    const Bytes memo = MakeDbt4(version == 0x8B ? 512 : 64, kTexts, &blocks);
    Write(folder, "seed_" + Hex(version) + "_dbt4", 0, MakeTable(Memos(version, blocks, false)), memo);
  }
  const struct {
    uint8_t Version;
    uint32_t BlockSize;
  } kFpt[] = {{0xF5, 64}, {0xF5, 512}, {0x30, 32}, {0x31, 64}, {0x32, 1}};
  for (const auto& f : kFpt) {
    blocks.clear();
    const Bytes memo = MakeFpt(f.BlockSize, kTexts, &blocks);
    Write(folder, "seed_" + Hex(f.Version) + "_fpt" + std::to_string(f.BlockSize), 0,
          MakeTable(Memos(f.Version, blocks, f.Version != 0xF5)), memo);
  }

  // Visual FoxPro binary fields, a nullable Varchar and _NullFlags.
  TableLayout vfp;
  vfp.Version = 0x32;
  vfp.Fields = {{"I", 'I', 4}, {"B", 'B', 8}, {"Y", 'Y', 8}, {"T", 'T', 8},
                {"V", 'V', 6}, {"G", 'G', 4}, {"_NullFlags", '0', 1}};
  vfp.Records = {" " + Le32(7) + std::string(8, '\0') + std::string(8, '\1') + Le32(2451545) + Le32(1000) +
                     std::string("ab\0\0\0\2", 6) + Le32(0) + "\1",
                 "*" + std::string(39, '\0')};
  Bytes vfp_table = MakeTable(vfp);
  vfp_table[32 + 32 * 4 + 18] = 0x02;  // V may be null
  Write(folder, "seed_32_binary", 0, vfp_table, MakeFpt(64, {}));

  // A Character field longer than 255 (length 300 = 44 + 256 x 1).
  TableLayout wide;
  wide.Version = 0x03;
  wide.Fields = {{"LONG", 'C', 44, 1}, {"K", 'C', 2}};
  wide.RecordSize = 1 + 300 + 2;
  wide.Records = {" " + std::string(300, 'w') + "k1", "*" + std::string(300, 'v') + "k2"};
  Write(folder, "seed_03_long_char", 0, MakeTable(wide), {});

  // dBase III with a memo field and no memo file written yet.
  TableLayout plain;
  plain.Version = 0x03;
  plain.Fields = {{"A", 'C', 3}, {"M", 'M', 10}};
  plain.Records = {" one         1", " two          "};
  Write(folder, "seed_03_dbt_missing", 0, MakeTable(plain), {});

  const std::string lines = "NAME=C20\nPRICE=N10,2\nBORN=D\nOK=L\nNOTE=M\nWIDE=C254\n=X\nBAD";
  Write(folder, "seed_create", 0xC0, Bytes(lines.begin(), lines.end()), {});
  return 0;
}

// A memo file rebuilt by a pack: the blocks the kept records refer to,
// copied one after another from the old file's saved bytes into the memo
// file, each with its type and bytes, after the old header block.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "dbf_stream.h"
#include "dbf_table.h"
#include "memo_blocks.h"

namespace tabulon {

class MemoRebuild {
 public:
  // old_memo: the old file's bytes (never the file being rewritten).
  MemoRebuild(DbfStream& old_memo, DbfStream& out, MemoLayout layout)
      : old_(old_memo), out_(out), layout_(layout) {}

  // Reads the old header; false when there is none to read.
  bool Start();
  enum class Outcome { Carried, Broken, Failed };
  // The block in the new file that holds the memo starting at old_block,
  // copied at its first use. Broken (with *fault) when the old file holds
  // no memo there; Failed when a read or write failed.
  Outcome Carry(uint64_t old_block, uint64_t* new_block, DbfMemoFault* fault);
  // Writes what is buffered and the header with the new next-free number,
  // and ends the file after the last block.
  bool Finish();

 private:
  bool Drain();

  DbfStream& old_;
  DbfStream& out_;
  MemoLayout layout_;
  MemoFileHeader header_{};
  std::vector<uint8_t> header_bytes_;
  std::unordered_map<uint64_t, uint64_t> carried_;
  uint64_t next_free_ = 0;
  std::string pending_;
  uint64_t pending_at_ = 0;
  MemoBlock block_;
};

}  // namespace tabulon

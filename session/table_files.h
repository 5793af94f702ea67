// The files of a table as the program handles them between commands: which
// memo file belongs to a table file, and a snapshot of the table's state on
// disk, to notice changes another program made while the table was closed.
#pragma once

#include <string>

#include "dbf_table.h"

namespace tabulon {

// The memo file beside a table file: the name with its last character
// replaced by "t" (X.DBF -> X.DBt) or, winning when both exist, the name
// without its last three characters followed by "fpt" (X.fpt); each also
// in capitals ("T", "FPT") where the file system tells cases apart. Empty
// when none exists.
std::string ChooseMemoFile(const std::string& table_file, DbfFileSystem& fs);

// What the grid last saw of a table: header values and the file's size and
// modification time.
struct TableSnapshot {
  bool Valid = false;
  uint16_t HeaderSize = 0;
  uint16_t RecordSize = 0;
  uint32_t RecordCount = 0;
  DbfFileInfo Data;
  DbfFileInfo Memo;
  bool operator==(const TableSnapshot& other) const;
  bool operator!=(const TableSnapshot& other) const { return !(*this == other); }
};

// Taken from the table's files (the table may be open or closed; open, its
// header is taken from memory and no file is opened).
TableSnapshot TakeSnapshot(const DbfTable& table, DbfFileSystem& fs);
// The same with the header given: a table just closed still holds the
// header it wrote, so no file need be opened for it.
TableSnapshot SnapshotWithHeader(const uint8_t* header, const DbfTable& table, DbfFileSystem& fs);

}  // namespace tabulon

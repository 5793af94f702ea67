// The index files that belong to a table: the structural .cdx or .mdx its
// header announces (found under any letter case of its name), and the
// loose .idx, .ntx and .ndx files beside it that have its base name or
// whose key names only its fields.
#pragma once

#include <string>
#include <vector>

#include "dbf_table.h"
#include "index_expression.h"
#include "index_file.h"

namespace tabulon {

struct FoundIndex {
  std::string File;  // the path; for a missing one, the name looked for
  IndexKind Kind = IndexKind::Cdx;
  bool Structural = false;
  // Announced by the header (byte 28, bit 0x01) and not there.
  bool Missing = false;
  // Present but not readable as its kind (Error says why).
  bool Readable = false;
  std::string Error;
  std::vector<IndexTagInfo> Tags;
  // Why each tag is not kept true by the program's writes ("": it is).
  std::vector<std::string> Reasons;
  bool IsMaintained(size_t tag) const { return tag < Reasons.size() && Reasons[tag].empty(); }
  // The tags kept true, by number.
  std::vector<size_t> GetMaintainedTags() const;
};

// The indexes of the table at table_file with this header and fields,
// structural first, then the loose ones by name.
std::vector<FoundIndex> FindTableIndexes(const std::string& table_file, const uint8_t* header,
                                         const std::vector<DbfField>& fields, DbfFileSystem& fs);

// Why the program does not keep a tag up to date: a key or FOR condition
// it does not evaluate, a national collation, a key the format cannot
// hold; "" when it does.
std::string WhyTagNotMaintained(const IndexTagInfo& tag, IndexKind kind, const std::vector<DbfField>& fields,
                                const uint8_t* header);
// Fills each found index's Reasons: the tag's own; that a loose file is
// named for another table; or why its file cannot be written when the
// tag would be kept.
void JudgeTableIndexes(const std::string& table_file, std::vector<FoundIndex>& indexes,
                       const std::vector<DbfField>& fields, const uint8_t* header, DbfFileSystem& fs);
// The shape index keys see of a table with these fields and header.
IndexTableShape IndexTableShapeOfHeader(const std::vector<DbfField>& fields, const uint8_t* header);
// The table's fields as an index key sees them.
std::vector<IndexKeyField> KeyFieldsOf(const std::vector<DbfField>& fields);

// The field names a key expression uses: its identifiers that are neither
// functions, aliases, quoted text nor logical words, in capitals. Kept
// apart so that a full parser of key expressions can take its place.
std::vector<std::string> KeyExpressionFieldNames(const std::string& expression);

}  // namespace tabulon

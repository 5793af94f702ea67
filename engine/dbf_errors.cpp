#include "dbf_errors.h"

namespace tabulon {

namespace {

// The texts are part of the file format's folklore and of the program's
// messages: keep their wording and punctuation exactly.
const char* const kMessages[kDbfErrorCodeCount] = {
    "",
    "Unknown Error #",
    "DBF File Not Exist",
    "DBF header error #",
    "Size of header error. Field #",
    "Buff of header error. Field #",
    "Field name error: bad field number #",
    "Field type error: bad field number #",
    "Field size error: bad field number #",
    "Field decimal error: bad field number #",
    "Field by number: bad field number #",
    "Field by name: field not found:",
    "Put field by number: bad number #",
    "Put field by name: field not found:",
    "Read memo data error. Field #",
    "Write memo data error. Field #",
    "Read record out of range. Rec #",
    "Write record out of range. Rec #",
    "Read record buffer error. Rec #",
    "Write record buffer error. Rec #",
    "Append blank record error. Rec #",
    "Decimal point out of good position. Field #",
    "Convert error:",
    "Not a dBase table:",
    "Table version not supported:",
    "Header and field sizes disagree:",
    "The file ends before its records:",
    "The file cannot be opened for writing:",
    "Value does not suit the field. Field #",
    "No memo file for this field. Field #",
    "Pack journal not trusted, set aside as",
    "The table is open for reading only:",
    "The file cannot be opened:",
    "A cut-off pack must be undone, but the table cannot be written:",
    "A cut-off pack must be undone with its memo file, which is not there:",
    "The name of the pack journal is taken by another file:",
    "A memo reference cannot be read. Rec #",
    "Locked by another program:",
    "An index file could not be written:",
};

}  // namespace

const char* DbfErrorMessage(uint8_t code) {
  return code < kDbfErrorCodeCount ? kMessages[code] : "";
}

}  // namespace tabulon

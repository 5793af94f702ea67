// Field definition lines, the text form in which new tables are described:
// NAME=Tlen,dec (type letter, length and decimals, each with defaults).
#pragma once

#include <cstdint>
#include <string>

namespace tabulon {

struct DbfFieldDefinition {
  std::string Name;  // upper case, at most 10 bytes
  char Type = 'C';   // one of C, N, D, L, M
  uint8_t Length = 0;
  uint8_t Decimals = 0;
};

// Splits and normalises one line; index is the line's place in its list
// (a line without "=" is named FIELD<index>). No line is ever rejected.
DbfFieldDefinition ParseFieldDefinition(const std::string& line, int index);

}  // namespace tabulon

#include "field_definition.h"

#include <algorithm>

#include "dbf_table.h"

namespace tabulon {

namespace {

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

DbfFieldDefinition ParseFieldDefinition(const std::string& line, int index) {
  DbfFieldDefinition field;
  std::string name, format;
  size_t equals = line.find('=');
  if (equals == std::string::npos) {
    name = "FIELD" + std::to_string(index);
    format = line;
  } else {
    name = line.substr(0, equals);
    format = line.substr(equals + 1);
  }
  name = TrimBlanks(name);
  std::transform(name.begin(), name.end(), name.begin(), Upper);
  field.Name = name.substr(0, 10);

  format = TrimBlanks(format.substr(0, 255));
  char type = 'C';
  if (!format.empty()) {
    char letter = Upper(format[0]);
    if (std::string("CNDLM").find(letter) != std::string::npos) {
      type = letter;
      format.erase(0, 1);
    }
  }
  field.Type = type;

  size_t comma = format.find(',');
  std::string length_text = TrimBlanks(format.substr(0, comma));
  std::string decimals_text = comma == std::string::npos ? "0" : TrimBlanks(format.substr(comma + 1));
  if (length_text.empty()) length_text = "10";
  if (decimals_text.empty()) decimals_text = "0";

  // Both numbers are held as 16-bit values, the length compared unsigned.
  uint16_t length = static_cast<uint16_t>(ParseLeadingInteger(length_text));
  if (length == 0 && length_text != "0") length = 8;
  if (length == 0) length = 1;
  if (length > 255) length = 255;
  int16_t decimals = static_cast<int16_t>(static_cast<uint16_t>(ParseLeadingInteger(decimals_text)));
  if (decimals < 0) decimals = 0;

  switch (type) {
    case 'D':
      field.Length = 8;
      break;
    case 'L':
      field.Length = 1;
      break;
    case 'M':
      field.Length = 10;
      break;
    case 'N':
      field.Length = static_cast<uint8_t>(std::min<uint16_t>(length, 18));
      field.Decimals = field.Length < 3 ? 0
                                        : static_cast<uint8_t>(std::min<int>(decimals, field.Length - 2));
      break;
    default:
      field.Length = static_cast<uint8_t>(length);
      break;
  }
  return field;
}

}  // namespace tabulon

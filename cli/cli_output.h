// What the command line prints: values escaped for one-line output, JSON
// strings, and the English words for a session's outcomes.
#pragma once

#include <string>

#include "table_session.h"

namespace tabulon::cli {

// A tab, a line break, a carriage return or a backslash inside a value as
// \t, \n, \r and \\, so that one record stays one line.
std::string EscapeValue(const std::string& value);
// The same, appended to out.
void AppendEscaped(std::string& out, const std::string& value);

// A JSON string literal (quotes included) of UTF-8 text.
std::string JsonString(const std::string& text);

// One line naming the record and the field where it has them, without
// the program's name and without a line break.
std::string DescribeOutcome(const TableSession& session, const Outcome& outcome);

// What a field of this layout takes, in a few words ("a date YYYYMMDD
// or blank").
std::string ExpectedValue(const DbfField& field, uint8_t version);

// The flavour a version byte names ("dBase III with memo").
// dbase7: the table has dBase 7's layout (its version byte 0x04 is also
// dBase IV's).
std::string FlavourName(uint8_t version, bool dbase7 = false);
// DbfLayoutWarning bits in words ("" for none).
std::string LayoutWarnings(uint8_t warnings);

}  // namespace tabulon::cli

// The code page of a table's text: which one the view shows a table in,
// chosen when it is loaded, and what typed text becomes in the table.
//
// Text leaves the session as UTF-8. DOS Russian (866) tables are shown
// through the Windows-1251 look-alikes of text.h, every other page through
// its own table (code_pages.h). Typed text goes back through the strict
// inverse, and only where the user changed something: the display gives
// look-alikes for 866's box drawing and U+FFFD for stray UTF-8 bytes,
// which must not come back as other bytes.
#pragma once

#include <cstdint>
#include <string>

#include "code_pages.h"
#include "dbf_table.h"
#include "text.h"

namespace tabulon {

enum class ShownCodePage { Undecided, Oem, Ansi };

// Why the session shows a table in the code page it does.
enum class CodePageReason { TextLetters, LanguageDriver, Default, CodePageFile, Given };

// The text decides when it leans clearly one way (more than twice as many
// letters of one code page as of the other, and at least two); otherwise
// the language-driver byte decides when it names a code page (1252 counts
// as not DOS). A table that says neither is Undecided.
ShownCodePage ChooseShownCodePage(DbfCodePage driver, const CyrillicEvidence& text);

// Well-formed UTF-8 characters of more than one byte in a table's text,
// and bytes that are no UTF-8.
struct Utf8Evidence {
  uint32_t Characters = 0;
  uint32_t Malformed = 0;
};
void AddUtf8Evidence(const std::string& text, Utf8Evidence& evidence);

struct CodePageChoice {
  int CodePage = kWindowsRussianCodePage;
  CodePageReason Reason = CodePageReason::Default;
};

// The code page a table is shown in: the one its .cpg file names (cpg; 0
// for none), which GIS programs write knowing; else UTF-8 when its text is
// (two characters at least and no stray byte); else the Russian letters
// when they are clear and the language-driver byte names 866, 1251, 1252
// or nothing (DOS programs left wrong bytes, and 1252 is the ESRI and
// dBase 7 default whatever the text); else the page the byte names
// (driver; 0 for none). Nothing said leaves DOS or Windows Russian as
// current was.
CodePageChoice ChooseCodePage(int cpg, int driver, const CyrillicEvidence& text, const Utf8Evidence& utf8,
                              int current);

enum class TypedOutcome { Unchanged, Store, Refused };

struct TypedValue {
  TypedOutcome Outcome = TypedOutcome::Unchanged;
  std::string Bytes;    // Store: what the table is to hold
  uint8_t Refused = 0;  // Refused: the first typed character 866 lacks
  std::string Missing;  // Refused: that character, UTF-8
};

// Typed UTF-8 text against the value the table holds in code_page. Text
// equal to what the view shows is Unchanged. Otherwise the stored
// characters at the start and end whose shown form the typed text keeps
// keep their bytes, and only the part between is converted, strictly.
TypedValue StoredFormOfTyped(const std::string& stored, const std::string& typed, int code_page);

// The same for typed Windows-1251 text in a table shown through the OEM
// conversion (oem) or as it is (Refused then holds the 1251 byte).
TypedValue StoredFormOfTyped(const std::string& stored, const std::string& typed, bool oem);

// Stored bytes cut to at most width at a character's start, so that no
// UTF-8 character is left in halves.
std::string CutToWidth(const std::string& bytes, size_t width, int code_page);

}  // namespace tabulon

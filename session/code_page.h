// The code page of a table's text: which one the view shows a table in,
// chosen when it is loaded, and what typed text becomes in the table.
//
// The view shows DOS (866) tables converted to Windows-1251 through the
// program's own table (toolkit/text.h). Typed text goes back through the
// strict inverse, and only where the user changed something: the display
// conversion gives look-alikes for box drawing, which must not come back
// as the look-alike's byte.
#pragma once

#include <cstdint>
#include <string>

#include "dbf_table.h"
#include "text.h"

namespace tabulon {

enum class ShownCodePage { Undecided, Oem, Ansi };

// The text decides when it leans clearly one way (more than twice as many
// letters of one code page as of the other, and at least two); otherwise
// the language-driver byte decides when it names a code page (1252 counts
// as not DOS). A table that says neither is Undecided.
ShownCodePage ChooseShownCodePage(DbfCodePage driver, const CyrillicEvidence& text);

enum class TypedOutcome { Unchanged, Store, Refused };

struct TypedValue {
  TypedOutcome Outcome = TypedOutcome::Unchanged;
  std::string Bytes;    // Store: what the table is to hold
  uint8_t Refused = 0;  // Refused: the first typed character 866 lacks
};

// Typed (Windows-1251) text against the value the table holds, shown
// through the OEM conversion when oem is set. Text equal to what the view
// showed is Unchanged. Otherwise, with oem, the common start and end of
// typed and shown text keep their stored bytes and only the part between
// is converted, strictly.
TypedValue StoredFormOfTyped(const std::string& stored, const std::string& typed, bool oem);

}  // namespace tabulon

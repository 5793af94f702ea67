#include "code_page.h"

#include <algorithm>

namespace tabulon {

ShownCodePage ChooseShownCodePage(DbfCodePage driver, const CyrillicEvidence& text) {
  if (text.Oem >= 2 && text.Oem > 2 * text.Ansi) return ShownCodePage::Oem;
  if (text.Ansi >= 2 && text.Ansi > 2 * text.Oem) return ShownCodePage::Ansi;
  switch (driver) {
    case DbfCodePage::Dos866:
      return ShownCodePage::Oem;
    case DbfCodePage::Windows1251:
    case DbfCodePage::Windows1252:
      return ShownCodePage::Ansi;
    default:
      return ShownCodePage::Undecided;
  }
}

TypedValue StoredFormOfTyped(const std::string& stored, const std::string& typed, bool oem) {
  TypedValue value;
  const std::string shown = oem ? OemToAnsi(stored) : stored;
  if (typed == shown) return value;
  value.Outcome = TypedOutcome::Store;
  if (!oem) {
    value.Bytes = typed;
    return value;
  }
  // Conversion keeps lengths, so the shown text's positions are the
  // stored bytes' positions.
  const size_t most = std::min(typed.size(), shown.size());
  size_t head = 0;
  while (head < most && typed[head] == shown[head]) ++head;
  size_t tail = 0;
  while (tail < most - head && typed[typed.size() - 1 - tail] == shown[shown.size() - 1 - tail]) ++tail;
  std::string middle;
  if (!AnsiToOem(typed.substr(head, typed.size() - tail - head), middle, value.Refused)) {
    value.Outcome = TypedOutcome::Refused;
    return value;
  }
  value.Bytes = stored.substr(0, head) + middle + stored.substr(stored.size() - tail);
  return value;
}

}  // namespace tabulon

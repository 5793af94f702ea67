#include "code_page.h"

#include <algorithm>
#include <vector>

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

void AddUtf8Evidence(const std::string& text, Utf8Evidence& evidence) {
  size_t i = 0;
  while (i < text.size()) {
    if (uint8_t(text[i]) < 0x80) {
      ++i;
      continue;
    }
    uint32_t code = 0;
    if (NextCodePoint(text, i, code))
      ++evidence.Characters;
    else
      ++evidence.Malformed;
  }
}

CodePageChoice ChooseCodePage(int cpg, int driver, const CyrillicEvidence& text, const Utf8Evidence& utf8,
                              int current) {
  if (cpg != 0) return {cpg, CodePageReason::CodePageFile};
  if (utf8.Characters >= 2 && utf8.Malformed == 0) return {kUtf8CodePage, CodePageReason::TextLetters};
  const bool russian_or_none = driver == 0 || driver == kDosRussianCodePage ||
                               driver == kWindowsRussianCodePage || driver == 1252;
  const ShownCodePage letters = ChooseShownCodePage(DbfCodePage::Unknown, text);
  if (russian_or_none && letters != ShownCodePage::Undecided)
    return {letters == ShownCodePage::Oem ? kDosRussianCodePage : kWindowsRussianCodePage,
            CodePageReason::TextLetters};
  if (driver != 0) return {driver, CodePageReason::LanguageDriver};
  return {IsDosCodePage(current) ? kDosRussianCodePage : kWindowsRussianCodePage, CodePageReason::Default};
}

TypedValue StoredFormOfTyped(const std::string& stored, const std::string& typed, int code_page) {
  TypedValue value;
  // Each stored character with its shown form.
  std::vector<size_t> starts;
  std::vector<std::string> shown;
  std::string whole;
  for (size_t at = 0; at < stored.size();) {
    const size_t length = StoredCharacterLength(code_page, stored, at);
    starts.push_back(at);
    shown.push_back(DecodeText(code_page, stored.substr(at, length)));
    whole += shown.back();
    at += length;
  }
  starts.push_back(stored.size());
  if (typed == whole) return value;
  value.Outcome = TypedOutcome::Store;
  const size_t units = shown.size();
  size_t head = 0, typed_head = 0;
  while (head < units && typed.compare(typed_head, shown[head].size(), shown[head]) == 0) {
    typed_head += shown[head].size();
    ++head;
  }
  size_t tail = units, typed_tail = typed.size();
  while (tail > head && typed_tail - typed_head >= shown[tail - 1].size() &&
         typed.compare(typed_tail - shown[tail - 1].size(), shown[tail - 1].size(), shown[tail - 1]) == 0) {
    typed_tail -= shown[tail - 1].size();
    --tail;
  }
  std::string middle;
  if (!EncodeText(code_page, typed.substr(typed_head, typed_tail - typed_head), middle, value.Missing)) {
    value.Outcome = TypedOutcome::Refused;
    return value;
  }
  value.Bytes = stored.substr(0, starts[head]) + middle + stored.substr(starts[tail]);
  return value;
}

TypedValue StoredFormOfTyped(const std::string& stored, const std::string& typed, bool oem) {
  TypedValue value =
      StoredFormOfTyped(stored, AnsiToUtf8(typed), oem ? kDosRussianCodePage : kWindowsRussianCodePage);
  if (value.Outcome == TypedOutcome::Refused) value.Refused = uint8_t(Utf8ToAnsi(value.Missing)[0]);
  return value;
}

std::string CutToWidth(const std::string& bytes, size_t width, int code_page) {
  if (bytes.size() <= width) return bytes;
  size_t end = 0;
  while (end < bytes.size()) {
    const size_t next = end + StoredCharacterLength(code_page, bytes, end);
    if (next > width) break;
    end = next;
  }
  return bytes.substr(0, end);
}

}  // namespace tabulon

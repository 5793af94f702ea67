#include "engine_messages.h"

#include "dbf_errors.h"
#include "texts.h"

namespace tabulon {

namespace {

// The detail the engine appended to its message: a file name, a flavour
// or a field number.
std::string DetailOf(uint8_t code, const std::string& text) {
  const std::string message = DbfErrorMessage(code);
  if (text.size() > message.size() + 1 && text.compare(0, message.size(), message) == 0)
    return text.substr(message.size() + 1);
  return std::string();
}

}  // namespace

std::string EngineMessage(uint8_t code, const std::string& engine_text) {
  const std::string detail = DetailOf(code, engine_text);
  switch (code) {
    case DbfFileNotExist: return texts::kNoSuchFile + detail;
    case DbfNotATable: return texts::kNotATable + detail;
    case DbfUnsupportedVersion:
      return texts::kUnsupportedPrefix + detail + texts::kUnsupportedSuffix;
    case DbfSizesDisagree: return texts::kSizesDisagree + detail;
    case DbfFileTooShort: return texts::kFileTooShort + detail;
    case DbfNoWriteAccess: return texts::kNoWriteAccess + detail;
    case DbfNoAccess: return texts::kNoAccess + detail;
    case DbfJournalNeedsWrite: return texts::kJournalNeedsWrite + detail;
    case DbfReadOnly: return texts::kReadOnlyRefused;
    case DbfMemoUnavailable: return texts::kNoMemoFile;
    case DbfPackJournalSetAside: return texts::kPackJournalSetAside + detail;
    case DbfJournalMemoMissing: return texts::kJournalMemoMissing + detail;
    case DbfJournalNameTaken: return texts::kJournalNameTaken + detail;
    case DbfWriteIndexError: return texts::kWriteIndexError + detail;
    case DbfPackBrokenMemo: return texts::kPackBrokenMemoPrefix + detail + texts::kPackBrokenMemoSuffix;
    case DbfLockedElsewhere: return detail == "table" ? texts::kTableLocked : texts::kRecordLocked;
    default: return engine_text;
  }
}

}  // namespace tabulon

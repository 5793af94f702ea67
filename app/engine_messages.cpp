#include "engine_messages.h"

#include "texts.h"

namespace tabulon {

namespace {

// The detail the engine appended to its message: a file name, a flavour
// or a field number.
std::string DetailOf(const DbfTable& table) {
  const std::string message = DbfErrorMessage(table.ErrorCode);
  if (table.ErrorText.size() > message.size() + 1 &&
      table.ErrorText.compare(0, message.size(), message) == 0)
    return table.ErrorText.substr(message.size() + 1);
  return std::string();
}

}  // namespace

std::string EngineMessage(const DbfTable& table) {
  const std::string detail = DetailOf(table);
  switch (table.ErrorCode) {
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
    default: return table.ErrorText;
  }
}

}  // namespace tabulon

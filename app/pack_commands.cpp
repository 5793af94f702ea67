// Packing the table: in place without memo, by copy with it.
#include "copy_pack.h"
#include "main_window.h"
#include "program.h"
#include "texts.h"

namespace tabulon {

namespace {

// A memo flavour whose fields refer to no memo blocks (Visual FoxPro
// tables always carry the memo flavour's byte) packs in place.
bool RefersToMemoBlocks(const DbfTable& table) {
  for (int32_t f = 1; f <= table.FieldCount; ++f) {
    const uint8_t type = table.Fields[f].Type;
    if (IsMemoTextField(type) || IsBinaryMemoField(table.GetVersion(), type)) return true;
  }
  return false;
}

std::string PackFailure(const CopyPackOutcome& outcome, const DbfTable& table) {
  switch (outcome.Result) {
    case CopyPackResult::Packed: return std::string();
    case CopyPackResult::MemoFileMissing:
      return texts::kPackMemoMissing + (outcome.Detail.empty() ? table.FileName : outcome.Detail);
    case CopyPackResult::CopyFailed: return texts::kPackCopyFailed + outcome.Detail;
    case CopyPackResult::ReplaceFailed:
      return texts::kRenameProblem + outcome.Detail + texts::kRenameTo + outcome.Target;
    case CopyPackResult::BinaryFields: return texts::kPackBinaryMemo;
  }
  return std::string();
}

}  // namespace

void MainWindow::PackTable() {
  CommandScope command(*this);
  if (!command.Entered() || !OpenTable()) return;
  std::string failure;
  const auto version = static_cast<DbfVersion>(Table->GetVersion());
  const bool dbase = version == DbfVersion::dBase3 || version == DbfVersion::dBase4 ||
                     version == DbfVersion::dBase5;
  const bool memo_flavour = version == DbfVersion::dBase3Memo || version == DbfVersion::dBase4Memo ||
                            version == DbfVersion::FoxProMemo || version == DbfVersion::VisFoxProMemo;
  if (dbase || (memo_flavour && !RefersToMemoBlocks(*Table))) {
    BeginWrite();
    Table->Pack();
    failure = WriteFailure();
  } else if (memo_flavour) {
    // A new pair is built beside the old one and replaces it whole.
    SetStatus(texts::kStatusPack);
    failure = PackFailure(CopyPack(*Table, fs_), *Table);
  }
  // The copy closed the table to replace its files.
  if (!Table->Active && !OpenTable()) {
    ReportFailure(failure);
    return;
  }
  FillGrid();
  program_.GetApplet().ProcessMessages();
  CloseTable();
  ReportFailure(failure);
}

}  // namespace tabulon

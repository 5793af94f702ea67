// Packing the table: in place without memo, by copy with it.
#include "copy_pack.h"
#include "main_window.h"
#include "program.h"
#include "texts.h"

namespace tabulon {

void MainWindow::PackTable() {
  CommandScope command(*this);
  if (!command.Entered() || !OpenTable()) return;
  std::string failure;
  switch (Table->GetVersion()) {
    case 0x03:  // dBase III, IV and V without memo: in place
    case 0x04:
    case 0x05:
      BeginWrite();
      Table->Pack();
      failure = WriteFailure();
      break;
    case 0x30:  // the memo flavours: a new pair built beside the old
    case 0x83:
    case 0x84:
    case 0xF5: {
      SetStatus(texts::kStatusPack);
      const CopyPackOutcome outcome = CopyPack(*Table, fs_);
      switch (outcome.Result) {
        case CopyPackResult::Packed: break;
        case CopyPackResult::MemoFileMissing:
          failure = texts::kPackMemoMissing + outcome.Detail;
          break;
        case CopyPackResult::CopyFailed: failure = outcome.Detail; break;
        case CopyPackResult::ReplaceFailed:
          failure = texts::kRenameProblem + outcome.Detail;
          break;
      }
      break;
    }
    default:  // not a flavour the program packs
      break;
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

// Packing the table: the engine packs every flavour in place, rebuilding
// the memo file of the memo flavours with it.
#include "main_window.h"
#include "program.h"
#include "texts.h"

namespace tabulon {

namespace {

bool RefersToMemoBlocks(const DbfTable& table) {
  for (int32_t f = 1; f <= table.FieldCount; ++f)
    if (IsMemoReferenceField(table.GetVersion(), table.Fields[f].Type)) return true;
  return false;
}

}  // namespace

void MainWindow::PackTable() {
  CommandScope command(*this);
  if (!command.Entered() || !OpenTable() || RefuseWrite()) return;
  std::string failure;
  if (RefersToMemoBlocks(*Table) && Table->GetMemoKind() == MemoKind::None) {
    // Without its memo file the memo blocks could not be carried over.
    failure = texts::kPackMemoMissing +
              (Table->MemoFileName.empty() ? Table->FileName : Table->MemoFileName);
  } else {
    SetStatus(texts::kStatusPack);
    BeginWrite();
    Table->Pack();
    failure = WriteFailure();
  }
  // A pack whose undoing failed closed the table; opening it undoes it.
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

// Packing the table: the engine packs every flavour in place, rebuilding
// the memo file of the memo flavours with it.
#include "main_window.h"
#include "program.h"
#include "texts.h"

namespace tabulon {

void MainWindow::PackTable() {
  CommandScope command(*this);
  if (!command.Entered()) return;
  SetStatus(texts::kStatusPack);
  const Outcome o = Session->Pack();
  if (Session->IsLoaded() && o.Reason != Refusal::ReadOnly) {
    FillGrid();
    program_.GetApplet().ProcessMessages();
  }
  // Nothing packed: the status says the table can only be read.
  if (o.Reason == Refusal::ReadOnly) SetStatus(texts::kStatusOk);
  Report(o);
}

}  // namespace tabulon

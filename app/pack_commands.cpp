// Packing the table: the engine packs every flavour in place, rebuilding
// the memo file of the memo flavours with it.
#include <string>
#include <vector>

#include "engine_messages.h"
#include "main_window.h"
#include "program.h"
#include "text.h"
#include "texts.h"

namespace tabulon {

void MainWindow::PackTable() {
  CommandScope command(*this);
  if (!command.Entered()) return;
  if (!MayWrite()) return;
  SetStatus(texts::kStatusPack);
  Outcome o = Session->Pack();
  // A memo reference that cannot be read: the user may pack with such
  // references cleared, and hears which were.
  if (o.EngineCode == DbfPackBrokenMemo &&
      program_.GetApplet().Ask(EngineMessage(o.EngineCode, o.EngineText) + "\r\n\r\n" + texts::kPackClearBrokenQuestion)) {
    std::vector<DbfBrokenMemo> cleared;
    o = Session->Pack(true, &cleared);
    std::string list = texts::kPackClearedPrefix;
    for (const DbfBrokenMemo& m : cleared)
      list += "\r\n" + std::to_string(m.Record) + ", " + m.Field + ": " + std::to_string(m.Block) + " (" +
              DbfMemoFaultText(m.Fault) + ")";
    if (o.IsDone() && !cleared.empty()) Tell(list);
  }
  if (Session->IsLoaded() && o.Reason != Refusal::ReadOnly) {
    FillGrid();
    program_.GetApplet().ProcessMessages();
  }
  // Nothing packed: the status says the table can only be read.
  if (o.Reason == Refusal::ReadOnly) SetStatus(texts::kStatusOk);
  Report(o);
}

}  // namespace tabulon

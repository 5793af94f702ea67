// The grid's window-message handler, installed on the control as its
// message hook: it sees every message before the toolkit's default
// processing and consumes only the paint message.
#include "xl_grid.h"

namespace tabulon {

bool XLGrid::HandleGridMessage(Message& m, intptr_t& result) {
  switch (m.Id) {
    case kWmSize:
      UpdateScrollBars();  // the pages follow the new client size
      return false;
    case kWmPaint: {
      // While updates are locked the message goes to the default handling
      // and nothing is drawn.
      if (update_count_ > 0) return false;
      std::unique_ptr<Canvas> dc = NewPaintCanvas(m);
      Paint(*dc);
      result = 0;
      return true;
    }
    default:
      return false;
  }
}

}  // namespace tabulon

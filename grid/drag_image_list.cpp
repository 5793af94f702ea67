#include "drag_image_list.h"

#include "input.h"

namespace tabulon {

DragImageList::DragImageList(Control&) { SetDragCursor(nullptr); }

DragImageList::~DragImageList() {
  // The platform's drag image outlives no owner of it.
  if (dragging_) EndDrag();
  images_.FreeHandle();
}

std::unique_ptr<DragImageList> NewDragImageList(Control& owner) {
  return std::make_unique<DragImageList>(owner);
}

bool DragImageList::BeginDrag(int index, int hot_x, int hot_y) {
  ImageListHandle h = images_.GetHandle();
  if (h == nullptr) return false;
  drag_index_ = index;
  hot_spot_x_ = hot_x;
  hot_spot_y_ = hot_y;
  ImageListBeginDrag(h, index, hot_x, hot_y);
  dragging_ = true;
  return true;
}

bool DragImageList::DragEnter(WindowHandle window, int x, int y) {
  if (!HasHandle()) return false;
  if (!dragging_) BeginDrag(drag_index_, hot_spot_x_, hot_spot_y_);
  ApplyDragCursor();
  if (!ShowIn(window, x, y)) return false;
  if (!cursor_hidden_) {
    ShowCursor(false);
    cursor_hidden_ = true;
  }
  return true;
}

bool DragImageList::ShowIn(WindowHandle window, int x, int y) {
  if (window == drag_window_) return false;
  DragLeave();
  drag_window_ = window;
  Point w = ClientToWindowPoint(window, x, y);
  return ImageListDragEnter(window, w.X, w.Y);
}

bool DragImageList::DragMove(int x, int y) {
  if (!HasHandle()) return false;
  // Without a window showing the image there is nothing to convert from.
  if (drag_window_ == nullptr) return ImageListDragMove(x, y);
  Point w = ClientToWindowPoint(drag_window_, x, y);
  return ImageListDragMove(w.X, w.Y);
}

void DragImageList::DragLeave() {
  if (!HasHandle() || drag_window_ == nullptr) return;
  ImageListDragLeave(drag_window_);
  drag_window_ = nullptr;
}

bool DragImageList::EndDrag() {
  if (!HasHandle() || !dragging_) return false;
  DragLeave();
  ImageListEndDrag();
  dragging_ = false;
  SetDragCursor(nullptr);
  if (cursor_hidden_) {
    ShowCursor(true);
    cursor_hidden_ = false;
  }
  return true;
}

bool DragImageList::HideDragImage() {
  if (!HasHandle()) return false;
  return ImageListDragShowNolock(false);
}

bool DragImageList::ShowDragImage() {
  if (!HasHandle()) return false;
  return ImageListDragShowNolock(true);
}

void DragImageList::SetDragCursor(CursorHandle cursor) {
  if (!HasHandle() || cursor == drag_cursor_) return;
  drag_cursor_ = cursor;
  if (dragging_) ApplyDragCursor();
}

Point DragImageList::ClientToWindowPoint(WindowHandle window, int x, int y) {
  Point screen = ClientToScreen(window, Point{x, y});
  Rect r = GetWindowRect(window);
  return Point{screen.X - r.Left, screen.Y - r.Top};
}

void DragImageList::ApplyDragCursor() {
  if (drag_cursor_ == nullptr || !HasHandle()) return;
  Size cs = GetCursorSize();
  ImageListHandle temp = ImageListCreate(cs.Width, cs.Height, kIlcMask, 1, 1);
  if (temp == nullptr) return;
  if (ImageListReplaceIcon(temp, -1, drag_cursor_) >= 0 &&
      ImageListReplaceIcon(temp, -1, drag_cursor_) >= 0 &&
      ImageListSetDragCursorImage(temp, 0, 0, 0)) {
    Point hot;
    ImageListGetDragImage(nullptr, &hot);
    ImageListSetDragCursorImage(temp, 1, hot.X, hot.Y);
  }
  ImageListDestroy(temp);
}

}  // namespace tabulon

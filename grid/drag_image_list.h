// DragImageList: the picture dragged with the pointer while a column or a
// row is moved. It wraps the toolkit's image list and the platform's single
// process-wide drag image: it remembers the image and hot spot being dragged
// and the window showing it, converts client points to the window-relative
// points the drag functions take, hides the mouse cursor while the image is
// shown, and can merge a cursor into the drag image.
#pragma once

#include <memory>

#include "control.h"
#include "geometry.h"
#include "handles.h"
#include "image_list.h"

namespace tabulon {

class DragImageList {
 public:
  explicit DragImageList(Control& owner);
  ~DragImageList();
  DragImageList(const DragImageList&) = delete;
  DragImageList& operator=(const DragImageList&) = delete;

  // Every operation below first makes sure the image list has its platform
  // handle; without one (image width or height 0) it does nothing and
  // reports false.
  bool BeginDrag(int index, int hot_x, int hot_y);
  // Shows the image in window at the client point (x, y), beginning the
  // drag with the last index and hot spot when none is going on. True when
  // the image is now shown there; false when it already was.
  bool DragEnter(WindowHandle window, int x, int y);
  // Client point of the window showing the image.
  bool DragMove(int x, int y);
  void DragLeave();
  // False when no drag is going on.
  bool EndDrag();
  // Hide and show the image without ending the drag, around repaints.
  bool HideDragImage();
  bool ShowDragImage();
  // Cursor merged into the drag image; nullptr for none.
  void SetDragCursor(CursorHandle cursor);
  // Client point of window to the point relative to the window's corner.
  static Point ClientToWindowPoint(WindowHandle window, int x, int y);
  // Merges DragCursor into the current drag image.
  void ApplyDragCursor();

  ImageList& GetImages() { return images_; }
  CursorHandle GetDragCursor() const { return drag_cursor_; }
  bool IsDragging() const { return dragging_; }
  WindowHandle GetDragWindow() const { return drag_window_; }
  int GetHotSpotX() const { return hot_spot_x_; }
  int GetHotSpotY() const { return hot_spot_y_; }
  int GetDragIndex() const { return drag_index_; }

 private:
  bool HasHandle() { return images_.GetHandle() != nullptr; }
  // The step of DragEnter that shows the image.
  bool ShowIn(WindowHandle window, int x, int y);

  ImageList images_;
  CursorHandle drag_cursor_ = nullptr;
  bool dragging_ = false;
  WindowHandle drag_window_ = nullptr;
  int hot_spot_x_ = 0;
  int hot_spot_y_ = 0;
  int drag_index_ = 0;
  // The mouse cursor was hidden by this drag and not shown again yet, so
  // that it is hidden and shown once per drag however often the image
  // enters and leaves windows.
  bool cursor_hidden_ = false;
};

std::unique_ptr<DragImageList> NewDragImageList(Control& owner);

}  // namespace tabulon

// Image lists and the drag image: the common controls' ImageList_*
// functions on the toolkit's handles.

#include "image_list.h"
#include "win32_internal.h"

namespace tabulon {

ImageListHandle ImageListCreate(int width, int height, uint32_t flags, int initial, int grow) {
  EnsureCommonControls();
  return reinterpret_cast<ImageListHandle>(ImageList_Create(width, height, flags, initial, grow));
}

bool ImageListDestroy(ImageListHandle list) {
  return list != nullptr && ImageList_Destroy(AsHimagelist(list)) != FALSE;
}

int ImageListAdd(ImageListHandle list, Bitmap& image, Bitmap* mask) {
  if (list == nullptr) return -1;
  LoanedBitmap picture(image);
  if (mask == nullptr) return ImageList_Add(AsHimagelist(list), picture.Get(), nullptr);
  LoanedBitmap mask_bits(*mask);
  return ImageList_Add(AsHimagelist(list), picture.Get(), mask_bits.Get());
}

int ImageListReplaceIcon(ImageListHandle list, int index, CursorHandle cursor) {
  if (list == nullptr || cursor == nullptr) return -1;
  return ImageList_ReplaceIcon(AsHimagelist(list), index, reinterpret_cast<HICON>(cursor));
}

bool ImageListRemoveAll(ImageListHandle list) {
  return list != nullptr && ImageList_RemoveAll(AsHimagelist(list)) != FALSE;
}

int ImageListGetImageCount(ImageListHandle list) {
  return list == nullptr ? 0 : ImageList_GetImageCount(AsHimagelist(list));
}

bool ImageListBeginDrag(ImageListHandle list, int index, int hot_x, int hot_y) {
  return list != nullptr && ImageList_BeginDrag(AsHimagelist(list), index, hot_x, hot_y) != FALSE;
}

bool ImageListDragEnter(WindowHandle window, int x, int y) {
  return ImageList_DragEnter(AsHwnd(window), x, y) != FALSE;
}

bool ImageListDragMove(int x, int y) { return ImageList_DragMove(x, y) != FALSE; }

bool ImageListDragLeave(WindowHandle window) { return ImageList_DragLeave(AsHwnd(window)) != FALSE; }

void ImageListEndDrag() { ImageList_EndDrag(); }

bool ImageListDragShowNolock(bool show) { return ImageList_DragShowNolock(show) != FALSE; }

bool ImageListSetDragCursorImage(ImageListHandle list, int index, int hot_x, int hot_y) {
  return list != nullptr &&
         ImageList_SetDragCursorImage(AsHimagelist(list), index, hot_x, hot_y) != FALSE;
}

ImageListHandle ImageListGetDragImage(Point* position, Point* hot_spot) {
  POINT pos{0, 0};
  POINT hot{0, 0};
  HIMAGELIST list = ImageList_GetDragImage(&pos, &hot);
  if (position != nullptr) *position = Point{int(pos.x), int(pos.y)};
  if (hot_spot != nullptr) *hot_spot = Point{int(hot.x), int(hot.y)};
  return reinterpret_cast<ImageListHandle>(list);
}

}  // namespace tabulon

// Image lists as counted objects, and the drag-image functions as a
// recorded state machine (one drag image for the whole process).
#include <algorithm>
#include <vector>

#include "headless_driver.h"
#include "image_list.h"

namespace tabulon {

struct ImageListObject {
  int Width = 0;
  int Height = 0;
  uint32_t Flags = 0;
  int Count = 0;
};

namespace {

std::vector<ImageListObject*>& Lists() {
  static std::vector<ImageListObject*> lists;
  return lists;
}

bool Exists(ImageListHandle list) {
  return list != nullptr && std::find(Lists().begin(), Lists().end(), list) != Lists().end();
}

struct DragState {
  ImageListHandle List = nullptr;
  Point Position;
  Point HotSpot;
  WindowHandle Window = nullptr;
  std::vector<headless::DragCall> Calls;
};

DragState& Drag() {
  static DragState state;
  return state;
}

void Record(const char* name, int a, int b, int c, WindowHandle window, ImageListHandle list) {
  Drag().Calls.push_back(headless::DragCall{name, a, b, c, window, list});
}

}  // namespace

ImageListHandle ImageListCreate(int width, int height, uint32_t flags, int, int) {
  if (width <= 0 || height <= 0) return nullptr;
  auto* list = new ImageListObject{width, height, flags, 0};
  Lists().push_back(list);
  return list;
}

bool ImageListDestroy(ImageListHandle list) {
  if (!Exists(list)) return false;
  Lists().erase(std::find(Lists().begin(), Lists().end(), list));
  if (Drag().List == list) Drag().List = nullptr;
  delete list;
  return true;
}

int ImageListAdd(ImageListHandle list, Bitmap&, Bitmap*) { return Exists(list) ? list->Count++ : -1; }

int ImageListReplaceIcon(ImageListHandle list, int index, CursorHandle) {
  if (!Exists(list)) return -1;
  if (index == -1) return list->Count++;
  return index >= 0 && index < list->Count ? index : -1;
}

bool ImageListRemoveAll(ImageListHandle list) {
  if (!Exists(list)) return false;
  list->Count = 0;
  return true;
}

int ImageListGetImageCount(ImageListHandle list) { return Exists(list) ? list->Count : 0; }

bool ImageListBeginDrag(ImageListHandle list, int index, int hot_x, int hot_y) {
  Record("BeginDrag", index, hot_x, hot_y, nullptr, list);
  if (!Exists(list) || index < 0 || index >= list->Count) return false;
  Drag().List = list;
  Drag().HotSpot = Point{hot_x, hot_y};
  return true;
}

bool ImageListDragEnter(WindowHandle window, int x, int y) {
  Record("DragEnter", x, y, 0, window, nullptr);
  Drag().Window = window;
  Drag().Position = Point{x, y};
  return Drag().List != nullptr;
}

bool ImageListDragMove(int x, int y) {
  Record("DragMove", x, y, 0, nullptr, nullptr);
  Drag().Position = Point{x, y};
  return Drag().List != nullptr;
}

bool ImageListDragLeave(WindowHandle window) {
  Record("DragLeave", 0, 0, 0, window, nullptr);
  Drag().Window = nullptr;
  return true;
}

void ImageListEndDrag() {
  Record("EndDrag", 0, 0, 0, nullptr, nullptr);
  Drag().List = nullptr;
  Drag().Window = nullptr;
}

bool ImageListDragShowNolock(bool show) {
  Record("DragShowNolock", show ? 1 : 0, 0, 0, nullptr, nullptr);
  return Drag().List != nullptr;
}

bool ImageListSetDragCursorImage(ImageListHandle list, int index, int hot_x, int hot_y) {
  Record("SetDragCursorImage", index, hot_x, hot_y, nullptr, list);
  return Exists(list) && index >= 0 && index < list->Count;
}

ImageListHandle ImageListGetDragImage(Point* position, Point* hot_spot) {
  if (position != nullptr) *position = Drag().Position;
  if (hot_spot != nullptr) *hot_spot = Drag().HotSpot;
  return Drag().List;
}

namespace headless {

const std::vector<DragCall>& GetDragCalls() { return Drag().Calls; }

void ClearDragCalls() { Drag().Calls.clear(); }

int GetImageListCount() { return int(Lists().size()); }

ImageListInfo GetImageListInfo(ImageListHandle list) {
  if (!Exists(list)) return ImageListInfo{};
  return ImageListInfo{list->Width, list->Height, list->Flags, list->Count};
}

void ResetDrag() { Drag() = DragState{}; }

}  // namespace headless
}  // namespace tabulon

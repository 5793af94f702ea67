// Image lists: the toolkit's object with a lazily created platform handle,
// and the platform's image-list and drag-image functions, which work on
// handles (the drag image is one process-wide resource).
#pragma once

#include <cstdint>

#include "bitmap.h"
#include "geometry.h"
#include "handles.h"

namespace tabulon {

// ImageList_Create flags.
constexpr uint32_t kIlcMask = 0x0001;
constexpr uint32_t kIlcColor = 0x0000;  // default colour depth
constexpr uint32_t kIlcColorDdb = 0x00FE;
constexpr uint32_t kIlcColor24 = 0x0018;

class ImageList {
 public:
  ImageList() = default;
  ~ImageList();
  ImageList(const ImageList&) = delete;
  ImageList& operator=(const ImageList&) = delete;

  // Changing a setting frees the platform handle (and with it the images);
  // the next GetHandle creates a new one.
  void SetWidth(int width);
  void SetHeight(int height);
  // Colour depth: one of the kIlcColor* values.
  void SetColorDepth(uint32_t depth);
  void SetMasked(bool masked);
  void SetGrowBy(int grow_by);
  int GetWidth() const { return width_; }
  int GetHeight() const { return height_; }
  uint32_t GetColorDepth() const { return depth_; }
  bool IsMasked() const { return masked_; }
  // The flags the handle is created with (depth | kIlcMask when masked).
  uint32_t GetFlags() const;

  // The platform handle, created on first need; nullptr when the width or
  // the height is 0 or the platform refused.
  ImageListHandle GetHandle();
  bool HasHandle() const { return handle_ != nullptr; }
  // Adds a bitmap (mask may be null); the index, or -1 without a handle.
  int Add(Bitmap& image, Bitmap* mask);
  // Removes every image; the handle stays.
  void Clear();
  int GetCount() const;
  // Destroys the platform handle.
  void FreeHandle();

 private:
  int width_ = 32;
  int height_ = 32;
  uint32_t depth_ = kIlcColor;
  bool masked_ = true;
  int grow_by_ = 1;
  ImageListHandle handle_ = nullptr;
};

// The platform's functions of the same names (ImageList_...).
ImageListHandle ImageListCreate(int width, int height, uint32_t flags, int initial, int grow);
bool ImageListDestroy(ImageListHandle list);
int ImageListAdd(ImageListHandle list, Bitmap& image, Bitmap* mask);
// Appends (index -1) or replaces an image with a cursor; the index or -1.
int ImageListReplaceIcon(ImageListHandle list, int index, CursorHandle cursor);
bool ImageListRemoveAll(ImageListHandle list);
int ImageListGetImageCount(ImageListHandle list);

// Drag images. Coordinates are relative to the window's upper-left corner
// (title bar and borders included), as the platform expects.
bool ImageListBeginDrag(ImageListHandle list, int index, int hot_x, int hot_y);
bool ImageListDragEnter(WindowHandle window, int x, int y);
bool ImageListDragMove(int x, int y);
bool ImageListDragLeave(WindowHandle window);
void ImageListEndDrag();
bool ImageListDragShowNolock(bool show);
bool ImageListSetDragCursorImage(ImageListHandle list, int index, int hot_x, int hot_y);
// The current drag image list (nullptr when not dragging); position and
// hot spot are optional outputs.
ImageListHandle ImageListGetDragImage(Point* position, Point* hot_spot);

}  // namespace tabulon

#include "image_list.h"

namespace tabulon {

ImageList::~ImageList() { FreeHandle(); }

void ImageList::SetWidth(int width) {
  if (width_ == width) return;
  FreeHandle();
  width_ = width;
}

void ImageList::SetHeight(int height) {
  if (height_ == height) return;
  FreeHandle();
  height_ = height;
}

void ImageList::SetColorDepth(uint32_t depth) {
  if (depth_ == depth) return;
  FreeHandle();
  depth_ = depth;
}

void ImageList::SetMasked(bool masked) {
  if (masked_ == masked) return;
  FreeHandle();
  masked_ = masked;
}

void ImageList::SetGrowBy(int grow_by) { grow_by_ = grow_by < 1 ? 1 : grow_by; }

uint32_t ImageList::GetFlags() const { return depth_ | (masked_ ? kIlcMask : 0); }

ImageListHandle ImageList::GetHandle() {
  if (handle_ == nullptr && width_ > 0 && height_ > 0)
    handle_ = ImageListCreate(width_, height_, GetFlags(), 0, grow_by_);
  return handle_;
}

int ImageList::Add(Bitmap& image, Bitmap* mask) {
  ImageListHandle h = GetHandle();
  return h == nullptr ? -1 : ImageListAdd(h, image, mask);
}

void ImageList::Clear() {
  if (handle_ != nullptr) ImageListRemoveAll(handle_);
}

int ImageList::GetCount() const { return handle_ == nullptr ? 0 : ImageListGetImageCount(handle_); }

void ImageList::FreeHandle() {
  if (handle_ == nullptr) return;
  ImageListDestroy(handle_);
  handle_ = nullptr;
}

}  // namespace tabulon

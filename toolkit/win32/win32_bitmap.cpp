// Off-screen bitmaps: a GDI bitmap selected into a memory DC of its own,
// with one canvas on that DC for the bitmap's whole life.
#include <algorithm>

#include "win32_internal.h"

namespace tabulon {
namespace {

class Win32Bitmap : public Bitmap {
 public:
  Win32Bitmap(int width, int height, int bits_per_pixel)
      : bits_per_pixel_(bits_per_pixel == 24 ? 24 : 0), dc_(NewMemoryDc()), canvas_(dc_, nullptr) {
    SetSize(width, height);
  }

  ~Win32Bitmap() override {
    Deselect();
    if (bitmap_ != nullptr) DeleteObject(bitmap_);
    DeleteDC(dc_);
  }

  int GetWidth() const override { return width_; }
  int GetHeight() const override { return height_; }
  int GetBitsPerPixel() const override { return bits_per_pixel_; }
  Canvas& GetCanvas() override { return canvas_; }

  void SetSize(int width, int height) override {
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (bitmap_ != nullptr && width == width_ && height == height_) return;
    Deselect();
    if (bitmap_ != nullptr) DeleteObject(bitmap_);
    bitmap_ = nullptr;
    width_ = width;
    height_ = height;
    canvas_.SetSurfaceSize(Size{width_, height_});
    if (width_ == 0 || height_ == 0) return;
    bitmap_ = bits_per_pixel_ == 24 ? NewDib() : NewCompatible();
    Select();
  }

  // The image-list functions take the bitmap out of this DC and back.
  HBITMAP Deselect() {
    if (original_ != nullptr) SelectObject(dc_, original_);
    original_ = nullptr;
    return bitmap_;
  }
  void Select() {
    if (bitmap_ != nullptr && original_ == nullptr) original_ = SelectObject(dc_, bitmap_);
  }

 private:
  static HDC NewMemoryDc() {
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    ReleaseDC(nullptr, screen);
    return dc;
  }

  HBITMAP NewCompatible() const {
    HDC screen = GetDC(nullptr);
    HBITMAP b = CreateCompatibleBitmap(screen, width_, height_);
    ReleaseDC(nullptr, screen);
    return b;
  }

  HBITMAP NewDib() const {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width_;
    info.bmiHeader.biHeight = height_;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    return CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  }

  int bits_per_pixel_;
  int width_ = 0;
  int height_ = 0;
  HDC dc_;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ original_ = nullptr;  // what the DC held before the bitmap
  GdiCanvas canvas_;
};

}  // namespace

std::unique_ptr<Bitmap> NewBitmap(int width, int height, int bits_per_pixel) {
  return std::make_unique<Win32Bitmap>(width, height, bits_per_pixel);
}

LoanedBitmap::LoanedBitmap(Bitmap& bitmap) {
  if (auto* b = dynamic_cast<Win32Bitmap*>(&bitmap)) {
    bitmap_ = b->Deselect();
    owner_ = b;
  }
}

LoanedBitmap::~LoanedBitmap() {
  if (owner_ != nullptr) static_cast<Win32Bitmap*>(owner_)->Select();
}

}  // namespace tabulon

// Off-screen bitmaps with their own canvas, resizable (the grid paints its
// whole client area into one and copies it to the window at once).
#pragma once

#include <memory>

#include "canvas.h"

namespace tabulon {

class Bitmap {
 public:
  virtual ~Bitmap() = default;
  virtual int GetWidth() const = 0;
  virtual int GetHeight() const = 0;
  // Bits per pixel: 0 for a bitmap compatible with the screen.
  virtual int GetBitsPerPixel() const = 0;
  // New size; the content is undefined afterwards. Sizes below 0 count as 0.
  virtual void SetSize(int width, int height) = 0;
  // The canvas stays valid for the bitmap's life, across SetSize.
  virtual Canvas& GetCanvas() = 0;
};

// bits_per_pixel 0 makes a bitmap compatible with the screen; 24 a
// device-independent RGB one.
std::unique_ptr<Bitmap> NewBitmap(int width, int height, int bits_per_pixel = 0);

}  // namespace tabulon

#include "bitmap.h"
#include "headless_driver.h"

namespace tabulon {
namespace {

class HeadlessBitmap : public Bitmap {
 public:
  HeadlessBitmap(int width, int height, int bits_per_pixel)
      : canvas_(Size{width, height}), bits_per_pixel_(bits_per_pixel) {}
  int GetWidth() const override { return canvas_.GetSize().Width; }
  int GetHeight() const override { return canvas_.GetSize().Height; }
  int GetBitsPerPixel() const override { return bits_per_pixel_; }
  void SetSize(int width, int height) override {
    if (width != GetWidth() || height != GetHeight()) canvas_.Resize(Size{width, height});
  }
  Canvas& GetCanvas() override { return canvas_; }

 private:
  headless::HeadlessCanvas canvas_;
  int bits_per_pixel_;
};

}  // namespace

std::unique_ptr<Bitmap> NewBitmap(int width, int height, int bits_per_pixel) {
  return std::make_unique<HeadlessBitmap>(width, height, bits_per_pixel);
}

}  // namespace tabulon

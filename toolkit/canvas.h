// Canvas: a drawing surface over a window, a paint session or a bitmap.
// It holds the current font, brush and pen; every drawing call resolves
// system colours when it reaches the platform. Made by the backends only
// (Control::NewPaintCanvas, Control::NewWindowCanvas, Bitmap::GetCanvas).
#pragma once

#include <cstdint>
#include <string>

#include "color.h"
#include "font.h"
#include "geometry.h"

namespace tabulon {

// DrawText flags.
constexpr uint32_t kDtLeft = 0x0000;
constexpr uint32_t kDtTop = 0x0000;
constexpr uint32_t kDtCenter = 0x0001;
constexpr uint32_t kDtRight = 0x0002;
constexpr uint32_t kDtVCenter = 0x0004;
constexpr uint32_t kDtBottom = 0x0008;
constexpr uint32_t kDtWordBreak = 0x0010;
constexpr uint32_t kDtSingleLine = 0x0020;
constexpr uint32_t kDtNoClip = 0x0100;
constexpr uint32_t kDtNoPrefix = 0x0800;

// DrawEdge kinds and sides.
constexpr uint32_t kBdrRaisedOuter = 0x0001;
constexpr uint32_t kBdrSunkenOuter = 0x0002;
constexpr uint32_t kBdrRaisedInner = 0x0004;
constexpr uint32_t kBdrSunkenInner = 0x0008;
constexpr uint32_t kEdgeRaised = kBdrRaisedOuter | kBdrRaisedInner;
constexpr uint32_t kEdgeSunken = kBdrSunkenOuter | kBdrSunkenInner;
constexpr uint32_t kEdgeEtched = kBdrSunkenOuter | kBdrRaisedInner;
constexpr uint32_t kEdgeBump = kBdrRaisedOuter | kBdrSunkenInner;
constexpr uint32_t kBfLeft = 0x0001;
constexpr uint32_t kBfTop = 0x0002;
constexpr uint32_t kBfRight = 0x0004;
constexpr uint32_t kBfBottom = 0x0008;
constexpr uint32_t kBfRect = 0x000F;

enum class BrushStyle : uint8_t { Solid, Clear };

class Canvas {
 public:
  virtual ~Canvas() = default;

  // Size of the surface in pixels (client size, or the bitmap's size).
  virtual Size GetSize() const = 0;

  // The text font; DrawText uses its face and colour.
  void SetFont(const Font& font) { font_ = font; }
  const Font& GetFont() const { return font_; }
  Font& GetFont() { return font_; }

  // The brush fills Rectangle and, when solid, the text background.
  void SetBrushColor(Color c) { brush_color_ = c; brush_style_ = BrushStyle::Solid; }
  void SetBrushStyle(BrushStyle s) { brush_style_ = s; }
  Color GetBrushColor() const { return brush_color_; }
  BrushStyle GetBrushStyle() const { return brush_style_; }

  // The pen outlines Rectangle.
  void SetPenColor(Color c) { pen_color_ = c; }
  void SetPenWidth(int w) { pen_width_ = w; }
  Color GetPenColor() const { return pen_color_; }
  int GetPenWidth() const { return pen_width_; }

  // FillRect and FrameRect with a solid brush of the given colour.
  virtual void FillRect(const Rect& r, Color c) = 0;
  virtual void FrameRect(const Rect& r, Color c) = 0;
  // DrawTextA: text in UTF-8 with kDt* flags; '&' marks a mnemonic
  // unless kDtNoPrefix is given. Returns the height of the text drawn.
  virtual int DrawText(const std::string& text, const Rect& r, uint32_t flags) = 0;
  // DrawEdge with kBdr*/kEdge* and kBf* values.
  virtual void DrawEdge(const Rect& r, uint32_t edge, uint32_t sides) = 0;
  // DrawFocusRect: the dotted outline, drawn by inverting pixels.
  virtual void DrawFocusRect(const Rect& r) = 0;
  // Rectangle: outlined with the pen, filled with the brush unless the
  // brush style is Clear. Right and bottom are exclusive, as the platform's.
  virtual void Rectangle(const Rect& r) = 0;
  // Copies src_rect of source onto dest (BitBlt when the sizes agree,
  // StretchBlt otherwise), SRCCOPY.
  virtual void CopyRect(const Rect& dest, Canvas& source, const Rect& src_rect) = 0;
  // Width and height the text would take in the current font, one line.
  virtual Size MeasureText(const std::string& text) = 0;

 protected:
  Font font_;
  Color brush_color_ = 0xFFFFFF;
  BrushStyle brush_style_ = BrushStyle::Solid;
  Color pen_color_ = 0;
  int pen_width_ = 1;
};

}  // namespace tabulon

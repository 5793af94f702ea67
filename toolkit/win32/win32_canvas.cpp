// GDI drawing for the toolkit's canvas, and the process-wide font cache.
#include <map>
#include <tuple>

#include "win32_internal.h"

namespace tabulon {
namespace {

using FontKey = std::tuple<std::string, int, uint8_t, uint8_t>;

HFONT CreateFontFor(const Font& font) {
  LOGFONTW lf{};
  lf.lfHeight = font.GetHeight();
  lf.lfWeight = font.IsBold() ? FW_BOLD : FW_NORMAL;
  lf.lfItalic = (font.GetStyle() & kFontItalic) != 0;
  lf.lfUnderline = (font.GetStyle() & kFontUnderline) != 0;
  lf.lfStrikeOut = (font.GetStyle() & kFontStrikeOut) != 0;
  lf.lfCharSet = font.GetCharSet();
  lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
  lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  lf.lfQuality = DEFAULT_QUALITY;
  lf.lfPitchAndFamily = DEFAULT_PITCH;
  std::wstring name = Utf8ToWide(font.GetName()).substr(0, LF_FACESIZE - 1);
  name.copy(lf.lfFaceName, name.size());
  return CreateFontIndirectW(&lf);
}

void SelectFont(HDC dc, const Font& font) {
  SelectObject(dc, FontHandle(font));
  SetTextColor(dc, ResolveColor(font.GetColor()));
}

HBRUSH DcBrush(HDC dc, Color c) {
  SetDCBrushColor(dc, ResolveColor(c));
  return static_cast<HBRUSH>(GetStockObject(DC_BRUSH));
}

}  // namespace

HFONT FontHandle(const Font& font) {
  static std::map<FontKey, HFONT> cache;
  FontKey key{font.GetName(), font.GetSize(), font.GetCharSet(), font.GetStyle()};
  auto it = cache.find(key);
  if (it != cache.end()) return it->second;
  HFONT handle = CreateFontFor(font);
  cache.emplace(key, handle);
  return handle;
}

Size MeasureTextIn(HDC dc, const Font& font, const std::string& text) {
  HGDIOBJ old = SelectObject(dc, FontHandle(font));
  std::wstring wide = Utf8ToWide(text);
  SIZE extent{0, 0};
  GetTextExtentPoint32W(dc, wide.c_str(), int(wide.size()), &extent);
  TEXTMETRICW tm{};
  GetTextMetricsW(dc, &tm);
  SelectObject(dc, old);
  return Size{int(extent.cx), int(tm.tmHeight)};
}

Size GdiCanvas::GetSize() const {
  if (window_ == nullptr) return size_;
  RECT rc{};
  GetClientRect(window_, &rc);
  return Size{int(rc.right), int(rc.bottom)};
}

void GdiCanvas::FillRect(const Rect& r, Color c) {
  RECT rc = AsRECT(r);
  ::FillRect(dc_, &rc, DcBrush(dc_, c));
}

void GdiCanvas::FrameRect(const Rect& r, Color c) {
  RECT rc = AsRECT(r);
  ::FrameRect(dc_, &rc, DcBrush(dc_, c));
}

int GdiCanvas::DrawText(const std::string& text, const Rect& r, uint32_t flags) {
  SelectFont(dc_, font_);
  if (brush_style_ == BrushStyle::Solid) {
    SetBkMode(dc_, OPAQUE);
    SetBkColor(dc_, ResolveColor(brush_color_));
  } else {
    SetBkMode(dc_, TRANSPARENT);
  }
  std::wstring wide = Utf8ToWide(text);
  RECT rc = AsRECT(r);
  return ::DrawTextW(dc_, wide.c_str(), int(wide.size()), &rc, flags);
}

void GdiCanvas::DrawEdge(const Rect& r, uint32_t edge, uint32_t sides) {
  RECT rc = AsRECT(r);
  ::DrawEdge(dc_, &rc, edge, sides);
}

void GdiCanvas::DrawFocusRect(const Rect& r) {
  // The dots are the text and background colours inverted onto the surface.
  SetTextColor(dc_, RGB(0, 0, 0));
  SetBkColor(dc_, RGB(255, 255, 255));
  RECT rc = AsRECT(r);
  ::DrawFocusRect(dc_, &rc);
}

void GdiCanvas::Rectangle(const Rect& r) {
  HPEN pen = CreatePen(PS_SOLID, pen_width_, ResolveColor(pen_color_));
  HGDIOBJ old_pen = SelectObject(dc_, pen);
  HGDIOBJ brush = brush_style_ == BrushStyle::Clear ? GetStockObject(NULL_BRUSH)
                                                    : static_cast<HGDIOBJ>(DcBrush(dc_, brush_color_));
  HGDIOBJ old_brush = SelectObject(dc_, brush);
  ::Rectangle(dc_, r.Left, r.Top, r.Right, r.Bottom);
  SelectObject(dc_, old_brush);
  SelectObject(dc_, old_pen);
  DeleteObject(pen);
}

void GdiCanvas::CopyRect(const Rect& dest, Canvas& source, const Rect& src_rect) {
  auto* src = dynamic_cast<GdiCanvas*>(&source);
  if (src == nullptr) return;
  if (dest.GetWidth() == src_rect.GetWidth() && dest.GetHeight() == src_rect.GetHeight()) {
    BitBlt(dc_, dest.Left, dest.Top, dest.GetWidth(), dest.GetHeight(), src->dc_, src_rect.Left,
           src_rect.Top, SRCCOPY);
    return;
  }
  SetStretchBltMode(dc_, COLORONCOLOR);
  StretchBlt(dc_, dest.Left, dest.Top, dest.GetWidth(), dest.GetHeight(), src->dc_, src_rect.Left,
             src_rect.Top, src_rect.GetWidth(), src_rect.GetHeight(), SRCCOPY);
}

Size GdiCanvas::MeasureText(const std::string& text) { return MeasureTextIn(dc_, font_, text); }

}  // namespace tabulon

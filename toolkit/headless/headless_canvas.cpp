#include <algorithm>
#include <cstdio>

#include "headless_driver.h"
#include "utf8_length.h"

namespace tabulon {
namespace headless {
namespace {

// Colours of the two lines of each 3D edge kind: left/top, right/bottom.
struct EdgeColors {
  Color TopLeft;
  Color BottomRight;
};
constexpr EdgeColors kRaisedOuter{kCl3DLight, kCl3DDkShadow};
constexpr EdgeColors kRaisedInner{kClBtnHighlight, kClBtnShadow};
constexpr EdgeColors kSunkenOuter{kClBtnShadow, kClBtnHighlight};
constexpr EdgeColors kSunkenInner{kCl3DDkShadow, kCl3DLight};

}  // namespace

int GetCharWidth(const Font& font) {
  int h = -font.GetHeight();
  return std::max(1, (h + 1) / 2 + (font.IsBold() ? 1 : 0));
}

int GetLineHeight(const Font& font) { return -font.GetHeight() + 2; }

std::string StripMnemonic(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '&') {
      if (i + 1 < text.size() && text[i + 1] == '&') out += '&';
      ++i;
      if (i < text.size() && text[i] != '&') out += text[i];
      continue;
    }
    out += text[i];
  }
  return out;
}

namespace {

// The text with each character of several bytes as one placeholder byte:
// the rasteriser draws one box per character.
std::string OneBytePerCharacter(const std::string& text) {
  std::string cells;
  cells.reserve(text.size());
  for (size_t i = 0; i < text.size(); i += Utf8CharBytes(text, i))
    cells += Utf8CharBytes(text, i) == 1 ? text[i] : '#';
  return cells;
}

// Word breaking as DrawText does it: a line longer than the width is
// broken after its last blank that lets the first part fit; a word longer
// than the width stays whole on a line of its own (and is clipped).
void WrapLines(std::vector<std::string>& lines, std::vector<int>& underline, int width) {
  std::vector<std::string> out;
  std::vector<int> marks;
  const size_t fit = size_t(std::max(1, width));
  for (size_t n = 0; n < lines.size(); ++n) {
    std::string rest = lines[n];
    int mark = underline[n];
    while (rest.size() > fit) {
      size_t cut = rest.rfind(' ', fit);
      if (cut == std::string::npos || cut == 0) {
        cut = rest.find(' ', fit);
        if (cut == std::string::npos) break;
      }
      out.push_back(rest.substr(0, cut));
      marks.push_back(mark < int(cut) ? mark : -1);
      mark = mark > int(cut) ? mark - int(cut) - 1 : -1;
      rest.erase(0, cut + 1);
    }
    out.push_back(rest);
    marks.push_back(mark);
  }
  lines.swap(out);
  underline.swap(marks);
}

}  // namespace

HeadlessCanvas::HeadlessCanvas(Size size) { Resize(size); }

void HeadlessCanvas::Resize(Size size) {
  size_ = Size{std::max(0, size.Width), std::max(0, size.Height)};
  pixels_.assign(size_t(size_.Width) * size_t(size_.Height), 0xFFFFFF);
}

uint32_t HeadlessCanvas::GetPixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= size_.Width || y >= size_.Height) return 0;
  return pixels_[size_t(y) * size_t(size_.Width) + size_t(x)];
}

void HeadlessCanvas::Plot(int x, int y, uint32_t rgb) {
  if (x < 0 || y < 0 || x >= size_.Width || y >= size_.Height) return;
  pixels_[size_t(y) * size_t(size_.Width) + size_t(x)] = rgb;
}

void HeadlessCanvas::Fill(const Rect& r, uint32_t rgb) {
  int l = std::max(r.Left, 0), t = std::max(r.Top, 0);
  int rr = std::min(r.Right, size_.Width), b = std::min(r.Bottom, size_.Height);
  for (int y = t; y < b; ++y)
    std::fill_n(pixels_.begin() + ptrdiff_t(size_t(y) * size_t(size_.Width) + size_t(l)),
                std::max(0, rr - l), rgb);
}

void HeadlessCanvas::FillRect(const Rect& r, Color c) {
  CanvasCall call;
  call.Op = CanvasOp::FillRect;
  call.R = r;
  call.C = c;
  log_.push_back(call);
  Fill(r, ResolveColor(c));
}

void HeadlessCanvas::FrameRect(const Rect& r, Color c) {
  CanvasCall call;
  call.Op = CanvasOp::FrameRect;
  call.R = r;
  call.C = c;
  log_.push_back(call);
  if (r.IsEmpty()) return;
  uint32_t rgb = ResolveColor(c);
  Fill(Rect{r.Left, r.Top, r.Right, r.Top + 1}, rgb);
  Fill(Rect{r.Left, r.Bottom - 1, r.Right, r.Bottom}, rgb);
  Fill(Rect{r.Left, r.Top, r.Left + 1, r.Bottom}, rgb);
  Fill(Rect{r.Right - 1, r.Top, r.Right, r.Bottom}, rgb);
}

// Text as glyph boxes: each visible character is a box of the font colour
// inside its cell; a mnemonic character is underlined.
int HeadlessCanvas::DrawText(const std::string& text, const Rect& r, uint32_t flags) {
  CanvasCall call;
  call.Op = CanvasOp::DrawText;
  call.R = r;
  call.Text = text;
  call.Flags = flags;
  call.TextFont = font_;
  call.BrushColor = brush_color_;
  call.Brush = brush_style_;
  log_.push_back(call);

  // Lines and the position of the underlined character of each; a
  // character of several bytes takes one cell as any other.
  const std::string cells = OneBytePerCharacter(text);
  std::vector<std::string> lines(1);
  std::vector<int> underline(1, -1);
  bool prefix = (flags & kDtNoPrefix) == 0;
  for (size_t i = 0; i < cells.size(); ++i) {
    char c = cells[i];
    if (!(flags & kDtSingleLine) && (c == '\n' || c == '\r')) {
      if (c == '\r' && i + 1 < cells.size() && cells[i + 1] == '\n') ++i;
      lines.emplace_back();
      underline.push_back(-1);
      continue;
    }
    if (prefix && c == '&' && i + 1 < cells.size()) {
      ++i;
      if (cells[i] != '&') underline.back() = int(lines.back().size());
      c = cells[i];
    } else if (prefix && c == '&') {
      continue;
    }
    lines.back() += c;
  }
  const int cw = GetCharWidth(font_);
  const int lh = GetLineHeight(font_);
  if ((flags & kDtWordBreak) && !(flags & kDtSingleLine)) WrapLines(lines, underline, r.GetWidth() / cw);
  const int height = lh * int(lines.size());
  int top = r.Top;
  if (flags & kDtSingleLine) {
    if (flags & kDtVCenter) top = r.Top + (r.GetHeight() - lh) / 2;
    else if (flags & kDtBottom) top = r.Bottom - lh;
  }
  const Rect clip = (flags & kDtNoClip) ? Rect{0, 0, size_.Width, size_.Height} : r;
  auto clipped = [&](Rect a) {
    return Rect{std::max(a.Left, clip.Left), std::max(a.Top, clip.Top), std::min(a.Right, clip.Right),
                std::min(a.Bottom, clip.Bottom)};
  };
  const uint32_t ink = ResolveColor(font_.GetColor());
  for (size_t n = 0; n < lines.size(); ++n) {
    const std::string& line = lines[n];
    int width = int(line.size()) * cw;
    int left = r.Left;
    if (flags & kDtCenter) left = r.Left + (r.GetWidth() - width) / 2;
    else if (flags & kDtRight) left = r.Right - width;
    int y = top + int(n) * lh;
    if (brush_style_ == BrushStyle::Solid) Fill(clipped(NewRectOfSize(left, y, width, lh)), ResolveColor(brush_color_));
    for (size_t i = 0; i < line.size(); ++i) {
      int x = left + int(i) * cw;
      if (line[i] != ' ') Fill(clipped(Rect{x + 1, y + 2, x + cw - 1, y + lh - 2}), ink);
      if (int(i) == underline[n]) Fill(clipped(Rect{x, y + lh - 1, x + cw, y + lh}), ink);
    }
  }
  return height;
}

void HeadlessCanvas::DrawEdge(const Rect& r, uint32_t edge, uint32_t sides) {
  CanvasCall call;
  call.Op = CanvasOp::DrawEdge;
  call.R = r;
  call.Edge = edge;
  call.Flags = sides;
  log_.push_back(call);
  const EdgeColors* outer = (edge & kBdrRaisedOuter) ? &kRaisedOuter : (edge & kBdrSunkenOuter) ? &kSunkenOuter : nullptr;
  const EdgeColors* inner = (edge & kBdrRaisedInner) ? &kRaisedInner : (edge & kBdrSunkenInner) ? &kSunkenInner : nullptr;
  // A single line is drawn on the rectangle's own edge, whichever it is.
  if (outer == nullptr) std::swap(outer, inner);
  Rect a = r;
  for (const EdgeColors* e : {outer, inner}) {
    if (e == nullptr || a.IsEmpty()) break;
    uint32_t tl = ResolveColor(e->TopLeft), br = ResolveColor(e->BottomRight);
    if (sides & kBfLeft) Fill(Rect{a.Left, a.Top, a.Left + 1, a.Bottom}, tl);
    if (sides & kBfTop) Fill(Rect{a.Left, a.Top, a.Right, a.Top + 1}, tl);
    if (sides & kBfRight) Fill(Rect{a.Right - 1, a.Top, a.Right, a.Bottom}, br);
    if (sides & kBfBottom) Fill(Rect{a.Left, a.Bottom - 1, a.Right, a.Bottom}, br);
    if (sides & kBfLeft) ++a.Left;
    if (sides & kBfTop) ++a.Top;
    if (sides & kBfRight) --a.Right;
    if (sides & kBfBottom) --a.Bottom;
  }
}

void HeadlessCanvas::DrawFocusRect(const Rect& r) {
  CanvasCall call;
  call.Op = CanvasOp::DrawFocusRect;
  call.R = r;
  log_.push_back(call);
  if (r.IsEmpty()) return;
  // Every other pixel of the outline is inverted, so drawing twice erases.
  auto invert = [this](int x, int y) {
    if (((x + y) & 1) == 0) Plot(x, y, GetPixel(x, y) ^ 0xFFFFFF);
  };
  for (int x = r.Left; x < r.Right; ++x) {
    invert(x, r.Top);
    if (r.Bottom - 1 != r.Top) invert(x, r.Bottom - 1);
  }
  for (int y = r.Top + 1; y < r.Bottom - 1; ++y) {
    invert(r.Left, y);
    if (r.Right - 1 != r.Left) invert(r.Right - 1, y);
  }
}

void HeadlessCanvas::Rectangle(const Rect& r) {
  CanvasCall call;
  call.Op = CanvasOp::Rectangle;
  call.R = r;
  call.BrushColor = brush_color_;
  call.Brush = brush_style_;
  call.PenColor = pen_color_;
  call.PenWidth = pen_width_;
  log_.push_back(call);
  int w = std::max(1, pen_width_);
  if (brush_style_ == BrushStyle::Solid)
    Fill(Rect{r.Left + w, r.Top + w, r.Right - w, r.Bottom - w}, ResolveColor(brush_color_));
  uint32_t pen = ResolveColor(pen_color_);
  Fill(Rect{r.Left, r.Top, r.Right, r.Top + w}, pen);
  Fill(Rect{r.Left, r.Bottom - w, r.Right, r.Bottom}, pen);
  Fill(Rect{r.Left, r.Top, r.Left + w, r.Bottom}, pen);
  Fill(Rect{r.Right - w, r.Top, r.Right, r.Bottom}, pen);
}

void HeadlessCanvas::CopyRect(const Rect& dest, Canvas& source, const Rect& src_rect) {
  HeadlessCanvas* src = AsHeadless(source);
  CanvasCall call;
  call.Op = CanvasOp::CopyRect;
  call.R = dest;
  call.Source = src;
  call.SourceRect = src_rect;
  log_.push_back(call);
  if (src == nullptr || dest.IsEmpty() || src_rect.IsEmpty()) return;
  // Nearest pixel, which is a plain copy when the sizes agree. The source
  // is read whole first: it may be this canvas.
  std::vector<uint32_t> from = src->pixels_;
  const int sw = src->size_.Width, sh = src->size_.Height;
  for (int y = dest.Top; y < dest.Bottom; ++y) {
    int sy = src_rect.Top + int(int64_t(y - dest.Top) * src_rect.GetHeight() / dest.GetHeight());
    for (int x = dest.Left; x < dest.Right; ++x) {
      int sx = src_rect.Left + int(int64_t(x - dest.Left) * src_rect.GetWidth() / dest.GetWidth());
      if (sx < 0 || sy < 0 || sx >= sw || sy >= sh) continue;
      Plot(x, y, from[size_t(sy) * size_t(sw) + size_t(sx)]);
    }
  }
}

Size HeadlessCanvas::MeasureText(const std::string& text) {
  return Size{int(Utf8Length(text)) * GetCharWidth(font_), GetLineHeight(font_)};
}

bool HeadlessCanvas::SaveBmp(const std::string& path) const {
  const int w = size_.Width, h = size_.Height;
  const uint32_t row = uint32_t((w * 3 + 3) & ~3);
  const uint32_t data = row * uint32_t(h);
  std::vector<uint8_t> file(54 + data, 0);
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) file[at + size_t(i)] = uint8_t(v >> (8 * i));
  };
  file[0] = 'B';
  file[1] = 'M';
  put32(2, uint32_t(file.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, uint32_t(w));
  put32(22, uint32_t(h));
  file[26] = 1;
  file[28] = 24;
  put32(34, data);
  for (int y = 0; y < h; ++y) {
    uint8_t* out = &file[54 + size_t(h - 1 - y) * row];
    for (int x = 0; x < w; ++x) {
      uint32_t c = GetPixel(x, y);  // 0x00BBGGRR
      out[3 * x] = uint8_t(c >> 16);
      out[3 * x + 1] = uint8_t(c >> 8);
      out[3 * x + 2] = uint8_t(c);
    }
  }
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  bool ok = std::fwrite(file.data(), 1, file.size(), f) == file.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace headless
}  // namespace tabulon

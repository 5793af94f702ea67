// What the files of the Win32 backend share: text conversion at the API
// boundary, handle casts, the font cache, the GDI canvas and the
// common-controls set-up. Internal to toolkit/win32/.
#pragma once

#include <windows.h>
#include <commctrl.h>
// Canvas::DrawText is the toolkit's own name; the wide function is called
// by its full name.
#undef DrawText

#include <string>

#include "bitmap.h"
#include "canvas.h"
#include "font.h"
#include "handles.h"

namespace tabulon {

class MenuBar;

// The program's UTF-8 text and paths to UTF-16 and back, independent of
// the system's ANSI code page.
std::wstring Utf8ToWide(const std::string& utf8);
std::string WideToUtf8(const wchar_t* wide);
std::string WideToUtf8(const wchar_t* wide, size_t length);

inline HWND AsHwnd(WindowHandle w) { return reinterpret_cast<HWND>(w); }
inline WindowHandle AsWindowHandle(HWND h) { return reinterpret_cast<WindowHandle>(h); }
inline HCURSOR AsHcursor(CursorHandle c) { return reinterpret_cast<HCURSOR>(c); }
inline HIMAGELIST AsHimagelist(ImageListHandle l) { return reinterpret_cast<HIMAGELIST>(l); }
inline RECT AsRECT(const Rect& r) { return RECT{r.Left, r.Top, r.Right, r.Bottom}; }

// Registers the common control classes once (list boxes, image lists, ...).
void EnsureCommonControls();

// The platform font of a face: one per distinct name, size, character set
// and style for the whole process, never freed (there are only a few).
HFONT FontHandle(const Font& font);

// A canvas on a device context. The owner of the context (a paint session,
// a window's DC, a bitmap's memory DC) decides its life.
class GdiCanvas : public Canvas {
 public:
  // window: the size is its client size; nullptr: the size set by SetSize.
  GdiCanvas(HDC dc, HWND window) : dc_(dc), window_(window) {}
  void SetSurfaceSize(Size size) { size_ = size; }

  Size GetSize() const override;
  void FillRect(const Rect& r, Color c) override;
  void FrameRect(const Rect& r, Color c) override;
  int DrawText(const std::string& text, const Rect& r, uint32_t flags) override;
  void DrawEdge(const Rect& r, uint32_t edge, uint32_t sides) override;
  void DrawFocusRect(const Rect& r) override;
  void Rectangle(const Rect& r) override;
  void CopyRect(const Rect& dest, Canvas& source, const Rect& src_rect) override;
  Size MeasureText(const std::string& text) override;

 protected:
  HDC dc_;

 private:
  HWND window_;
  Size size_;
};

// The text extent of one line in a font (the line height even for "").
Size MeasureTextIn(HDC dc, const Font& font, const std::string& text);

// The GDI bitmap of a toolkit Bitmap, taken out of the bitmap's memory DC
// while this object lives: a bitmap can be selected into one DC at a time,
// and the image-list functions select it into their own.
class LoanedBitmap {
 public:
  explicit LoanedBitmap(Bitmap& bitmap);
  ~LoanedBitmap();
  LoanedBitmap(const LoanedBitmap&) = delete;
  LoanedBitmap& operator=(const LoanedBitmap&) = delete;
  HBITMAP Get() const { return bitmap_; }

 private:
  Bitmap* owner_ = nullptr;
  HBITMAP bitmap_ = nullptr;
};

// The menu of a form's menu bar: bar items and their submenus, item i with
// the command id MenuBar::kMenuCommandBase + i.
HMENU BuildMenu(const MenuBar& menu);

}  // namespace tabulon

// The window of each control kind: class, styles from the toolkit's
// options, and the per-window state calls of ControlPeer.

#include <algorithm>
#include <vector>

#include "menu.h"
#include "win32_peer.h"

namespace tabulon {
namespace {

struct WindowKind {
  std::wstring ClassName;
  DWORD Style = WS_CHILD | WS_CLIPSIBLINGS;
  DWORD ExStyle = 0;
  bool OwnClass = false;
};

DWORD Flag(uint32_t options, uint32_t option, DWORD style) { return (options & option) != 0 ? style : 0; }

DWORD BorderStyles(uint32_t o) { return Flag(o, kOptBorderSingle, WS_BORDER); }
DWORD BorderExStyles(uint32_t o) { return Flag(o, kOptBorderSunken, WS_EX_CLIENTEDGE); }

WindowKind Describe(const ControlParams& p) {
  const uint32_t o = p.Options;
  WindowKind k;
  switch (p.Kind) {
    case ControlKind::Form:
      k.ClassName = L"TabulonForm";
      k.Style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_CLIPCHILDREN |
                Flag(o, kOptMinimizeBox, WS_MINIMIZEBOX) | Flag(o, kOptMaximizeBox, WS_MAXIMIZEBOX);
      k.OwnClass = true;
      break;
    case ControlKind::Panel:
      k.ClassName = L"TabulonPanel";
      k.Style |= WS_CLIPCHILDREN;
      k.OwnClass = true;
      break;
    case ControlKind::Label:
      k.ClassName = L"STATIC";
      k.Style |= SS_LEFT | SS_NOPREFIX;
      break;
    case ControlKind::Button:
      k.ClassName = L"BUTTON";
      k.Style |= WS_TABSTOP | BS_PUSHBUTTON;
      break;
    case ControlKind::CheckBox:
      k.ClassName = L"BUTTON";
      k.Style |= WS_TABSTOP | BS_AUTOCHECKBOX;
      break;
    case ControlKind::Edit:
    case ControlKind::Memo:
      k.ClassName = L"EDIT";
      k.Style |= WS_TABSTOP | ES_LEFT | BorderStyles(o) | Flag(o, kOptDigitsOnly, ES_NUMBER) |
                 Flag(o, kOptReadOnly, ES_READONLY) | Flag(o, kOptVScrollBar, WS_VSCROLL) |
                 Flag(o, kOptHScrollBar, WS_HSCROLL) | Flag(o, kOptAutoVScroll, ES_AUTOVSCROLL) |
                 Flag(o, kOptAutoHScroll, ES_AUTOHSCROLL);
      if (p.Kind == ControlKind::Memo) k.Style |= ES_MULTILINE | ES_WANTRETURN;
      k.ExStyle = BorderExStyles(o);
      break;
    case ControlKind::ListBox:
      k.ClassName = L"LISTBOX";
      k.Style |= WS_TABSTOP | LBS_NOTIFY | BorderStyles(o) | Flag(o, kOptVScrollBar, WS_VSCROLL) |
                 Flag(o, kOptNoIntegralHeight, LBS_NOINTEGRALHEIGHT);
      k.ExStyle = BorderExStyles(o);
      break;
    case ControlKind::ComboBox:
      k.ClassName = L"COMBOBOX";
      k.Style |= WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST |
                 Flag(o, kOptNoIntegralHeight, CBS_NOINTEGRALHEIGHT);
      break;
    case ControlKind::Custom:
      k.ClassName = Utf8ToWide(p.ClassName.empty() ? std::string("TabulonCustom") : p.ClassName);
      // Shown by the control once it exists.
      k.Style = p.Style & ~DWORD(WS_VISIBLE);
      k.OwnClass = true;
      break;
  }
  return k;
}

UINT OwnClassStyle(const ControlParams& p) {
  switch (p.Kind) {
    case ControlKind::Form: return CS_DBLCLKS;
    // The raised edge runs along the whole border.
    case ControlKind::Panel: return CS_HREDRAW | CS_VREDRAW;
    default: return p.ClassStyle;
  }
}

// The paint structure of a PaintCanvas, in a base constructed before the
// canvas: BeginPaint fills it while the canvas is made, and a member would
// be initialised (emptied) only afterwards, losing the device context that
// EndPaint must give back.
struct PaintStructHolder {
  PAINTSTRUCT ps_{};
};

// A canvas between BeginPaint and EndPaint.
class PaintCanvas : private PaintStructHolder, public GdiCanvas {
 public:
  explicit PaintCanvas(HWND window)
      : PaintStructHolder(), GdiCanvas(BeginPaint(window, &ps_), window), window_(window) {}
  ~PaintCanvas() override { EndPaint(window_, &ps_); }

 private:
  HWND window_;
};

// A canvas on the window's DC, released at destruction.
class WindowDcCanvas : public GdiCanvas {
 public:
  explicit WindowDcCanvas(HWND window) : GdiCanvas(GetDC(window), window), window_(window) {}
  ~WindowDcCanvas() override { ReleaseDC(window_, dc_); }

 private:
  HWND window_;
};

}  // namespace

Win32Peer::Win32Peer(Control& owner, const ControlParams& params, Win32Peer* parent)
    : owner_(owner), kind_(params.Kind), options_(params.Options) {
  EnsureCommonControls();
  WindowKind k = Describe(params);
  if (k.OwnClass) RegisterOwnClass(k.ClassName, OwnClassStyle(params), kind_ == ControlKind::Form);
  HWND parent_window = kind_ == ControlKind::Form ? nullptr
                       : parent != nullptr        ? parent->hwnd_
                                                  : ParkingWindow();
  if (kind_ == ControlKind::ComboBox) drop_down_lines_ = int(params.Style);
  const Rect& b = params.Bounds;
  hwnd_ = CreateWindowExW(k.ExStyle, k.ClassName.c_str(), L"", k.Style, b.Left, b.Top, b.GetWidth(),
                          b.GetHeight(), parent_window, nullptr, GetModuleHandleW(nullptr), nullptr);
  // Sized before the window is attached: its control does not hold this
  // peer yet and must not see messages.
  if (kind_ == ControlKind::ComboBox) SetBounds(b);
  SetPeerOf(hwnd_, this);
  if (!k.OwnClass) {
    original_proc_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WindowProc)));
  }
}

Win32Peer::~Win32Peer() {
  HWND window = hwnd_;
  Detach();
  if (window != nullptr) DestroyWindow(window);
  if (brush_ != nullptr) DeleteObject(brush_);
}

void Win32Peer::Detach() {
  if (hwnd_ == nullptr) return;
  SetPeerOf(hwnd_, nullptr);
  if (original_proc_ != nullptr)
    SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original_proc_));
  original_proc_ = nullptr;
  hwnd_ = nullptr;
}

void Win32Peer::SetParent(ControlPeer* parent) {
  if (kind_ == ControlKind::Form) return;
  auto* p = static_cast<Win32Peer*>(parent);
  ::SetParent(hwnd_, p != nullptr ? p->hwnd_ : ParkingWindow());
}

void Win32Peer::SetBounds(const Rect& r) {
  int height = r.GetHeight();
  // A drop-down list's window height includes the dropped list.
  if (kind_ == ControlKind::ComboBox) {
    int item = int(SendMessageW(hwnd_, CB_GETITEMHEIGHT, 0, 0));
    height += std::max(drop_down_lines_, 1) * std::max(item, 1) + 2;
  }
  SetWindowPos(hwnd_, nullptr, r.Left, r.Top, r.GetWidth(), height, SWP_NOZORDER | SWP_NOACTIVATE);
}

Rect Win32Peer::GetBounds() const {
  RECT rc{};
  ::GetWindowRect(hwnd_, &rc);
  if (kind_ != ControlKind::Form) MapWindowPoints(nullptr, ::GetParent(hwnd_), reinterpret_cast<POINT*>(&rc), 2);
  return Rect{int(rc.left), int(rc.top), int(rc.right), int(rc.bottom)};
}

Size Win32Peer::GetClientSize() const {
  RECT rc{};
  GetClientRect(hwnd_, &rc);
  return Size{int(rc.right), int(rc.bottom)};
}

Size Win32Peer::WindowSizeForClient(Size client) const {
  // Frame, caption and menu as they are now.
  Rect b = GetBounds();
  Size now = GetClientSize();
  return Size{b.GetWidth() - now.Width + client.Width, b.GetHeight() - now.Height + client.Height};
}

Point Win32Peer::ClientToScreen(Point client) const {
  POINT p{client.X, client.Y};
  ::ClientToScreen(hwnd_, &p);
  return Point{int(p.x), int(p.y)};
}

Rect Win32Peer::GetWindowRect() const {
  RECT rc{};
  ::GetWindowRect(hwnd_, &rc);
  return Rect{int(rc.left), int(rc.top), int(rc.right), int(rc.bottom)};
}

void Win32Peer::SetVisible(bool visible) { ShowWindow(hwnd_, visible ? SW_SHOW : SW_HIDE); }

void Win32Peer::SetText(const std::string& text) { SetWindowTextW(hwnd_, Utf8ToWide(text).c_str()); }

std::string Win32Peer::GetText() const {
  std::vector<wchar_t> buffer(size_t(GetWindowTextLengthW(hwnd_)) + 1, L'\0');
  int n = GetWindowTextW(hwnd_, buffer.data(), int(buffer.size()));
  return WideToUtf8(buffer.data(), size_t(std::max(n, 0)));
}

void Win32Peer::SetFont(const Font& font) {
  font_ = font;
  SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(FontHandle(font_)), TRUE);
}

void Win32Peer::SetColor(Color color) {
  color_ = color;
  if (brush_ != nullptr) DeleteObject(brush_);
  brush_ = IsSystemColor(color) ? nullptr : CreateSolidBrush(ResolveColor(color));
}

HBRUSH Win32Peer::Background() const {
  return brush_ != nullptr ? brush_ : GetSysColorBrush(GetSystemColorIndex(color_));
}

HBRUSH Win32Peer::ColorBrush(HDC dc) const {
  SetTextColor(dc, ResolveColor(font_.GetColor()));
  SetBkColor(dc, ResolveColor(color_));
  return Background();
}

void Win32Peer::PaintPanel() {
  PaintCanvas canvas(hwnd_);
  Size s = GetClientSize();
  canvas.DrawEdge(Rect{0, 0, s.Width, s.Height}, kBdrRaisedInner, kBfRect);
}

void Win32Peer::SetCursor(CursorHandle cursor) {
  cursor_ = AsHcursor(cursor);
  // Shown at once when the pointer is over the client area, not only at
  // the next move.
  POINT p{};
  ::GetCursorPos(&p);
  if (WindowFromPoint(p) != hwnd_) return;
  ScreenToClient(hwnd_, &p);
  RECT rc{};
  GetClientRect(hwnd_, &rc);
  if (!PtInRect(&rc, p)) return;
  ::SetCursor(cursor_ != nullptr ? cursor_ : reinterpret_cast<HCURSOR>(GetClassLongPtrW(hwnd_, GCLP_HCURSOR)));
}

int Win32Peer::SetScrollInfo(int bar, const ScrollInfo& info, bool redraw) {
  SCROLLINFO si{};
  si.cbSize = sizeof(si);
  si.fMask = info.Mask;
  si.nMin = info.Min;
  si.nMax = info.Max;
  si.nPage = UINT(std::max(info.Page, 0));
  si.nPos = info.Pos;
  si.nTrackPos = info.TrackPos;
  return ::SetScrollInfo(hwnd_, bar, &si, redraw);
}

ScrollInfo Win32Peer::GetScrollInfo(int bar) const {
  SCROLLINFO si{};
  si.cbSize = sizeof(si);
  si.fMask = SIF_ALL;
  ScrollInfo s;
  if (!::GetScrollInfo(hwnd_, bar, &si)) return s;
  s.Min = si.nMin;
  s.Max = si.nMax;
  s.Page = int(si.nPage);
  s.Pos = si.nPos;
  s.TrackPos = si.nTrackPos;
  SCROLLBARINFO sbi{};
  sbi.cbSize = sizeof(sbi);
  if (GetScrollBarInfo(hwnd_, bar == SB_HORZ ? LONG(OBJID_HSCROLL) : LONG(OBJID_VSCROLL), &sbi))
    s.Enabled = (sbi.rgstate[0] & (STATE_SYSTEM_UNAVAILABLE | STATE_SYSTEM_INVISIBLE)) == 0;
  return s;
}

void Win32Peer::SetOptions(uint32_t options) {
  options_ = (options_ & ~(kOptMinimizeBox | kOptMaximizeBox)) | options;
  LONG_PTR style = GetWindowLongPtrW(hwnd_, GWL_STYLE) & ~LONG_PTR(WS_MINIMIZEBOX | WS_MAXIMIZEBOX);
  style |= Flag(options, kOptMinimizeBox, WS_MINIMIZEBOX) | Flag(options, kOptMaximizeBox, WS_MAXIMIZEBOX);
  SetWindowLongPtrW(hwnd_, GWL_STYLE, style);
  SetWindowPos(hwnd_, nullptr, 0, 0, 0, 0,
               SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

std::unique_ptr<Canvas> Win32Peer::NewPaintCanvas(uintptr_t dc) {
  std::unique_ptr<Canvas> canvas;
  if (dc != 0) {
    canvas = std::make_unique<GdiCanvas>(reinterpret_cast<HDC>(dc), hwnd_);
  } else {
    canvas = std::make_unique<PaintCanvas>(hwnd_);
  }
  canvas->SetFont(font_);
  return canvas;
}

std::unique_ptr<Canvas> Win32Peer::NewWindowCanvas() {
  std::unique_ptr<Canvas> canvas = std::make_unique<WindowDcCanvas>(hwnd_);
  canvas->SetFont(font_);
  return canvas;
}

intptr_t Win32Peer::Send(uint32_t id, uintptr_t wparam, intptr_t lparam) {
  return SendMessageW(hwnd_, id, wparam, lparam);
}

void Win32Peer::AddItem(const std::string& item) {
  std::wstring wide = Utf8ToWide(item);
  UINT add = kind_ == ControlKind::ComboBox ? CB_ADDSTRING : LB_ADDSTRING;
  SendMessageW(hwnd_, add, 0, reinterpret_cast<LPARAM>(wide.c_str()));
}

void Win32Peer::AddItems(const std::vector<std::string>& items) {
  const bool combo = kind_ == ControlKind::ComboBox;
  SendMessageW(hwnd_, WM_SETREDRAW, FALSE, 0);
  if (!combo) {
    // Room reserved once instead of grown line by line.
    size_t chars = 0;
    for (const std::string& item : items) chars += item.size() + 1;
    SendMessageW(hwnd_, LB_INITSTORAGE, WPARAM(items.size()), LPARAM(chars * sizeof(wchar_t)));
  }
  // Straight to the control's own procedure: through the subclass every
  // line would cost two window-property look-ups, which under Wine are
  // calls to its server (seconds for tens of thousands of lines).
  const UINT add = combo ? CB_ADDSTRING : LB_ADDSTRING;
  for (const std::string& item : items) {
    std::wstring wide = Utf8ToWide(item);
    const LPARAM text = reinterpret_cast<LPARAM>(wide.c_str());
    if (original_proc_ != nullptr)
      CallWindowProcW(original_proc_, hwnd_, add, 0, text);
    else
      SendMessageW(hwnd_, add, 0, text);
  }
  SendMessageW(hwnd_, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(hwnd_, nullptr, TRUE);
}

std::string Win32Peer::GetItem(int index) const {
  const bool combo = kind_ == ControlKind::ComboBox;
  LRESULT n = SendMessageW(hwnd_, combo ? CB_GETLBTEXTLEN : LB_GETTEXTLEN, WPARAM(index), 0);
  if (n < 0) return std::string();
  std::vector<wchar_t> buffer(size_t(n) + 1, L'\0');
  n = SendMessageW(hwnd_, combo ? CB_GETLBTEXT : LB_GETTEXT, WPARAM(index),
                   reinterpret_cast<LPARAM>(buffer.data()));
  return WideToUtf8(buffer.data(), size_t(std::max<LRESULT>(n, 0)));
}

void Win32Peer::AppendText(const std::string& text) {
  std::wstring wide = Utf8ToWide(text);
  int end = GetWindowTextLengthW(hwnd_);
  SendMessageW(hwnd_, EM_SETSEL, WPARAM(end), LPARAM(end));
  SendMessageW(hwnd_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(wide.c_str()));
}

Size Win32Peer::MeasureText(const std::string& text) const {
  HDC dc = GetDC(hwnd_);
  Size s = MeasureTextIn(dc, font_, text);
  ReleaseDC(hwnd_, dc);
  return s;
}

void Win32Peer::SetMenu(MenuBar* menu) {
  HMENU old = ::GetMenu(hwnd_);
  ::SetMenu(hwnd_, menu != nullptr ? BuildMenu(*menu) : nullptr);
  if (old != nullptr) DestroyMenu(old);
}

std::unique_ptr<ControlPeer> NewControlPeer(Control& owner, const ControlParams& params,
                                            ControlPeer* parent) {
  return std::make_unique<Win32Peer>(owner, params, static_cast<Win32Peer*>(parent));
}

}  // namespace tabulon

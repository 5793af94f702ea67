// The Win32 window of a control. Standard controls (static, button, edit,
// list box, combo box) are subclassed, and forms, panels and custom
// controls have window classes of their own, so that every message goes
// through Control::Dispatch before the platform's processing. Internal to
// the Win32 backend.
#pragma once

#include "driver.h"
#include "win32_internal.h"

namespace tabulon {

class Win32Peer : public ControlPeer {
 public:
  Win32Peer(Control& owner, const ControlParams& params, Win32Peer* parent);
  ~Win32Peer() override;

  WindowHandle GetHandle() const override { return AsWindowHandle(hwnd_); }
  void SetParent(ControlPeer* parent) override;
  void SetBounds(const Rect& r) override;
  Rect GetBounds() const override;
  Size GetClientSize() const override;
  Size WindowSizeForClient(Size client) const override;
  Point ClientToScreen(Point client) const override;
  Rect GetWindowRect() const override;
  void SetVisible(bool visible) override;
  void SetEnabled(bool enabled) override { EnableWindow(hwnd_, enabled); }
  void SetText(const std::string& text) override;
  std::string GetText() const override;
  void SetFont(const Font& font) override;
  void SetColor(Color color) override;
  void SetFocus() override { ::SetFocus(hwnd_); }
  bool IsFocused() const override { return ::GetFocus() == hwnd_; }
  void Invalidate() override { InvalidateRect(hwnd_, nullptr, TRUE); }
  void Update() override { UpdateWindow(hwnd_); }
  void SetCursor(CursorHandle cursor) override;
  int SetScrollInfo(int bar, const ScrollInfo& info, bool redraw) override;
  ScrollInfo GetScrollInfo(int bar) const override;
  uint32_t GetStyle() const override { return uint32_t(GetWindowLongPtrW(hwnd_, GWL_STYLE)); }
  uint32_t GetClassStyle() const override { return uint32_t(GetClassLongPtrW(hwnd_, GCL_STYLE)); }
  void SetOptions(uint32_t options) override;
  std::unique_ptr<Canvas> NewPaintCanvas(uintptr_t dc) override;
  std::unique_ptr<Canvas> NewWindowCanvas() override;
  intptr_t Send(uint32_t id, uintptr_t wparam, intptr_t lparam) override;
  void AddItem(const std::string& item) override;
  void AddItems(const std::vector<std::string>& items) override;
  std::string GetItem(int index) const override;
  void AppendText(const std::string& text) override;
  Size MeasureText(const std::string& text) const override;
  void SetMenu(MenuBar* menu) override;

  // The window procedures (win32_window_proc.cpp).
  static Win32Peer* FromWindow(HWND window);
  Control& GetOwner() const { return owner_; }
  // What happens to a message the control did not consume.
  LRESULT DefaultProcess(UINT id, WPARAM wparam, LPARAM lparam);
  // The window is being destroyed by the platform.
  void Detach();

 private:
  // The answer to WM_CTLCOLOR*: this control's background and text colour.
  HBRUSH ColorBrush(HDC dc) const;
  HBRUSH Background() const;
  void PaintPanel();

  Control& owner_;
  ControlKind kind_;
  uint32_t options_;
  int drop_down_lines_ = 0;  // combo boxes
  HWND hwnd_ = nullptr;
  WNDPROC original_proc_ = nullptr;  // subclassed standard controls
  Font font_;
  Color color_ = kClWindow;
  HBRUSH brush_ = nullptr;  // owned; only for RGB colours
  HCURSOR cursor_ = nullptr;
};

// Window procedures and classes (win32_window_proc.cpp).
// The procedure of the own classes and the subclass procedure of the
// standard controls.
LRESULT CALLBACK WindowProc(HWND window, UINT id, WPARAM wparam, LPARAM lparam);
// Registers a class of the toolkit's own once (name in UTF-16).
void RegisterOwnClass(const std::wstring& name, UINT class_style, bool with_icon);
// The hidden window that holds parked controls.
HWND ParkingWindow();
void SetPeerOf(HWND window, Win32Peer* peer);

}  // namespace tabulon

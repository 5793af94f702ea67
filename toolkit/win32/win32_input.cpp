// Keyboard, mouse and cursor services, and the program's cursor resources.
#include "input.h"
#include "win32_internal.h"

namespace tabulon {

int16_t GetKeyState(int virtual_key) { return int16_t(::GetKeyState(virtual_key)); }

Point GetCursorPos() {
  POINT p{0, 0};
  ::GetCursorPos(&p);
  return Point{int(p.x), int(p.y)};
}

void SetCursorPos(Point screen) { ::SetCursorPos(screen.X, screen.Y); }
int ShowCursor(bool show) { return ::ShowCursor(show); }
Size GetCursorSize() { return Size{GetSystemMetrics(SM_CXCURSOR), GetSystemMetrics(SM_CYCURSOR)}; }
void ReleaseCapture() { ::ReleaseCapture(); }
WindowHandle GetFocus() { return AsWindowHandle(::GetFocus()); }

Point ClientToScreen(WindowHandle window, Point client) {
  POINT p{client.X, client.Y};
  ::ClientToScreen(AsHwnd(window), &p);
  return Point{int(p.x), int(p.y)};
}

Rect GetWindowRect(WindowHandle window) {
  RECT r{};
  ::GetWindowRect(AsHwnd(window), &r);
  return Rect{int(r.left), int(r.top), int(r.right), int(r.bottom)};
}

// Loaded unshared at the size drawn in the resource, so that
// DestroyCursor may free it.
CursorHandle LoadResourceCursor(int resource_id) {
  HANDLE cursor = LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(resource_id), IMAGE_CURSOR,
                             0, 0, 0);
  return reinterpret_cast<CursorHandle>(cursor);
}

void DestroyCursor(CursorHandle cursor) {
  if (cursor != nullptr) ::DestroyCursor(AsHcursor(cursor));
}

Point GetCursorHotSpot(CursorHandle cursor) {
  ICONINFO info{};
  if (cursor == nullptr || !GetIconInfo(reinterpret_cast<HICON>(cursor), &info)) return Point{};
  if (info.hbmMask != nullptr) DeleteObject(info.hbmMask);
  if (info.hbmColor != nullptr) DeleteObject(info.hbmColor);
  return Point{int(info.xHotspot), int(info.yHotspot)};
}

}  // namespace tabulon

#include <bitset>

#include "headless_peer.h"
#include "input.h"

namespace tabulon {

struct CursorObject {
  int ResourceId;
  Point HotSpot;
};

namespace {

struct InputState {
  std::bitset<256> Down;
  Point Cursor;
  int DisplayCount = 0;
  int ReleaseCaptures = 0;
};

InputState& Input() {
  static InputState state;
  return state;
}

// The program's cursor resources, as loaded: shared, never destroyed.
CursorObject kColSizing{kColSizingCursorId, Point{16, 14}};
CursorObject kRowSizing{kRowSizingCursorId, Point{14, 12}};

}  // namespace

int16_t GetKeyState(int virtual_key) {
  return virtual_key >= 0 && virtual_key < 256 && Input().Down[size_t(virtual_key)] ? int16_t(-128) : 0;
}

Point GetCursorPos() { return Input().Cursor; }
void SetCursorPos(Point screen) { Input().Cursor = screen; }

int ShowCursor(bool show) { return show ? ++Input().DisplayCount : --Input().DisplayCount; }

Size GetCursorSize() { return Size{headless::kCursorSize, headless::kCursorSize}; }

void ReleaseCapture() { ++Input().ReleaseCaptures; }

WindowHandle GetFocus() {
  HeadlessPeer* focused = FocusedPeer();
  return focused == nullptr ? nullptr : focused->GetHandle();
}

Point ClientToScreen(WindowHandle window, Point client) {
  HeadlessPeer* peer = HeadlessPeer::FromHandle(window);
  return peer == nullptr ? client : peer->ClientToScreen(client);
}

Rect GetWindowRect(WindowHandle window) {
  HeadlessPeer* peer = HeadlessPeer::FromHandle(window);
  return peer == nullptr ? Rect{} : peer->GetWindowRect();
}

CursorHandle LoadResourceCursor(int resource_id) {
  if (resource_id == kColSizingCursorId) return &kColSizing;
  if (resource_id == kRowSizingCursorId) return &kRowSizing;
  return nullptr;
}

void DestroyCursor(CursorHandle) {}

Point GetCursorHotSpot(CursorHandle cursor) { return cursor == nullptr ? Point{} : cursor->HotSpot; }

namespace headless {

void SetKeyDown(int virtual_key, bool down) {
  if (virtual_key >= 0 && virtual_key < 256) Input().Down[size_t(virtual_key)] = down;
}

void SetCursorScreenPos(Point screen) { Input().Cursor = screen; }
int GetCursorDisplayCount() { return Input().DisplayCount; }
int GetReleaseCaptureCount() { return Input().ReleaseCaptures; }
int GetCursorResourceId(CursorHandle cursor) { return cursor == nullptr ? 0 : cursor->ResourceId; }
void ResetInput() { Input() = InputState{}; }

}  // namespace headless
}  // namespace tabulon

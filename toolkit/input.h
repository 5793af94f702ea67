// Keyboard, mouse and cursor services of the platform.
#pragma once

#include <cstdint>

#include "geometry.h"
#include "handles.h"

namespace tabulon {

// GetKeyState: negative while the key is down.
int16_t GetKeyState(int virtual_key);
// GetCursorPos / SetCursorPos in screen coordinates.
Point GetCursorPos();
void SetCursorPos(Point screen);
// ShowCursor: the new display count (the cursor shows while it is >= 0).
int ShowCursor(bool show);
// GetSystemMetrics(SM_CXCURSOR, SM_CYCURSOR).
Size GetCursorSize();
void ReleaseCapture();
// The window that has the keyboard focus (nullptr when none of this
// program's windows has it).
WindowHandle GetFocus();
// ClientToScreen and GetWindowRect for any window.
Point ClientToScreen(WindowHandle window, Point client);
Rect GetWindowRect(WindowHandle window);

// The program's cursor resources (the sizing cursors are 32765 and 32764).
constexpr int kColSizingCursorId = 32765;
constexpr int kRowSizingCursorId = 32764;
// LoadCursor from the program's own resources; nullptr when missing.
CursorHandle LoadResourceCursor(int resource_id);
void DestroyCursor(CursorHandle cursor);
// The hot spot of a cursor (0, 0 for none).
Point GetCursorHotSpot(CursorHandle cursor);

}  // namespace tabulon

// Opaque handles of platform objects. Only the backend that made a handle
// looks inside it: toolkit/win32/*.cpp (an HWND, HCURSOR or HIMAGELIST
// cast to the pointer type) and toolkit/headless/*.cpp (a pointer to the
// headless object). Everyone else only compares and passes them on.
#pragma once

namespace tabulon {

struct WindowObject;
struct CursorObject;
struct ImageListObject;

// A window: a form or a control. nullptr means none.
using WindowHandle = WindowObject*;
// A cursor; nullptr means the window class's default arrow.
using CursorHandle = CursorObject*;
// A platform image list; nullptr means none was created.
using ImageListHandle = ImageListObject*;

}  // namespace tabulon

// The test driver of the headless backend: what a test sets before it
// drives a window (key state, cursor, answers to dialogs and message boxes,
// what happens while a modal form is up) and what it reads afterwards
// (message boxes shown, dialogs asked, drag-image calls, the canvas log and
// raster of every window and bitmap). Used by tests only.
//
// The backend is synchronous: a message sent to a window is processed
// before the call returns; invalidated windows are painted by
// ProcessPendingMessages or Control::Update.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "bitmap.h"
#include "canvas.h"
#include "control.h"
#include "file_dialog.h"
#include "form.h"
#include "handles.h"
#include "system.h"

namespace tabulon {

class ListBox;
class ComboBox;
class Edit;

namespace headless {

// Fixed metrics of the headless platform (classic Windows at 96 DPI).
constexpr int kScrollBarSize = 16;    // SM_CXVSCROLL, SM_CYHSCROLL
constexpr int kBorderSize = 1;        // WS_BORDER, single border
constexpr int kSunkenBorderSize = 2;  // WS_EX_CLIENTEDGE
constexpr int kFrameSize = 4;         // SM_CXSIZEFRAME of a sizeable form
constexpr int kCaptionHeight = 19;    // SM_CYCAPTION
constexpr int kMenuHeight = 19;       // SM_CYMENU
constexpr int kCursorSize = 32;       // SM_CXCURSOR
// Glyph boxes of the headless text: every character is CharWidth pixels
// wide and the line LineHeight pixels high.
int GetCharWidth(const Font& font);
int GetLineHeight(const Font& font);

// Puts the whole backend back to its starting state: no focus, no keys
// down, cursor at 0,0, queues and records empty, cursor shown once.
// Windows that still exist keep existing.
void Reset();

// --- Input -----------------------------------------------------------------
void SetKeyDown(int virtual_key, bool down);
// Cursor position in screen coordinates (also set by SetCursorPos).
void SetCursorScreenPos(Point screen);
// The display count ShowCursor keeps (0: shown, -1: hidden once).
int GetCursorDisplayCount();
int GetReleaseCaptureCount();

// --- Messages ----------------------------------------------------------------
// Sends a message to a control's window as the platform would deliver it:
// through the hook, the toolkit's events and the default processing.
intptr_t SendMessageTo(Control& control, uint32_t id, uintptr_t wparam = 0, intptr_t lparam = 0);
// A left click, double click or move at client coordinates, with kMk* keys.
void SendMouse(Control& control, uint32_t id, int x, int y, uint32_t keys = 0);
// Key down (and up) of a virtual key to the control that has the focus,
// or to the given control.
void PressKey(Control& control, int virtual_key);
// The user clicks a button or check box (a check box toggles first).
void ClickButton(Control& button);
// The user types text into an edit box, in place of the selection or at
// the end: cut by the limit-text value, digits only where the box takes
// digits only; raises the change.
void TypeText(Edit& edit, const std::string& text);
// The user chooses a line of a list box (with a double click when asked)
// or an item of a drop-down list.
void ChooseLine(ListBox& list, int index, bool double_click);
void ChooseItem(ComboBox& combo, int index);
// How many batches of lines a list box was given at once (SetLines).
int GetLineBatches(const ListBox& list);
// The user chooses a menu item of a form by its template index.
void ChooseMenuItem(Form& form, int index);
// The user presses the close box of a form.
void PressCloseBox(Form& form);
// Painting requests (Invalidate) not yet delivered.
bool IsInvalidated(const Control& control);
// Whether the window itself is enabled (a modal form disables the others).
bool IsWindowEnabled(const Control& control);
// How many kWmPaint messages the control has received.
int GetPaintCount(const Control& control);
// Messages the platform itself sent to a control (focus, size, paint),
// newest last; for checking order.
std::vector<Message> GetDeliveredMessages(const Control& control);
void ClearDeliveredMessages();

// --- Modal forms and the main loop ----------------------------------------------
// Actions run, one per turn of the loop, while a modal form is shown; the
// loop ends when a modal result is set. A loop that runs out of actions
// with no result ends with kMrCancel and counts as starved.
void QueueModalAction(std::function<void(Form& modal)> action);
int GetStarvedModalCount();
// Actions run, one per turn, by the applet's main loop; it returns when the
// main form closes, Terminate is called or the actions run out.
void QueueMainLoopAction(std::function<void(Form& main_form)> action);

// --- Message boxes ----------------------------------------------------------------
struct MessageBoxRecord {
  std::string Text;
  std::string Caption;
  unsigned Flags = 0;
};
const std::vector<MessageBoxRecord>& GetMessageBoxes();
void ClearMessageBoxes();
// Called while a message box is up (before it is answered with OK).
void SetMessageBoxHook(std::function<void(const MessageBoxRecord&)> hook);
// The answer of the next question (a box with "Yes" and "No"); one not
// queued is "No".
void QueueMessageBoxAnswer(int answer);

// --- File dialogs -------------------------------------------------------------------
struct FileDialogRecord {
  FileDialogMode Mode = FileDialogMode::Open;
  std::string Filter;
  std::string InitialDir;
  std::string FileName;
  std::string Title;
  std::string DefaultExt;
  uint32_t Options = 0;
  WindowHandle Owner = nullptr;
};
// The next dialog's answer: a path (UTF-8) or nullopt for Cancel, and the
// filter pair the user chose (1-based; 0 leaves the one shown). A dialog
// with no answer queued is cancelled.
void QueueFileDialogAnswer(std::optional<std::string> path, int filter_index = 0);
const std::vector<FileDialogRecord>& GetFileDialogs();

// --- System services ------------------------------------------------------------
void SetLocalTime(const LocalTime& time);  // fixed from now on
void SetTempFolder(const std::string& folder);
// What GetProgramArguments gives (none after a reset).
void SetProgramArguments(const std::vector<std::string>& arguments);
// What GetListSeparator gives ("," after a reset).
void SetListSeparator(const std::string& separator);

// --- Drawing ------------------------------------------------------------------------
enum class CanvasOp : uint8_t { FillRect, FrameRect, DrawText, DrawEdge, DrawFocusRect, Rectangle, CopyRect };

class HeadlessCanvas;

// One drawing call with its arguments as the canvas had them.
struct CanvasCall {
  CanvasOp Op = CanvasOp::FillRect;
  Rect R;
  Color C = 0;               // FillRect, FrameRect
  std::string Text;          // DrawText, as given ('&' included)
  uint32_t Flags = 0;        // DrawText kDt*, DrawEdge kBf*
  uint32_t Edge = 0;         // DrawEdge kBdr*/kEdge*
  Font TextFont;             // DrawText: the canvas's font
  Color BrushColor = 0;      // Rectangle, DrawText background
  BrushStyle Brush = BrushStyle::Solid;
  Color PenColor = 0;        // Rectangle
  int PenWidth = 0;
  const HeadlessCanvas* Source = nullptr;  // CopyRect
  Rect SourceRect;                         // CopyRect
};

class HeadlessCanvas : public Canvas {
 public:
  explicit HeadlessCanvas(Size size);
  Size GetSize() const override { return size_; }
  void Resize(Size size);

  void FillRect(const Rect& r, Color c) override;
  void FrameRect(const Rect& r, Color c) override;
  int DrawText(const std::string& text, const Rect& r, uint32_t flags) override;
  void DrawEdge(const Rect& r, uint32_t edge, uint32_t sides) override;
  void DrawFocusRect(const Rect& r) override;
  void Rectangle(const Rect& r) override;
  void CopyRect(const Rect& dest, Canvas& source, const Rect& src_rect) override;
  Size MeasureText(const std::string& text) override;

  const std::vector<CanvasCall>& GetLog() const { return log_; }
  void ClearLog() { log_.clear(); }
  // A pixel as an RGB colour value (0x00BBGGRR, as ResolveColor gives);
  // 0 outside the surface. A new or resized surface is white.
  uint32_t GetPixel(int x, int y) const;
  const std::vector<uint32_t>& GetPixels() const { return pixels_; }
  // A 24-bit .bmp of the raster; false when the file cannot be written.
  bool SaveBmp(const std::string& path) const;

 private:
  void Plot(int x, int y, uint32_t rgb);
  void Fill(const Rect& r, uint32_t rgb);

  Size size_;
  std::vector<uint32_t> pixels_;
  std::vector<CanvasCall> log_;
};

// The headless canvas behind any canvas the backend made (a window's paint
// canvas, a bitmap's canvas); nullptr for others.
HeadlessCanvas* AsHeadless(Canvas& canvas);
// The window's screen surface: what its paint canvases draw on.
HeadlessCanvas& GetWindowSurface(const Control& control);

// The text with its '&' mnemonic marks resolved ("&&" is one '&').
std::string StripMnemonic(const std::string& text);

// --- Image lists and drag images ------------------------------------------------
struct DragCall {
  std::string Name;  // "BeginDrag", "DragEnter", "DragMove", "DragLeave", "EndDrag",
                     // "DragShowNolock", "SetDragCursorImage"
  int A = 0;
  int B = 0;
  int C = 0;
  WindowHandle Window = nullptr;
  ImageListHandle List = nullptr;
};
const std::vector<DragCall>& GetDragCalls();
void ClearDragCalls();
// Image lists that exist now.
int GetImageListCount();
struct ImageListInfo {
  int Width = 0;
  int Height = 0;
  uint32_t Flags = 0;
  int Count = 0;
};
ImageListInfo GetImageListInfo(ImageListHandle list);

// --- Cursors ------------------------------------------------------------------------
// The resource id a cursor was loaded from (0 for none).
int GetCursorResourceId(CursorHandle cursor);

}  // namespace headless
}  // namespace tabulon

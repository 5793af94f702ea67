// Control: a window of the program (form or child control) as the toolkit
// sees it. Geometry, visibility, text, font, colour, alignment, events and
// the per-control message hook are common to every kind; the kinds add
// their own calls (button.h, edit.h, ...).
//
// Ownership: New... functions return std::unique_ptr; whoever made a control
// owns it. A control's window is a child of its parent's window; destroying
// a parent first parks its remaining children off screen, so no window is
// destroyed behind its owner's back.
//
// Messages: every message of the window goes through Dispatch: first the
// message hook (which may consume it with a result), then the toolkit's own
// events (resized, key down, focus), then the platform's default processing.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "canvas.h"
#include "color.h"
#include "font.h"
#include "geometry.h"
#include "handles.h"
#include "message.h"

namespace tabulon {

class Control;
class ControlPeer;  // toolkit/driver.h: what a backend provides per window

enum class ControlKind : uint8_t {
  Form, Panel, Label, Button, CheckBox, Edit, Memo, ListBox, ComboBox, Custom
};

// Alignment inside the parent's client area. Top controls stack downwards
// and bottom controls upwards in creation order, then left and right ones;
// Client fills what is left.
enum class Align : uint8_t { None, Top, Bottom, Left, Right, Client };

// Edges of the parent a non-aligned control keeps its distance to. Left and
// Right together make the control follow the parent's width.
struct Anchors {
  bool Left = true;
  bool Top = true;
  bool Right = false;
  bool Bottom = false;
};

// SetScrollInfo / GetScrollInfo. Enabled is output only: whether the bar
// can scroll (a bar set with kSifDisableNoScroll stays visible but disabled
// when the range fits in the page).
struct ScrollInfo {
  uint32_t Mask = kSifAll;
  int Min = 0;
  int Max = 0;
  int Page = 0;
  int Pos = 0;
  int TrackPos = 0;
  bool Enabled = false;
};

// Shift state passed with key events.
constexpr uint32_t kShiftShift = 0x01;
constexpr uint32_t kShiftCtrl = 0x02;
constexpr uint32_t kShiftAlt = 0x04;
// The current shift state from the key state.
uint32_t GetShiftState();

// Sees every message before the default processing; returns true to consume
// it, with result as the window procedure's result.
using MessageHook = std::function<bool(Control& sender, Message& message, intptr_t& result)>;

// Option bits of the control kinds, translated into window styles by the
// backends (see ControlParams::Options).
constexpr uint32_t kOptDigitsOnly = 0x0001;     // edit: ES_NUMBER
constexpr uint32_t kOptReadOnly = 0x0002;       // edit, memo
constexpr uint32_t kOptVScrollBar = 0x0004;     // memo, list box
constexpr uint32_t kOptHScrollBar = 0x0008;     // memo
constexpr uint32_t kOptAutoVScroll = 0x0010;    // memo
constexpr uint32_t kOptAutoHScroll = 0x0020;    // memo (lines are not wrapped)
constexpr uint32_t kOptBorderSingle = 0x0040;   // plain one-pixel border
constexpr uint32_t kOptBorderSunken = 0x0080;   // sunken 3D edge
constexpr uint32_t kOptRaisedEdge = 0x0100;     // panel
constexpr uint32_t kOptNoIntegralHeight = 0x0200;  // list box, drop-down list
constexpr uint32_t kOptMinimizeBox = 0x0400;    // form
constexpr uint32_t kOptMaximizeBox = 0x0800;    // form

// How a control's window is made. Style and ClassStyle are Win32 values and
// are used as given by Custom controls only; the other kinds take Options.
struct ControlParams {
  ControlKind Kind = ControlKind::Custom;
  uint32_t Options = 0;
  uint32_t Style = 0;
  uint32_t ClassStyle = 0;
  std::string ClassName;
  Rect Bounds;
};

class Control {
 public:
  virtual ~Control();
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  ControlKind GetKind() const { return kind_; }
  // The window's identity, for comparisons with GetFocus() and the drag
  // functions. Stays the same for the control's life.
  WindowHandle GetHandle() const;
  // The control whose window this is, or nullptr.
  static Control* FindControl(WindowHandle window);
  // Expires when the control is destroyed: whoever holds the control
  // without owning it (an editor lent to a grid) can tell it is gone.
  std::weak_ptr<const void> GetLifeToken() const { return life_; }

  Control* GetParent() const { return parent_; }
  // Moves the window into another parent's client area (re-parenting);
  // nullptr parks it, hidden from view.
  void SetParent(Control* parent);
  // Child controls in creation (or adoption) order.
  const std::vector<Control*>& GetChildren() const { return children_; }

  // Bounds relative to the parent's client area (the screen for forms).
  void SetBounds(const Rect& r);
  void SetBounds(int left, int top, int width, int height);
  void SetPosition(int left, int top);
  void SetSize(int width, int height);
  Rect GetBounds() const;
  int GetLeft() const { return GetBounds().Left; }
  int GetTop() const { return GetBounds().Top; }
  int GetWidth() const { return GetBounds().GetWidth(); }
  int GetHeight() const { return GetBounds().GetHeight(); }
  // The client area (inside borders, scroll bars and menu).
  Size GetClientSize() const;
  Rect GetClientRect() const;
  Point ClientToScreen(Point client) const;
  // The whole window on the screen.
  Rect GetWindowRect() const;

  void SetAlign(Align align);
  Align GetAlign() const { return align_; }
  void SetAnchors(const Anchors& anchors);
  const Anchors& GetAnchors() const { return anchors_; }

  void SetVisible(bool visible);
  bool IsVisible() const { return visible_; }
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  void SetEnabled(bool enabled);
  bool IsEnabled() const { return enabled_; }

  // Window text in UTF-8 (caption, edit text, ...).
  virtual void SetText(const std::string& text);
  virtual std::string GetText() const;

  // The control's font. Changing it (through the setters of GetFont() or
  // SetFont) reaches the window and raises OnFontChange. Children follow
  // their parent's font until they are given one of their own.
  Font& GetFont() { return font_; }
  const Font& GetFont() const { return font_; }
  void SetFont(const Font& font);

  // Background colour (kClBtnFace for forms, panels and buttons, kClWindow
  // for edit boxes, lists and custom controls by default).
  void SetColor(Color color);
  Color GetColor() const { return color_; }

  void SetFocus();
  bool IsFocused() const;
  // Invalidates the whole client area; Update repaints it at once.
  void Invalidate();
  void Update();

  // The cursor shown over the client area; nullptr is the class arrow.
  void SetCursor(CursorHandle cursor);
  CursorHandle GetCursor() const { return cursor_; }

  // The window's own scroll bars (kSbHorz, kSbVert). Returns the position.
  int SetScrollInfo(int bar, const ScrollInfo& info, bool redraw);
  ScrollInfo GetScrollInfo(int bar) const;

  // Window style and class style as the platform holds them.
  uint32_t GetStyle() const;
  uint32_t GetClassStyle() const;

  // A canvas for a kWmPaint message: on the device context in wParam when
  // it is not 0, else between BeginPaint and EndPaint (at destruction).
  std::unique_ptr<Canvas> NewPaintCanvas(const Message& paint);
  // A canvas on the window's client area as it is on screen.
  std::unique_ptr<Canvas> NewWindowCanvas();

  // Sends a message to the window (SendMessage), through the hook and the
  // default processing. Integer requests only (kEm*, kLb*, kCb*, kBm*).
  intptr_t Perform(uint32_t id, uintptr_t wparam = 0, intptr_t lparam = 0) const;

  void SetMessageHook(MessageHook hook) { hook_ = std::move(hook); }

  // Events; one handler each, skipped when not set.
  std::function<void(Control& sender)> OnResize;
  // key in/out: set it to 0 to swallow the key.
  std::function<void(Control& sender, int& key, uint32_t shift)> OnKeyDown;
  std::function<void(Control& sender)> OnEnter;
  std::function<void(Control& sender)> OnExit;  // focus loss
  std::function<void(Control& sender)> OnFontChange;

  // Backends only: a message arrived at the window. True when consumed.
  bool Dispatch(Message& message, intptr_t& result);
  ControlPeer& GetPeer() const { return *peer_; }

 protected:
  Control(Control* parent, const ControlParams& params);
  // Kind-specific handling after the hook and the common events.
  virtual bool HandleMessage(Message& message, intptr_t& result);
  // A notification (kWmCommand) from this control's own window.
  virtual void Notify(uint32_t code);
  // Lays the aligned and anchored children out in the client area.
  void Realign();
  // After the font changed, before OnFontChange.
  virtual void FontChanged() {}

 private:
  void ApplyFont(bool from_parent);
  void ParentFontChanged();
  void RecordAnchorMargins();

  ControlKind kind_;
  Control* parent_ = nullptr;
  std::vector<Control*> children_;
  std::unique_ptr<ControlPeer> peer_;
  Font font_;
  bool parent_font_ = true;
  Color color_ = kClWindow;
  Align align_ = Align::None;
  Anchors anchors_;
  int right_margin_ = 0;   // distance to the parent's right edge (Right anchor)
  int bottom_margin_ = 0;  // distance to the parent's bottom edge
  bool visible_ = true;
  bool enabled_ = true;
  bool realigning_ = false;
  bool inheriting_font_ = false;
  CursorHandle cursor_ = nullptr;
  MessageHook hook_;
  std::shared_ptr<const void> life_ = std::make_shared<char>('\0');
};

}  // namespace tabulon

// What a backend provides (toolkit/win32/, toolkit/headless/). Included by
// the toolkit's own sources and the backends only; the grid and the
// program never see it.
//
// A backend implements, besides the free functions declared in the public
// headers (canvas, bitmap, image lists, input, dialogs, system services):
//   - ControlPeer, one per control's window, made by NewControlPeer;
//   - the message loops below.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "control.h"

namespace tabulon {

class Form;
class MenuBar;

class ControlPeer {
 public:
  virtual ~ControlPeer() = default;

  virtual WindowHandle GetHandle() const = 0;
  // nullptr parks the window.
  virtual void SetParent(ControlPeer* parent) = 0;
  // Relative to the parent's client area; the screen for forms.
  virtual void SetBounds(const Rect& r) = 0;
  virtual Rect GetBounds() const = 0;
  virtual Size GetClientSize() const = 0;
  // For forms: the window size that gives this client size.
  virtual Size WindowSizeForClient(Size client) const = 0;
  virtual Point ClientToScreen(Point client) const = 0;
  virtual Rect GetWindowRect() const = 0;
  virtual void SetVisible(bool visible) = 0;
  virtual void SetEnabled(bool enabled) = 0;
  virtual void SetText(const std::string& text) = 0;
  virtual std::string GetText() const = 0;
  virtual void SetFont(const Font& font) = 0;
  virtual void SetColor(Color color) = 0;
  virtual void SetFocus() = 0;
  virtual bool IsFocused() const = 0;
  virtual void Invalidate() = 0;
  virtual void Update() = 0;
  virtual void SetCursor(CursorHandle cursor) = 0;
  virtual int SetScrollInfo(int bar, const ScrollInfo& info, bool redraw) = 0;
  virtual ScrollInfo GetScrollInfo(int bar) const = 0;
  virtual uint32_t GetStyle() const = 0;
  virtual uint32_t GetClassStyle() const = 0;
  // Form style changes (border icons) after creation.
  virtual void SetOptions(uint32_t options) = 0;
  virtual std::unique_ptr<Canvas> NewPaintCanvas(uintptr_t dc) = 0;
  virtual std::unique_ptr<Canvas> NewWindowCanvas() = 0;
  // SendMessage to the window (through Control::Dispatch).
  virtual intptr_t Send(uint32_t id, uintptr_t wparam, intptr_t lparam) = 0;
  // Line and item text of list boxes and drop-down lists.
  virtual void AddItem(const std::string& item) = 0;
  virtual std::string GetItem(int index) const = 0;
  // Many lines at once, with the control's redraw off meanwhile: tens of
  // thousands of lines arrive in a moment instead of one repaint each.
  virtual void AddItems(const std::vector<std::string>& items) = 0;
  // Text appended at the end of an edit box.
  virtual void AppendText(const std::string& text) = 0;
  // One line of text in the control's font.
  virtual Size MeasureText(const std::string& text) const = 0;
  // The form's menu bar changed (built or removed).
  virtual void SetMenu(MenuBar* menu) = 0;
};

std::unique_ptr<ControlPeer> NewControlPeer(Control& owner, const ControlParams& params,
                                            ControlPeer* parent);

// The loops of Applet and Form.
void RunMainLoop(Form& main_form);
void RunModalLoop(Form& form);
void ProcessPendingMessages();
void TerminateMainLoop();

}  // namespace tabulon

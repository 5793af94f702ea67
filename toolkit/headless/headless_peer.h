// The headless window: a ControlPeer that keeps every piece of state a
// Win32 window would (bounds, text, scroll bars, list items, check state,
// limit text, focus, invalidation) in memory, and delivers messages to its
// control synchronously. Internal to the headless backend.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "driver.h"
#include "headless_driver.h"

namespace tabulon {

class HeadlessPeer;

// The handle a headless window hands out: a link back to its peer.
struct WindowObject {
  HeadlessPeer* Peer = nullptr;
};

class HeadlessPeer : public ControlPeer {
 public:
  HeadlessPeer(Control& owner, const ControlParams& params, HeadlessPeer* parent);
  ~HeadlessPeer() override;

  WindowHandle GetHandle() const override { return const_cast<WindowObject*>(&object_); }
  void SetParent(ControlPeer* parent) override;
  void SetBounds(const Rect& r) override;
  Rect GetBounds() const override { return bounds_; }
  Size GetClientSize() const override;
  Size WindowSizeForClient(Size client) const override;
  Point ClientToScreen(Point client) const override;
  Rect GetWindowRect() const override;
  void SetVisible(bool visible) override { visible_ = visible; }
  void SetEnabled(bool enabled) override { enabled_ = enabled; }
  void SetText(const std::string& text) override;
  std::string GetText() const override { return text_; }
  void SetFont(const Font& font) override { font_ = font; }
  void SetColor(Color color) override { color_ = color; }
  void SetFocus() override;
  bool IsFocused() const override;
  void Invalidate() override { invalid_ = true; }
  void Update() override;
  void SetCursor(CursorHandle cursor) override { cursor_ = cursor; }
  int SetScrollInfo(int bar, const ScrollInfo& info, bool redraw) override;
  ScrollInfo GetScrollInfo(int bar) const override;
  uint32_t GetStyle() const override;
  uint32_t GetClassStyle() const override { return params_.ClassStyle; }
  void SetOptions(uint32_t options) override;
  std::unique_ptr<Canvas> NewPaintCanvas(uintptr_t dc) override;
  std::unique_ptr<Canvas> NewWindowCanvas() override;
  intptr_t Send(uint32_t id, uintptr_t wparam, intptr_t lparam) override;
  void AddItem(const std::string& item) override { items_.push_back(item); }
  void AddItems(const std::vector<std::string>& items) override;
  std::string GetItem(int index) const override;
  void AppendText(const std::string& text) override;
  Size MeasureText(const std::string& text) const override;
  void SetMenu(MenuBar* menu) override;

  // What the backend and its driver use.
  static HeadlessPeer* FromHandle(WindowHandle window);
  Control& GetOwner() const { return owner_; }
  ControlKind GetKind() const { return params_.Kind; }
  bool IsShowing() const;
  bool IsWindowEnabled() const { return enabled_; }
  bool IsInvalid() const { return invalid_; }
  int GetPaintCount() const { return paint_count_; }
  int GetBatchCount() const { return batches_; }
  headless::HeadlessCanvas& GetSurface() { return surface_; }
  const std::vector<Message>& GetDelivered() const { return delivered_; }
  void ClearDelivered() { delivered_.clear(); }
  // A message the platform itself sends (recorded for the driver).
  intptr_t Deliver(uint32_t id, uintptr_t wparam, intptr_t lparam);
  // A notification to the parent window (kWmCommand with this handle).
  void NotifyParent(uint32_t code);
  void Paint();
  // The user's typing at the end of an edit box.
  void Type(const std::string& text);
  void SetCurrentItem(int index) { current_item_ = index; }
  bool IsReadOnly() const { return read_only_; }

 private:
  intptr_t DefaultProcess(const Message& m);
  void PaintDefault();
  void ClientSizeMayHaveChanged(Size before);
  Point ClientOrigin() const;  // within the window rectangle
  bool IsMultiLine() const { return params_.Kind == ControlKind::Memo; }

  Control& owner_;
  ControlParams params_;
  WindowObject object_;
  HeadlessPeer* parent_;
  Rect bounds_;
  bool visible_ = false;
  bool enabled_ = true;
  std::string text_;
  Font font_;
  Color color_ = kClWindow;
  CursorHandle cursor_ = nullptr;
  ScrollInfo bars_[2];
  bool bar_shown_[2] = {false, false};
  bool invalid_ = true;
  int paint_count_ = 0;
  headless::HeadlessCanvas surface_;
  std::vector<Message> delivered_;
  std::vector<std::string> items_;
  int current_item_ = -1;
  bool checked_ = false;
  uint32_t limit_text_ = 32767;
  bool read_only_ = false;
  uint32_t selection_ = 0;
  int batches_ = 0;
  MenuBar* menu_ = nullptr;
};

namespace headless {
// The starting state of each part of the backend (see Reset).
void ResetDrag();
void ResetInput();
void ResetDialogs();
void ResetSystem();
void ResetLoops();
}  // namespace headless

// Every headless window in creation order.
std::vector<HeadlessPeer*>& AllPeers();
// The window with the keyboard focus.
HeadlessPeer*& FocusedPeer();

}  // namespace tabulon

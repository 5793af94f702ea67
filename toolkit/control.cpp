#include "control.h"

#include <algorithm>
#include <unordered_map>

#include "driver.h"
#include "input.h"

namespace tabulon {
namespace {

std::unordered_map<WindowHandle, Control*>& Registry() {
  static std::unordered_map<WindowHandle, Control*> registry;
  return registry;
}

Color DefaultColor(ControlKind kind) {
  switch (kind) {
    case ControlKind::Form:
    case ControlKind::Panel:
    case ControlKind::Label:
    case ControlKind::Button:
    case ControlKind::CheckBox:
      return kClBtnFace;
    default:
      return kClWindow;
  }
}

}  // namespace

uint32_t GetShiftState() {
  uint32_t s = 0;
  if (GetKeyState(kVkShift) < 0) s |= kShiftShift;
  if (GetKeyState(kVkControl) < 0) s |= kShiftCtrl;
  if (GetKeyState(kVkMenu) < 0) s |= kShiftAlt;
  return s;
}

Control::Control(Control* parent, const ControlParams& params)
    : kind_(params.Kind), parent_(parent), color_(DefaultColor(params.Kind)) {
  visible_ = params.Kind != ControlKind::Form;
  if (parent_ != nullptr) font_ = parent_->font_;
  peer_ = NewControlPeer(*this, params, parent_ != nullptr ? parent_->peer_.get() : nullptr);
  Registry()[peer_->GetHandle()] = this;
  if (parent_ != nullptr) parent_->children_.push_back(this);
  font_.owner_change_ = [this] {
    if (!inheriting_font_) parent_font_ = false;
    peer_->SetFont(font_);
    for (Control* child : children_) {
      if (child->parent_font_) child->ParentFontChanged();
    }
    FontChanged();
    if (OnFontChange) OnFontChange(*this);
  };
  peer_->SetFont(font_);
  peer_->SetColor(color_);
  RecordAnchorMargins();
  if (visible_) peer_->SetVisible(true);
}

Control::~Control() {
  // Holders of the control see it gone before anything of it is taken down.
  life_.reset();
  // No hook or event may run against an object half destroyed: the window
  // still receives messages while it and its children are taken down.
  hook_ = nullptr;
  OnResize = nullptr;
  OnKeyDown = nullptr;
  OnEnter = nullptr;
  OnExit = nullptr;
  OnFontChange = nullptr;
  // Park the children first: their windows must outlive this one.
  for (Control* child : children_) {
    child->parent_ = nullptr;
    child->peer_->SetParent(nullptr);
  }
  children_.clear();
  Control* parent = parent_;
  if (parent != nullptr) {
    auto& siblings = parent->children_;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
  }
  Registry().erase(peer_->GetHandle());
  peer_.reset();
  if (parent != nullptr && align_ != Align::None) parent->Realign();
}

WindowHandle Control::GetHandle() const { return peer_->GetHandle(); }

Control* Control::FindControl(WindowHandle window) {
  auto it = Registry().find(window);
  return it == Registry().end() ? nullptr : it->second;
}

void Control::SetParent(Control* parent) {
  if (parent == parent_ || parent == this) return;
  Control* old = parent_;
  if (old != nullptr) {
    auto& siblings = old->children_;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
  }
  parent_ = parent;
  if (parent_ != nullptr) parent_->children_.push_back(this);
  peer_->SetParent(parent_ != nullptr ? parent_->peer_.get() : nullptr);
  if (parent_ != nullptr && parent_font_) ParentFontChanged();
  if (old != nullptr && align_ != Align::None) old->Realign();
  if (parent_ != nullptr && align_ != Align::None) parent_->Realign();
  RecordAnchorMargins();
}

void Control::ParentFontChanged() {
  inheriting_font_ = true;
  font_.Assign(parent_->font_);
  inheriting_font_ = false;
}

void Control::SetFont(const Font& font) {
  parent_font_ = false;
  font_.Assign(font);
}

void Control::SetBounds(const Rect& r) {
  Rect b = r;
  if (b.Right < b.Left) b.Right = b.Left;
  if (b.Bottom < b.Top) b.Bottom = b.Top;
  peer_->SetBounds(b);
  RecordAnchorMargins();
  if (parent_ != nullptr && align_ != Align::None) parent_->Realign();
}

void Control::SetBounds(int left, int top, int width, int height) {
  SetBounds(NewRectOfSize(left, top, width, height));
}

void Control::SetPosition(int left, int top) {
  Rect b = GetBounds();
  SetBounds(left, top, b.GetWidth(), b.GetHeight());
}

void Control::SetSize(int width, int height) {
  Rect b = GetBounds();
  SetBounds(b.Left, b.Top, width, height);
}

Rect Control::GetBounds() const { return peer_->GetBounds(); }
Size Control::GetClientSize() const { return peer_->GetClientSize(); }

Rect Control::GetClientRect() const {
  Size s = GetClientSize();
  return Rect{0, 0, s.Width, s.Height};
}

Point Control::ClientToScreen(Point client) const { return peer_->ClientToScreen(client); }
Rect Control::GetWindowRect() const { return peer_->GetWindowRect(); }

void Control::SetAlign(Align align) {
  if (align_ == align) return;
  align_ = align;
  if (parent_ != nullptr) parent_->Realign();
}

void Control::SetAnchors(const Anchors& anchors) {
  anchors_ = anchors;
  RecordAnchorMargins();
}

void Control::RecordAnchorMargins() {
  if (parent_ == nullptr) return;
  Size cs = parent_->GetClientSize();
  Rect b = GetBounds();
  right_margin_ = cs.Width - b.Right;
  bottom_margin_ = cs.Height - b.Bottom;
}

void Control::Realign() {
  if (realigning_) return;
  realigning_ = true;
  Size cs = GetClientSize();
  Rect area{0, 0, cs.Width, cs.Height};
  const Align order[] = {Align::Top, Align::Bottom, Align::Left, Align::Right, Align::Client};
  for (Align pass : order) {
    for (Control* child : children_) {
      if (child->align_ != pass || !child->visible_) continue;
      Rect b = child->GetBounds();
      Rect nb = area;
      switch (pass) {
        case Align::Top:
          nb.Bottom = std::min(area.Bottom, area.Top + b.GetHeight());
          area.Top = nb.Bottom;
          break;
        case Align::Bottom:
          nb.Top = std::max(area.Top, area.Bottom - b.GetHeight());
          area.Bottom = nb.Top;
          break;
        case Align::Left:
          nb.Right = std::min(area.Right, area.Left + b.GetWidth());
          area.Left = nb.Right;
          break;
        case Align::Right:
          nb.Left = std::max(area.Left, area.Right - b.GetWidth());
          area.Right = nb.Left;
          break;
        default:
          break;
      }
      if (nb != b) child->peer_->SetBounds(nb);
    }
  }
  for (Control* child : children_) {
    if (child->align_ != Align::None || child->kind_ == ControlKind::Form) continue;
    const Anchors& a = child->anchors_;
    if (!a.Right && !a.Bottom) continue;
    Rect b = child->GetBounds();
    Rect nb = b;
    if (a.Right) {
      nb.Right = cs.Width - child->right_margin_;
      if (!a.Left) nb.Left = nb.Right - b.GetWidth();
      if (nb.Right < nb.Left) nb.Right = nb.Left;
    }
    if (a.Bottom) {
      nb.Bottom = cs.Height - child->bottom_margin_;
      if (!a.Top) nb.Top = nb.Bottom - b.GetHeight();
      if (nb.Bottom < nb.Top) nb.Bottom = nb.Top;
    }
    if (nb != b) child->peer_->SetBounds(nb);
  }
  realigning_ = false;
}

void Control::SetVisible(bool visible) {
  if (visible_ == visible) return;
  visible_ = visible;
  peer_->SetVisible(visible);
  if (parent_ != nullptr && align_ != Align::None) parent_->Realign();
}

void Control::SetEnabled(bool enabled) {
  enabled_ = enabled;
  peer_->SetEnabled(enabled);
}

void Control::SetText(const std::string& text) { peer_->SetText(text); }
std::string Control::GetText() const { return peer_->GetText(); }

void Control::SetColor(Color color) {
  color_ = color;
  peer_->SetColor(color);
  peer_->Invalidate();
}

void Control::SetFocus() { peer_->SetFocus(); }
bool Control::IsFocused() const { return peer_->IsFocused(); }
void Control::Invalidate() { peer_->Invalidate(); }
void Control::Update() { peer_->Update(); }

void Control::SetCursor(CursorHandle cursor) {
  cursor_ = cursor;
  peer_->SetCursor(cursor);
}

int Control::SetScrollInfo(int bar, const ScrollInfo& info, bool redraw) {
  return peer_->SetScrollInfo(bar, info, redraw);
}

ScrollInfo Control::GetScrollInfo(int bar) const { return peer_->GetScrollInfo(bar); }
uint32_t Control::GetStyle() const { return peer_->GetStyle(); }
uint32_t Control::GetClassStyle() const { return peer_->GetClassStyle(); }

std::unique_ptr<Canvas> Control::NewPaintCanvas(const Message& paint) {
  return peer_->NewPaintCanvas(paint.WParam);
}

std::unique_ptr<Canvas> Control::NewWindowCanvas() { return peer_->NewWindowCanvas(); }

intptr_t Control::Perform(uint32_t id, uintptr_t wparam, intptr_t lparam) const {
  return peer_->Send(id, wparam, lparam);
}

bool Control::Dispatch(Message& m, intptr_t& result) {
  if (hook_) {
    MessageHook hook = hook_;  // the hook may replace itself
    if (hook(*this, m, result)) return true;
  }
  switch (m.Id) {
    case kWmSize:
      Realign();
      if (OnResize) OnResize(*this);
      break;
    case kWmKeyDown:
      if (OnKeyDown) {
        int key = int(m.WParam);
        OnKeyDown(*this, key, GetShiftState());
        if (key == 0) {
          result = 0;
          return true;
        }
        m.WParam = uintptr_t(key);
      }
      break;
    case kWmSetFocus:
      if (OnEnter) OnEnter(*this);
      break;
    case kWmKillFocus:
      if (OnExit) OnExit(*this);
      break;
    case kWmCommand:
      // Notifications of child windows go to the child's own control.
      if (m.LParam != 0) {
        Control* child = FindControl(reinterpret_cast<WindowHandle>(m.LParam));
        if (child != nullptr && child->parent_ == this) {
          child->Notify(HiWord(m.WParam));
          result = 0;
          return true;
        }
      }
      break;
    default:
      break;
  }
  return HandleMessage(m, result);
}

bool Control::HandleMessage(Message&, intptr_t&) { return false; }
void Control::Notify(uint32_t) {}

}  // namespace tabulon

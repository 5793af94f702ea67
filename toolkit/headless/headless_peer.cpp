#include "headless_peer.h"

#include <algorithm>

#include "form.h"
#include "utf8_length.h"

namespace tabulon {
namespace {

bool HasBorder(const ControlParams& p) {
  return (p.Style & kWsBorder) != 0 || (p.Options & kOptBorderSingle) != 0;
}

// Thickness of the non-client edge of a child window.
int EdgeSize(const ControlParams& p) {
  if (p.Options & kOptBorderSunken) return headless::kSunkenBorderSize;
  return HasBorder(p) ? headless::kBorderSize : 0;
}

bool Needs(const ScrollInfo& s) {
  if (s.Page > 0) return s.Max - s.Min + 1 > s.Page;
  return s.Max > s.Min;
}

}  // namespace

std::vector<HeadlessPeer*>& AllPeers() {
  static std::vector<HeadlessPeer*> peers;
  return peers;
}

HeadlessPeer*& FocusedPeer() {
  static HeadlessPeer* focused = nullptr;
  return focused;
}

HeadlessPeer::HeadlessPeer(Control& owner, const ControlParams& params, HeadlessPeer* parent)
    : owner_(owner), params_(params), parent_(parent), bounds_(params.Bounds),
      surface_(Size{0, 0}) {
  object_.Peer = this;
  // A window scroll bar named in the style shows from the start, with the
  // platform's default range.
  uint32_t style = GetStyle();
  bar_shown_[kSbHorz] = (style & kWsHScroll) != 0;
  bar_shown_[kSbVert] = (style & kWsVScroll) != 0;
  for (ScrollInfo& s : bars_) {
    s.Max = 100;
    s.Enabled = true;
  }
  read_only_ = (params.Options & kOptReadOnly) != 0;
  surface_.Resize(GetClientSize());
  AllPeers().push_back(this);
}

HeadlessPeer::~HeadlessPeer() {
  if (FocusedPeer() == this) FocusedPeer() = nullptr;
  auto& all = AllPeers();
  all.erase(std::remove(all.begin(), all.end(), this), all.end());
}

HeadlessPeer* HeadlessPeer::FromHandle(WindowHandle window) {
  return window == nullptr ? nullptr : window->Peer;
}

void HeadlessPeer::SetParent(ControlPeer* parent) {
  parent_ = static_cast<HeadlessPeer*>(parent);
  invalid_ = true;
}

void HeadlessPeer::SetBounds(const Rect& r) {
  Size before = GetClientSize();
  bounds_ = r;
  invalid_ = true;
  ClientSizeMayHaveChanged(before);
}

void HeadlessPeer::ClientSizeMayHaveChanged(Size before) {
  Size now = GetClientSize();
  if (now == before) return;
  surface_.Resize(now);
  invalid_ = true;
  Deliver(kWmSize, 0, MakeLParam(now.Width, now.Height));
}

Point HeadlessPeer::ClientOrigin() const {
  if (params_.Kind == ControlKind::Form) {
    return Point{headless::kFrameSize,
                 headless::kFrameSize + headless::kCaptionHeight + (menu_ ? headless::kMenuHeight : 0)};
  }
  int e = EdgeSize(params_);
  return Point{e, e};
}

Size HeadlessPeer::GetClientSize() const {
  Point o = ClientOrigin();
  int right = params_.Kind == ControlKind::Form ? headless::kFrameSize : o.X;
  int bottom = params_.Kind == ControlKind::Form ? headless::kFrameSize : o.Y;
  int w = bounds_.GetWidth() - o.X - right - (bar_shown_[kSbVert] ? headless::kScrollBarSize : 0);
  int h = bounds_.GetHeight() - o.Y - bottom - (bar_shown_[kSbHorz] ? headless::kScrollBarSize : 0);
  return Size{std::max(0, w), std::max(0, h)};
}

Size HeadlessPeer::WindowSizeForClient(Size client) const {
  Size now = GetClientSize();
  return Size{bounds_.GetWidth() + client.Width - now.Width,
              bounds_.GetHeight() + client.Height - now.Height};
}

Rect HeadlessPeer::GetWindowRect() const {
  if (params_.Kind == ControlKind::Form || parent_ == nullptr) return bounds_;
  Point tl = parent_->ClientToScreen(Point{bounds_.Left, bounds_.Top});
  return NewRectOfSize(tl.X, tl.Y, bounds_.GetWidth(), bounds_.GetHeight());
}

Point HeadlessPeer::ClientToScreen(Point client) const {
  Rect w = GetWindowRect();
  Point o = ClientOrigin();
  return Point{w.Left + o.X + client.X, w.Top + o.Y + client.Y};
}

bool HeadlessPeer::IsShowing() const {
  if (!visible_) return false;
  if (params_.Kind == ControlKind::Form) return true;
  return parent_ != nullptr && parent_->IsShowing();
}

void HeadlessPeer::SetText(const std::string& text) {
  text_ = text;
  selection_ = 0;
  invalid_ = true;
  // A single-line edit box reports text set by the program; a multi-line
  // one does not, as on the platform.
  if (params_.Kind == ControlKind::Edit) NotifyParent(kEnChange);
}

// As if typed at the end: the limit-text value cuts it, as on the platform
// (in characters, as the platform counts them).
void HeadlessPeer::AppendText(const std::string& text) {
  const size_t have = Utf8Length(text_);
  const size_t room = have < limit_text_ ? limit_text_ - have : 0;
  text_ += Utf8Prefix(text, room);
  invalid_ = true;
  NotifyParent(kEnChange);
}

void HeadlessPeer::Type(const std::string& text) {
  if (read_only_) return;
  // The headless edit keeps no caret: typed text replaces the selection, or
  // goes at the end when nothing is selected. The limit counts the text as
  // it will be, the selection gone. Positions count characters.
  const size_t length = Utf8Length(text_);
  const size_t end = std::min<size_t>(HiWord(selection_), length);
  const size_t start = std::min<size_t>(LoWord(selection_), end);
  const size_t kept = length - (end - start);
  std::string typed;
  size_t typed_chars = 0;
  for (size_t i = 0; i < text.size();) {
    const std::string c = text.substr(i, Utf8CharBytes(text, i));
    i += c.size();
    if ((params_.Options & kOptDigitsOnly) && (c[0] < '0' || c[0] > '9')) continue;
    if (kept + typed_chars >= limit_text_) break;
    typed += c;
    ++typed_chars;
  }
  if (typed.empty()) return;
  if (start == end) {
    AppendText(typed);
    return;
  }
  const size_t from = Utf8Offset(text_, start);
  text_.replace(from, Utf8Offset(text_, end) - from, typed);
  selection_ = uint32_t(MakeWParam(uint16_t(start + typed_chars), uint16_t(start + typed_chars)));
  invalid_ = true;
  NotifyParent(kEnChange);
}

void HeadlessPeer::AddItems(const std::vector<std::string>& items) {
  items_.insert(items_.end(), items.begin(), items.end());
  ++batches_;
  invalid_ = true;
}

std::string HeadlessPeer::GetItem(int index) const {
  return index >= 0 && size_t(index) < items_.size() ? items_[size_t(index)] : std::string();
}

Size HeadlessPeer::MeasureText(const std::string& text) const {
  return Size{int(text.size()) * headless::GetCharWidth(font_), headless::GetLineHeight(font_)};
}

void HeadlessPeer::SetMenu(MenuBar* menu) {
  Size before = GetClientSize();
  menu_ = menu;
  ClientSizeMayHaveChanged(before);
}

void HeadlessPeer::SetFocus() {
  HeadlessPeer* old = FocusedPeer();
  if (old == this) return;
  FocusedPeer() = this;
  if (old != nullptr) old->Deliver(kWmKillFocus, reinterpret_cast<uintptr_t>(GetHandle()), 0);
  // The losing window may have moved the focus on; then this one never got it.
  if (FocusedPeer() != this) return;
  Deliver(kWmSetFocus, old ? reinterpret_cast<uintptr_t>(old->GetHandle()) : 0, 0);
}

bool HeadlessPeer::IsFocused() const { return FocusedPeer() == this; }

void HeadlessPeer::Update() {
  if (invalid_ && IsShowing()) Paint();
}

void HeadlessPeer::Paint() {
  invalid_ = false;
  ++paint_count_;
  Message m{kWmPaint, 0, 0};
  delivered_.push_back(m);
  intptr_t result = 0;
  if (!owner_.Dispatch(m, result)) PaintDefault();
}

// Standard controls paint their background and text, so that a screenshot
// of a headless form shows where everything is.
void HeadlessPeer::PaintDefault() {
  Size s = surface_.GetSize();
  Rect all{0, 0, s.Width, s.Height};
  surface_.FillRect(all, color_);
  surface_.SetFont(font_);
  surface_.SetBrushStyle(BrushStyle::Clear);
  switch (params_.Kind) {
    case ControlKind::Panel:
      if (params_.Options & kOptRaisedEdge) surface_.DrawEdge(all, kBdrRaisedInner, kBfRect);
      break;
    case ControlKind::Button:
      surface_.DrawEdge(all, kEdgeRaised, kBfRect);
      surface_.DrawText(text_, all, kDtCenter | kDtVCenter | kDtSingleLine);
      break;
    case ControlKind::Label:
    case ControlKind::CheckBox:
    case ControlKind::Edit:
      surface_.DrawText(text_, all, kDtLeft | kDtVCenter | kDtSingleLine | kDtNoPrefix);
      break;
    case ControlKind::Memo:
      surface_.DrawText(text_, all, kDtLeft | kDtNoPrefix);
      break;
    case ControlKind::ListBox:
    case ControlKind::ComboBox: {
      int lh = headless::GetLineHeight(font_);
      for (size_t i = 0; i < items_.size() && int(i) * lh < s.Height; ++i)
        surface_.DrawText(items_[i], NewRectOfSize(2, int(i) * lh, s.Width - 2, lh),
                          kDtSingleLine | kDtNoPrefix);
      break;
    }
    default:
      break;
  }
}

int HeadlessPeer::SetScrollInfo(int bar, const ScrollInfo& info, bool) {
  if (bar != kSbHorz && bar != kSbVert) return 0;
  ScrollInfo& s = bars_[bar];
  if (info.Mask & kSifRange) {
    s.Min = info.Min;
    s.Max = info.Max;
  }
  if (info.Mask & kSifPage) s.Page = info.Page;
  if (info.Mask & kSifPos) s.Pos = info.Pos;
  if (info.Mask & kSifTrackPos) s.TrackPos = info.TrackPos;
  // The page never exceeds the range, and the position keeps a whole page
  // inside it, as the platform clamps them.
  int range = s.Max - s.Min + 1;
  s.Page = std::max(0, std::min(s.Page, std::max(range, 0)));
  int last = s.Page > 0 ? s.Max - s.Page + 1 : s.Max;
  s.Pos = std::max(s.Min, std::min(s.Pos, std::max(last, s.Min)));
  s.Enabled = Needs(s);
  Size before = GetClientSize();
  bar_shown_[bar] = s.Enabled || (info.Mask & kSifDisableNoScroll) != 0;
  invalid_ = true;
  ClientSizeMayHaveChanged(before);
  return s.Pos;
}

ScrollInfo HeadlessPeer::GetScrollInfo(int bar) const {
  ScrollInfo s = bars_[bar == kSbHorz ? kSbHorz : kSbVert];
  s.Mask = kSifAll;
  return s;
}

uint32_t HeadlessPeer::GetStyle() const {
  uint32_t style = params_.Kind == ControlKind::Custom ? params_.Style : 0;
  if (params_.Kind != ControlKind::Form) style |= kWsChild;
  if (params_.Kind != ControlKind::Custom) {
    if (params_.Options & kOptVScrollBar) style |= kWsVScroll;
    if (params_.Options & kOptHScrollBar) style |= kWsHScroll;
    if (params_.Options & kOptBorderSingle) style |= kWsBorder;
  }
  if (visible_) style |= kWsVisible;
  return style;
}

void HeadlessPeer::SetOptions(uint32_t options) {
  const uint32_t icons = kOptMinimizeBox | kOptMaximizeBox;
  params_.Options = (params_.Options & ~icons) | (options & icons);
}

namespace {

using headless::HeadlessCanvas;

// A canvas on a window's surface: keeps its own font, brush and pen and
// hands them to the surface with every call.
class WindowCanvas : public Canvas {
 public:
  explicit WindowCanvas(HeadlessCanvas& surface) : surface_(surface) {}
  HeadlessCanvas& GetSurface() { return surface_; }
  Size GetSize() const override { return surface_.GetSize(); }
  void FillRect(const Rect& r, Color c) override { Sync().FillRect(r, c); }
  void FrameRect(const Rect& r, Color c) override { Sync().FrameRect(r, c); }
  int DrawText(const std::string& t, const Rect& r, uint32_t f) override { return Sync().DrawText(t, r, f); }
  void DrawEdge(const Rect& r, uint32_t e, uint32_t s) override { Sync().DrawEdge(r, e, s); }
  void DrawFocusRect(const Rect& r) override { Sync().DrawFocusRect(r); }
  void Rectangle(const Rect& r) override { Sync().Rectangle(r); }
  void CopyRect(const Rect& d, Canvas& src, const Rect& s) override { Sync().CopyRect(d, src, s); }
  Size MeasureText(const std::string& t) override { return Sync().MeasureText(t); }

 private:
  HeadlessCanvas& Sync() {
    surface_.SetFont(font_);
    surface_.SetBrushColor(brush_color_);
    surface_.SetBrushStyle(brush_style_);
    surface_.SetPenColor(pen_color_);
    surface_.SetPenWidth(pen_width_);
    return surface_;
  }
  HeadlessCanvas& surface_;
};

}  // namespace

HeadlessCanvas* headless::AsHeadless(Canvas& canvas) {
  if (auto* h = dynamic_cast<HeadlessCanvas*>(&canvas)) return h;
  if (auto* w = dynamic_cast<WindowCanvas*>(&canvas)) return &w->GetSurface();
  return nullptr;
}

std::unique_ptr<Canvas> HeadlessPeer::NewPaintCanvas(uintptr_t) {
  auto canvas = std::make_unique<WindowCanvas>(surface_);
  canvas->SetFont(font_);
  return canvas;
}

std::unique_ptr<Canvas> HeadlessPeer::NewWindowCanvas() { return NewPaintCanvas(0); }

intptr_t HeadlessPeer::Send(uint32_t id, uintptr_t wparam, intptr_t lparam) {
  Message m{id, wparam, lparam};
  intptr_t result = 0;
  if (owner_.Dispatch(m, result)) return result;
  return DefaultProcess(m);
}

intptr_t HeadlessPeer::Deliver(uint32_t id, uintptr_t wparam, intptr_t lparam) {
  delivered_.push_back(Message{id, wparam, lparam});
  return Send(id, wparam, lparam);
}

void HeadlessPeer::NotifyParent(uint32_t code) {
  if (parent_ == nullptr) return;
  parent_->Deliver(kWmCommand, MakeWParam(0, uint16_t(code)),
                   reinterpret_cast<intptr_t>(GetHandle()));
}

// What the platform's own window procedures do with the requests the
// toolkit sends.
intptr_t HeadlessPeer::DefaultProcess(const Message& m) {
  const int count = int(items_.size());
  switch (m.Id) {
    case kEmSetLimitText:
      limit_text_ = m.WParam == 0 ? 0x7FFFFFFEu : uint32_t(m.WParam);
      return 0;
    case kEmGetLimitText:
      return intptr_t(limit_text_);
    case kEmSetReadOnly:
      read_only_ = m.WParam != 0;
      return 1;
    case kEmGetLineCount: {
      intptr_t lines = 1;
      for (size_t i = 0; i + 1 < text_.size(); ++i)
        if (text_[i] == '\r' && text_[i + 1] == '\n') ++lines;
      return lines;
    }
    case kEmGetSel:
      return intptr_t(selection_);
    case kWmChar:
      // A multi-line edit box breaks the line at Enter's character (Ctrl+Enter
      // gives line feed), as the platform's does outside dialogs.
      if (params_.Kind == ControlKind::Memo && (m.WParam == '\r' || m.WParam == '\n')) Type("\r\n");
      return 0;
    case kEmSetSel:
      selection_ = uint32_t(MakeWParam(uint16_t(m.WParam), uint16_t(m.LParam)));
      return 0;
    case kBmGetCheck:
      return checked_ ? 1 : 0;
    case kBmSetCheck:
      checked_ = m.WParam != 0;
      invalid_ = true;
      return 0;
    case kLbResetContent:
    case kCbResetContent:
      items_.clear();
      current_item_ = -1;
      invalid_ = true;
      return 0;
    case kLbGetCount:
    case kCbGetCount:
      return count;
    case kLbGetCurSel:
    case kCbGetCurSel:
      return current_item_;
    case kLbSetCurSel:
    case kCbSetCurSel: {
      int i = int(intptr_t(m.WParam));
      current_item_ = i >= 0 && i < count ? i : -1;
      invalid_ = true;
      return current_item_ == i ? i : -1;
    }
    default:
      return 0;
  }
}

std::unique_ptr<ControlPeer> NewControlPeer(Control& owner, const ControlParams& params,
                                            ControlPeer* parent) {
  return std::make_unique<HeadlessPeer>(owner, params, static_cast<HeadlessPeer*>(parent));
}

}  // namespace tabulon

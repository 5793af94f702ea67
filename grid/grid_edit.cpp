// In-place editing of the current cell with an editor lent by the owner
// through OnBeginEdit. The grid places the editor over the cell, fills it
// with the cell's text and focuses it; OnEndEdit sees the typed text and
// may rewrite or refuse it. The editor stays a hidden child of the grid
// afterwards; the grid never creates or frees one.
#include "input.h"
#include "xl_grid.h"

namespace tabulon {
namespace {

// The editor's text is read into a buffer of 1024 characters, as the
// platform's window-text call fills it, so at most 1023 arrive.
constexpr size_t kMaxEditText = 1023;

bool IsInside(const Control* control, const Control* ancestor) {
  for (const Control* c = control; c != nullptr; c = c->GetParent())
    if (c == ancestor) return true;
  return false;
}

}  // namespace

void XLGrid::BeginEdit() {
  if (editor_ != nullptr) return;
  if (col_count_ == 0 || row_count_ == 0 || current_.Col < 0 || current_.Row < 0) return;
  Control* editor = nullptr;
  Control* edit = nullptr;
  XLGridSides margins;
  if (on_begin_edit_) on_begin_edit_(*this, current_.Col, current_.Row, editor, edit, margins);
  if (editor == nullptr) return;  // the cell is not editable
  if (edit == nullptr) edit = editor;
  editor_ = editor;
  edit_control_ = edit;
  const XLGridCell& cell = GetCell(current_.Col, current_.Row);
  edit->SetFont(cell.GetFont());
  editor->SetParent(this);
  const Rect r = CellRect(current_.Col, current_.Row);
  editor->SetBounds(Rect{r.Left + margins.Left, r.Top + margins.Top, r.Right - margins.Right,
                         r.Bottom - margins.Bottom});
  edit->SetText(cell.GetText());
  editor->Show();
  edit->SetFocus();
  HookEditControl(*edit);
}

void XLGrid::HookEditControl(Control& edit) {
  if (hooked_control_ != nullptr && hooked_control_ != &edit) UnhookEditControl();
  hooked_control_ = &edit;
  edit.OnExit = [this](Control&) { EndEdit(true, false); };
  // Enter and F2 accept, Escape cancels; the focus goes back to the grid
  // when the edit ended. The key itself is left to the edit control.
  edit.OnKeyDown = [this](Control&, int& key, uint32_t) {
    bool ended;
    if (key == kVkReturn || key == kVkF2)
      ended = EndEdit(true, false);
    else if (key == kVkEscape)
      ended = EndEdit(false, false);
    else
      return;
    if (ended) SetFocus();
  };
}

void XLGrid::UnhookEditControl() {
  if (hooked_control_ == nullptr) return;
  // The control may have been freed by its owner since; only one still
  // inside the grid is known to exist.
  for (Control* child : GetChildren()) {
    if (IsInside(hooked_control_, child)) {
      hooked_control_->OnExit = nullptr;
      hooked_control_->OnKeyDown = nullptr;
      break;
    }
  }
  hooked_control_ = nullptr;
}

bool XLGrid::EndEdit(bool accept, bool force) {
  bool allow = true;
  // Hiding the editor or moving the focus makes the edit control lose the
  // focus, whose handler comes back here: that inner call has nothing to do.
  if (editor_ == nullptr || ending_edit_) return true;
  if (!editor_->IsVisible()) {
    editor_ = nullptr;
    edit_control_ = nullptr;
    return true;
  }
  // Another part of a compound editor (its drop-down button, say) has the
  // focus: the user is still editing.
  Control* focused = Control::FindControl(GetFocus());
  if (focused != nullptr && focused != edit_control_ && focused != editor_ &&
      IsInside(focused, editor_))
    return true;
  ending_edit_ = true;
  std::string text = edit_control_->GetText();
  if (text.size() > kMaxEditText) text.resize(kMaxEditText);
  if (on_end_edit_)
    on_end_edit_(*this, current_.Col, current_.Row, editor_, edit_control_, text, accept, allow);
  if (!allow && !force) {
    ending_edit_ = false;
    return false;
  }
  if (accept && allow) GetCell(current_.Col, current_.Row).SetText(text);
  Control* editor = editor_;
  editor_ = nullptr;
  edit_control_ = nullptr;
  editor->Hide();
  ending_edit_ = false;
  return allow;
}

}  // namespace tabulon

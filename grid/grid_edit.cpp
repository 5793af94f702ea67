// In-place editing of the current cell with an editor lent by the owner
// through its data source. The grid places the editor over the cell, fills it
// with the cell's text and focuses it; the source's EndEdit sees the text and
// may rewrite or refuse it. The editor stays a hidden child of the grid
// afterwards; the grid never creates or frees one, and the owner may free
// one at any time: a destroyed editor counts as one hidden by its owner.
#include "input.h"
#include "utf8_length.h"
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
  if (editor_.Get() != nullptr) return;
  if (col_count_ == 0 || row_count_ == 0 || current_.Col < 0 || current_.Row < 0) return;
  const XLGridEditor lent = source_ ? source_->BeginEdit(current_.Col, current_.Row) : XLGridEditor{};
  Control* editor = lent.Editor;
  Control* edit = lent.EditControl;
  const XLGridSides margins = lent.Margins;
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
  edit->SetText(GetCellText(current_.Col, current_.Row));
  editor->Show();
  // Hooked before it takes the focus: the control of the last edit may
  // still hold the focus, and its focus loss must not end this edit.
  HookEditControl(*edit);
  edit->SetFocus();
  // As a spreadsheet does: the whole text selected, so typing replaces it
  // and the arrow keys move the caret within it.
  if (edit->GetKind() == ControlKind::Edit || edit->GetKind() == ControlKind::Memo)
    edit->Perform(kEmSetSel, 0, -1);
}

void XLGrid::HookEditControl(Control& edit) {
  Control* hooked = hooked_control_.Get();
  if (hooked != nullptr && hooked != &edit) UnhookEditControl();
  hooked_control_ = &edit;
  edit.OnExit = [this](Control&) { EndEdit(true, false); };
  // Enter and F2 accept, Escape cancels; the focus goes back to the grid
  // when the edit ended. Ctrl+Enter in a multi-line editor is a line break,
  // which the control's own character handling puts in. The key itself is
  // left to the edit control.
  edit.OnKeyDown = [this](Control& sender, int& key, uint32_t shift) {
    if (key == kVkReturn && (shift & kShiftCtrl) != 0 && sender.GetKind() == ControlKind::Memo)
      return;
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
  // Wherever the owner has put the control since, its handlers must not
  // outlive the grid; a destroyed control has dropped them itself.
  if (Control* hooked = hooked_control_.Get()) {
    hooked->OnExit = nullptr;
    hooked->OnKeyDown = nullptr;
  }
  hooked_control_ = nullptr;
}

bool XLGrid::EndEdit(bool accept, bool force) {
  bool allow = true;
  // Hiding the editor or moving the focus makes the edit control lose the
  // focus, whose handler comes back here: that inner call has nothing to do.
  if (ending_edit_) return true;
  Control* editor = editor_.Get();
  Control* edit = edit_control_.Get();
  // Nothing edited, or the editor hidden or destroyed by its owner: the
  // edit is forgotten unasked. A compound editor that lost its edit control
  // has no text to give and is hidden, as every end of an edit leaves it.
  if (editor == nullptr || edit == nullptr || !editor->IsVisible()) {
    editor_ = nullptr;
    edit_control_ = nullptr;
    if (editor != nullptr) editor->Hide();
    return true;
  }
  // Another part of a compound editor (its drop-down button, say) has the
  // focus: the user is still editing.
  Control* focused = Control::FindControl(GetFocus());
  if (focused != nullptr && focused != edit && focused != editor && IsInside(focused, editor))
    return true;
  ending_edit_ = true;
  std::string text = edit->GetText();
  if (Utf8Length(text) > kMaxEditText) text = Utf8Prefix(text, kMaxEditText);
  if (source_) allow = source_->EndEdit(current_.Col, current_.Row, text, accept);
  if (!allow && !force) {
    ending_edit_ = false;
    return false;
  }
  // The handler may have emptied the grid (a refill that found the data
  // gone): a cell that no longer exists takes no text.
  // An owner-data grid's texts are its owner's, who stored the edit or not.
  if (accept && allow && HasCell(current_) && !owner_data_)
    GetCell(current_.Col, current_.Row).SetText(text);
  editor = editor_.Get();  // the handler may have destroyed it
  editor_ = nullptr;
  edit_control_ = nullptr;
  if (editor != nullptr) editor->Hide();
  ending_edit_ = false;
  return allow;
}

}  // namespace tabulon

// MemoEditorWindow: a separate window for one memo text, with room for
// nearly 8 MB of text. It knows nothing of tables: the caller puts the
// text into Memo1, shows the window modally, and reads SavedText when the
// showing ended with kMemoSaved.
#pragma once

#include <memory>
#include <string>

#include "button.h"
#include "edit.h"
#include "form.h"
#include "panel.h"

namespace tabulon {

constexpr int kMemoNotSaved = 1;
constexpr int kMemoSaved = 2;
// The most characters the user can enter (the edit control's limit).
constexpr int kMemoEditorMaxLength = 0x7AC000;

class MemoEditorWindow {
 public:
  // Built hidden.
  MemoEditorWindow();
  MemoEditorWindow(const MemoEditorWindow&) = delete;
  MemoEditorWindow& operator=(const MemoEditorWindow&) = delete;

  Form& GetForm() { return *Window; }
  // One showing: starts as not saved, ends with kMemoNotSaved or
  // kMemoSaved when the user leaves; the window stays visible.
  int ShowModal();

  std::unique_ptr<Form> Window;
  std::unique_ptr<Panel> ButtonPanel;
  std::unique_ptr<Memo> Memo1;
  std::unique_ptr<Button> SaveButton;
  std::unique_ptr<Button> ExitButton;
  // The text of Memo1 at the last press of SaveButton.
  std::string SavedText;
  int MemoEditResult = kMemoNotSaved;
};

}  // namespace tabulon

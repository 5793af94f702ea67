// MemoEditorWindow: a separate window for one memo text, with room for
// nearly 8 MB of text. It knows nothing of tables: the caller puts the
// text into Memo1, sets OnSave to store it, and shows the window modally;
// the showing ends with kMemoSaved when a save was stored.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "button.h"
#include "edit.h"
#include "form.h"
#include "label.h"
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
  // Says that the last "Сохранить" was stored; empty otherwise.
  std::unique_ptr<Label> SaveNote;
  // Stores the text at "Сохранить" and says whether it was stored; a
  // refusal is the caller's to tell, and the text stays for another try.
  std::function<bool(const std::string& text)> OnSave;
  // The text of Memo1 at the last press of SaveButton.
  std::string SavedText;
  int MemoEditResult = kMemoNotSaved;
};

}  // namespace tabulon

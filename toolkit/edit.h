// Edit boxes: single-line (Edit) and multi-line (Memo). Text is
// UTF-8; lines of a memo end with CR LF.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "control.h"

namespace tabulon {

enum class BorderStyle : uint8_t { None, Single, Sunken };

struct EditOptions {
  bool DigitsOnly = false;
  bool ReadOnly = false;
};

// Default size 100 x 22.
class Edit : public Control {
 public:
  Edit(Control* parent, const EditOptions& options);
  // The most characters the user can enter (the edit control's limit-text
  // request); text set by the program is not cut.
  void SetMaxLength(int chars);
  int GetMaxLength() const;
  void SetReadOnly(bool on);
  // Raised when the text changed (by the user or the program).
  std::function<void(Edit& sender)> OnChange;

 protected:
  Edit(Control* parent, const ControlParams& params);
  void Notify(uint32_t code) override;
};

struct MemoOptions {
  bool VScrollBar = false;
  bool HScrollBar = false;
  bool AutoVScroll = true;
  // Off: lines wrap at the control's width.
  bool AutoHScroll = false;
  bool ReadOnly = false;
  BorderStyle Border = BorderStyle::Sunken;
};

// Default size 200 x 200.
class Memo : public Edit {
 public:
  Memo(Control* parent, const MemoOptions& options);
  void Clear() { SetText(""); }
  // Adds text at the end, as if typed there.
  void Append(const std::string& text);
  int GetLineCount();
};

std::unique_ptr<Edit> NewEdit(Control* parent, const EditOptions& options = {});
std::unique_ptr<Memo> NewMemo(Control* parent, const MemoOptions& options = {});

}  // namespace tabulon

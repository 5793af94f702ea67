// List boxes and read-only drop-down lists of UTF-8 lines.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "control.h"

namespace tabulon {

struct ListBoxOptions {
  bool IntegralHeight = true;
};

// Default size 120 x 84, with a vertical scroll bar when needed.
class ListBox : public Control {
 public:
  ListBox(Control* parent, const ListBoxOptions& options);
  void Clear();
  void AddLine(const std::string& line);
  // Replaces every line with lines, in one batch that repaints once.
  void SetLines(const std::vector<std::string>& lines);
  int GetCount() const;
  std::string GetLine(int index) const;
  // The selected line, -1 for none.
  int GetItemIndex() const;
  void SetItemIndex(int index);
  std::function<void(ListBox& sender)> OnDblClick;
  std::function<void(ListBox& sender)> OnChange;

 protected:
  void Notify(uint32_t code) override;
};

struct ComboBoxOptions {
  bool IntegralHeight = false;
  int DropDownLines = 8;
};

// A drop-down list the user can only choose from. Default size 100 x 22.
class ComboBox : public Control {
 public:
  ComboBox(Control* parent, const ComboBoxOptions& options);
  void Clear();
  void AddItem(const std::string& item);
  void SetItems(const std::vector<std::string>& items);
  int GetCount() const;
  std::string GetItem(int index) const;
  int GetItemIndex() const;
  void SetItemIndex(int index);
  // The selected item's text ("" for none).
  std::string GetText() const override;
  std::function<void(ComboBox& sender)> OnChange;

 protected:
  void Notify(uint32_t code) override;
};

std::unique_ptr<ListBox> NewListBox(Control* parent, const ListBoxOptions& options = {});
std::unique_ptr<ComboBox> NewComboBox(Control* parent, const ComboBoxOptions& options = {});

}  // namespace tabulon

// Menu bar built from an item template: "Файл", "(", "Открыть", ")",
// "Справка" gives a bar item "Файл" whose submenu holds one item, then a bar
// item "Справка". "(" and ")" open and close a submenu (they nest). Items
// are numbered 0, 1, 2 ... in template order, brackets not counted; a bar
// item that opens a submenu only opens it.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tabulon {

class Form;

struct MenuItem {
  std::string Caption;   // UTF-8
  int Parent = -1;       // index of the item whose submenu holds it
  bool HasSubmenu = false;
};

class MenuBar {
 public:
  MenuBar(Form& form, const std::vector<std::string>& item_template);
  ~MenuBar();
  MenuBar(const MenuBar&) = delete;
  MenuBar& operator=(const MenuBar&) = delete;

  const std::vector<MenuItem>& GetItems() const { return items_; }
  Form& GetForm() const { return form_; }
  // Raised with the item's index when the user chooses an item without a
  // submenu.
  std::function<void(MenuBar& sender, int index)> OnItemClick;

  // Backends only: the command id of item i is kMenuCommandBase + i.
  static constexpr int kMenuCommandBase = 100;
  void Choose(int index);

 private:
  Form& form_;
  std::vector<MenuItem> items_;
};

// Parses the template (unbalanced brackets are closed at the end, extra
// closing ones ignored) and attaches the bar to the form.
std::unique_ptr<MenuBar> NewMenuBar(Form& form, const std::vector<std::string>& item_template);

}  // namespace tabulon

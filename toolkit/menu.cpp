#include "menu.h"

#include "driver.h"
#include "form.h"

namespace tabulon {

MenuBar::MenuBar(Form& form, const std::vector<std::string>& item_template) : form_(form) {
  std::vector<int> open;  // items whose submenus are being filled
  for (const std::string& entry : item_template) {
    if (entry == "(") {
      if (!items_.empty()) {
        items_.back().HasSubmenu = true;
        open.push_back(int(items_.size()) - 1);
      }
      continue;
    }
    if (entry == ")") {
      if (!open.empty()) open.pop_back();
      continue;
    }
    MenuItem item;
    item.Caption = entry;
    item.Parent = open.empty() ? -1 : open.back();
    items_.push_back(item);
  }
  form_.AttachMenuBar(this);
  form_.GetPeer().SetMenu(this);
}

MenuBar::~MenuBar() {
  if (form_.GetMenuBar() == this) {
    form_.GetPeer().SetMenu(nullptr);
    form_.AttachMenuBar(nullptr);
  }
}

void MenuBar::Choose(int index) {
  if (index < 0 || index >= int(items_.size()) || items_[size_t(index)].HasSubmenu) return;
  if (OnItemClick) OnItemClick(*this, index);
}

std::unique_ptr<MenuBar> NewMenuBar(Form& form, const std::vector<std::string>& item_template) {
  return std::make_unique<MenuBar>(form, item_template);
}

}  // namespace tabulon

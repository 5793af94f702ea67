#include <vector>

#include "menu.h"
#include "win32_internal.h"

namespace tabulon {

HMENU BuildMenu(const MenuBar& menu) {
  HMENU bar = CreateMenu();
  const std::vector<MenuItem>& items = menu.GetItems();
  // Items come after the item whose submenu holds them, so each submenu
  // exists before its first item is appended.
  std::vector<HMENU> submenus(items.size(), nullptr);
  for (size_t i = 0; i < items.size(); ++i) {
    const MenuItem& item = items[i];
    HMENU into = item.Parent < 0 ? bar : submenus[size_t(item.Parent)];
    std::wstring caption = Utf8ToWide(item.Caption);
    if (item.HasSubmenu) {
      submenus[i] = CreatePopupMenu();
      AppendMenuW(into, MF_STRING | MF_POPUP, reinterpret_cast<UINT_PTR>(submenus[i]), caption.c_str());
    } else {
      AppendMenuW(into, MF_STRING, UINT_PTR(MenuBar::kMenuCommandBase + int(i)), caption.c_str());
    }
  }
  return bar;
}

}  // namespace tabulon

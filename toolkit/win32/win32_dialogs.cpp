// The common open and save dialogs.

#include <vector>

#include "file_dialog.h"
#include "win32_internal.h"

#include <commdlg.h>

namespace tabulon {
namespace {

// "Description|*.ext|..." becomes the platform's NUL-separated pairs, ended
// by a double NUL.
std::wstring PlatformFilter(const std::string& filter) {
  std::wstring wide = Utf8ToWide(filter);
  for (wchar_t& c : wide) {
    if (c == L'|') c = L'\0';
  }
  wide.push_back(L'\0');
  wide.push_back(L'\0');
  return wide;
}

}  // namespace

bool FileDialog::Execute() {
  // Room for any path the file system takes.
  std::vector<wchar_t> file(32768, L'\0');
  std::wstring initial = Utf8ToWide(file_name_).substr(0, file.size() - 1);
  initial.copy(file.data(), initial.size());
  std::wstring filter = PlatformFilter(filter_);
  std::wstring dir = Utf8ToWide(initial_dir_);
  std::wstring title = Utf8ToWide(title_);
  std::wstring ext = Utf8ToWide(default_ext_);

  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof(ofn);
  ofn.hwndOwner = AsHwnd(owner_);
  ofn.lpstrFilter = filter_.empty() ? nullptr : filter.c_str();
  ofn.nFilterIndex = DWORD(filter_index_ > 0 ? filter_index_ : 1);
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = DWORD(file.size());
  ofn.lpstrInitialDir = dir.empty() ? nullptr : dir.c_str();
  ofn.lpstrTitle = title.empty() ? nullptr : title.c_str();
  ofn.lpstrDefExt = ext.empty() ? nullptr : ext.c_str();
  ofn.Flags = options_;
  BOOL chosen = mode_ == FileDialogMode::Save ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn);
  if (!chosen) return false;
  file_name_ = WideToUtf8(file.data());
  filter_index_ = int(ofn.nFilterIndex);
  return true;
}


}  // namespace tabulon

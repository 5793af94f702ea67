// What the program's Windows tests share: a control's window, the message
// pump, table files read and written whole, UTF-8 paths in UTF-16, and a
// temporary folder of the test process's own.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

#include "control.h"
#include "support/table_bytes.h"
#include "support/temp_folder.h"

#include <windows.h>

namespace tabulon::test {

// A UTF-8 text (a path as the program keeps it) for the wide Windows API.
inline std::wstring Widen(const std::string& utf8) {
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(n), L'\0');
  if (n > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &wide[0], n);
  return wide;
}

// The tests name their files inside the temporary folder the program
// reports. Pointed at a fresh folder of this process's own (TMP is what
// GetTempPathW reads first), two runs at once never share a file; the
// folder goes when the process ends.
class ProcessTempFolder {
 public:
  ProcessTempFolder() : folder_("tabulon-win32") {
    if (folder_.Path().empty()) return;
    const std::wstring path = Widen(folder_.Path() + "\\");
    SetEnvironmentVariableW(L"TMP", path.c_str());
    SetEnvironmentVariableW(L"TEMP", path.c_str());
  }

 private:
  TempFolder folder_;
};
inline ProcessTempFolder process_temp_folder;

inline HWND H(const Control& c) { return reinterpret_cast<HWND>(c.GetHandle()); }

inline void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

inline bool WriteFile(const std::string& path, const Bytes& bytes) {
  FILE* f = _wfopen(Widen(path).c_str(), L"wb");
  if (f == nullptr) return false;
  const bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return fclose(f) == 0 && ok;
}

// Empty when the file cannot be read.
inline Bytes ReadFile(const std::string& path) {
  Bytes bytes;
  FILE* f = _wfopen(Widen(path).c_str(), L"rb");
  if (f == nullptr) return bytes;
  int c;
  while ((c = fgetc(f)) != EOF) bytes.push_back(uint8_t(c));
  fclose(f);
  return bytes;
}

}  // namespace tabulon::test

// What the program's Windows tests share: a control's window, the message
// pump, and table files read and written whole.
#pragma once

#include <cstdio>
#include <string>

#include "control.h"
#include "support/table_bytes.h"

#include <windows.h>

namespace tabulon::test {

inline HWND H(const Control& c) { return reinterpret_cast<HWND>(c.GetHandle()); }

inline void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

inline bool WriteFile(const std::string& path, const Bytes& bytes) {
  FILE* f = fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  const bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return fclose(f) == 0 && ok;
}

// Empty when the file cannot be read.
inline Bytes ReadFile(const std::string& path) {
  Bytes bytes;
  FILE* f = fopen(path.c_str(), "rb");
  if (f == nullptr) return bytes;
  int c;
  while ((c = fgetc(f)) != EOF) bytes.push_back(uint8_t(c));
  fclose(f);
  return bytes;
}

}  // namespace tabulon::test

// Local time, the temporary-files folder, the program's own path, its
// arguments and the user's list separator.
#include <vector>

#include "system.h"
#include "win32_internal.h"

#include <shellapi.h>

namespace tabulon {

LocalTime GetLocalTime() {
  SYSTEMTIME st{};
  ::GetLocalTime(&st);
  LocalTime t;
  t.Year = st.wYear;
  t.Month = st.wMonth;
  t.Day = st.wDay;
  t.DayOfWeek = st.wDayOfWeek;
  t.Hour = st.wHour;
  t.Minute = st.wMinute;
  t.Second = st.wSecond;
  t.Millisecond = st.wMilliseconds;
  return t;
}

std::string GetTempFolder() {
  wchar_t path[MAX_PATH + 2] = {};
  DWORD n = GetTempPathW(MAX_PATH + 1, path);
  if (n == 0 || n > MAX_PATH + 1) return std::string();
  return WideToUtf8(path);
}

std::string GetProgramPath() {
  // The path may be longer than MAX_PATH; grow until it fits.
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, buffer.data(), DWORD(buffer.size()));
    if (n == 0) return std::string();
    if (n < buffer.size()) return WideToUtf8(buffer.data());
    buffer.resize(buffer.size() * 2);
  }
}

std::string GetListSeparator() {
  wchar_t separator[8] = {};  // at most three characters and the end
  if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SLIST, separator, 8) == 0) return ",";
  return WideToUtf8(separator);
}

}  // namespace tabulon

namespace tabulon {

// From the wide command line: the narrow one is in the ANSI code page,
// which cannot name every file.
std::vector<std::string> GetProgramArguments() {
  std::vector<std::string> arguments;
  int count = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
  if (argv == nullptr) return arguments;
  for (int i = 1; i < count; ++i) arguments.push_back(WideToUtf8(argv[i]));
  LocalFree(argv);
  return arguments;
}

}  // namespace tabulon

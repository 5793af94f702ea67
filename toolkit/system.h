// System services: local time, the temporary-files folder, the path of
// the program's own executable, the arguments it was started with and the
// user's list separator.
#pragma once

#include <string>
#include <vector>

namespace tabulon {

// GetLocalTime.
struct LocalTime {
  int Year = 0;
  int Month = 0;  // 1..12
  int Day = 0;    // 1..31
  int DayOfWeek = 0;  // 0 = Sunday
  int Hour = 0;
  int Minute = 0;
  int Second = 0;
  int Millisecond = 0;
};
LocalTime GetLocalTime();

// The temporary-files folder (UTF-8), ending with the path separator.
std::string GetTempFolder();
// The full path of the running executable (UTF-8).
std::string GetProgramPath();
// The arguments after the program's name (UTF-8), as the shell or Windows
// gave them: a file opened with the program arrives as the first.
std::vector<std::string> GetProgramArguments();
// The user's list separator (UTF-8), as the regional settings give it:
// ";" on Russian systems, "," on most others.
std::string GetListSeparator();

}  // namespace tabulon

// System services: local time, the temporary-files folder, the path of
// the program's own executable and the arguments it was started with.
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

}  // namespace tabulon

// System services: local time, the temporary-files folder and the path of
// the program's own executable.
#pragma once

#include <string>

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

}  // namespace tabulon

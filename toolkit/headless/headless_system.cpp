// Time, folders and the classic system colours of the headless platform.
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <ctime>

#include "color.h"
#include "headless_peer.h"
#include "system.h"

namespace tabulon {
namespace {

struct SystemState {
  bool FixedTime = false;
  LocalTime Time;
  std::string TempFolder;
  std::vector<std::string> Arguments;
  std::string ListSeparator = ",";
};

SystemState& System() {
  static SystemState state;
  return state;
}

// The classic Windows scheme (COLORREF values, indices 0..30).
const uint32_t kSystemColors[31] = {
    0xC8C8C8, 0x808000, 0x800000, 0x808080, 0xC0C0C0, 0xFFFFFF, 0x000000, 0x000000,
    0x000000, 0xFFFFFF, 0xC0C0C0, 0xC0C0C0, 0x808080, 0x800000, 0xFFFFFF, 0xC0C0C0,
    0x808080, 0x808080, 0x000000, 0xC0C0C0, 0xFFFFFF, 0x000000, 0xDFDFDF, 0x000000,
    0xE1FFFF, 0xB5B5B5, 0x800000, 0xD08410, 0x808080, 0x800000, 0xC0C0C0,
};

}  // namespace

uint32_t ResolveColor(Color c) {
  if (!IsSystemColor(c)) return c & 0xFFFFFF;
  int i = GetSystemColorIndex(c);
  return i < 31 ? kSystemColors[i] : 0;
}

LocalTime GetLocalTime() {
  if (System().FixedTime) return System().Time;
  auto now = std::chrono::system_clock::now();
  std::time_t t = std::chrono::system_clock::to_time_t(now);
  std::tm tm{};
  localtime_r(&t, &tm);
  LocalTime lt;
  lt.Year = tm.tm_year + 1900;
  lt.Month = tm.tm_mon + 1;
  lt.Day = tm.tm_mday;
  lt.DayOfWeek = tm.tm_wday;
  lt.Hour = tm.tm_hour;
  lt.Minute = tm.tm_min;
  lt.Second = tm.tm_sec;
  lt.Millisecond = int(std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000);
  return lt;
}

std::string GetTempFolder() {
  if (!System().TempFolder.empty()) return System().TempFolder;
  const char* dir = std::getenv("TMPDIR");
  std::string folder = dir != nullptr && *dir != 0 ? dir : "/tmp";
  if (folder.back() != '/') folder += '/';
  return folder;
}

std::string GetProgramPath() {
  char path[4096];
  ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  return n > 0 ? std::string(path, size_t(n)) : std::string();
}

std::vector<std::string> GetProgramArguments() { return System().Arguments; }

std::string GetListSeparator() { return System().ListSeparator; }

namespace headless {

void SetProgramArguments(const std::vector<std::string>& arguments) { System().Arguments = arguments; }

void SetListSeparator(const std::string& separator) { System().ListSeparator = separator; }

void SetLocalTime(const LocalTime& time) {
  System().FixedTime = true;
  System().Time = time;
}

void SetTempFolder(const std::string& folder) {
  System().TempFolder = folder;
  if (!folder.empty() && folder.back() != '/') System().TempFolder += '/';
}

void ResetSystem() { System() = SystemState{}; }

}  // namespace headless
}  // namespace tabulon

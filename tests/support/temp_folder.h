// A folder of a test's or benchmark's own under the system's temporary
// folder, removed with everything in it when the object goes.
//
// As mkdtemp does, the name carries random letters and is taken only when
// nothing of that name exists yet (creating a folder fails on an existing
// name), so runs at the same time on one machine never share a folder.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>

namespace tabulon::test {

class TempFolder {
 public:
  explicit TempFolder(const std::string& prefix = "tabulon") {
    namespace stdfs = std::filesystem;
    std::error_code error;
    const stdfs::path root = stdfs::temp_directory_path(error);
    // Some C libraries make random_device deterministic; the clock and this
    // object's address make two processes differ anyway.
    std::random_device device;
    std::mt19937_64 random(uint64_t{device()} ^
                           static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                           reinterpret_cast<uintptr_t>(this));
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
      std::string name = prefix + "-";
      for (int i = 0; i < 10; ++i) name += kLetters[random() % (sizeof kLetters - 1)];
      const stdfs::path candidate = root / name;
      if (stdfs::create_directory(candidate, error)) path_ = candidate.u8string();
    }
  }
  ~TempFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(std::filesystem::u8path(path_), ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // Empty when no folder could be made. UTF-8, without a final separator.
  const std::string& Path() const { return path_; }
  std::string Path(const std::string& name) const {
    return (std::filesystem::u8path(path_) / std::filesystem::u8path(name)).u8string();
  }

 private:
  std::string path_;
};

}  // namespace tabulon::test

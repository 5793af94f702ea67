// The file layer on POSIX systems.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <ctime>

#include "dbf_file.h"

namespace tabulon {

namespace {

class PosixFile final : public DbfFile {
 public:
  explicit PosixFile(int fd) : fd_(fd) {}
  ~PosixFile() override { Close(); }

  bool Read(void* data, size_t n, size_t* got) override {
    *got = 0;
    ssize_t r;
    do r = ::read(fd_, data, n);
    while (r < 0 && errno == EINTR);
    if (r < 0) return false;
    *got = static_cast<size_t>(r);
    return true;
  }

  bool Write(const void* data, size_t n) override {
    const char* p = static_cast<const char*>(data);
    while (n > 0) {
      ssize_t w = ::write(fd_, p, n);
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) return false;
      p += w;
      n -= static_cast<size_t>(w);
    }
    return true;
  }

  bool ReadAt(uint64_t position, void* data, size_t n, size_t* got) override {
    *got = 0;
    ssize_t r;
    do r = ::pread(fd_, data, n, static_cast<off_t>(position));
    while (r < 0 && errno == EINTR);
    if (r < 0) return false;
    *got = static_cast<size_t>(r);
    return true;
  }

  bool WriteAt(uint64_t position, const void* data, size_t n) override {
    const char* p = static_cast<const char*>(data);
    while (n > 0) {
      ssize_t w = ::pwrite(fd_, p, n, static_cast<off_t>(position));
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) return false;
      p += w;
      n -= static_cast<size_t>(w);
      position += static_cast<uint64_t>(w);
    }
    return true;
  }

  bool Seek(uint64_t position) override {
    return ::lseek(fd_, static_cast<off_t>(position), SEEK_SET) >= 0;
  }

  bool Tell(uint64_t* position) override {
    off_t at = ::lseek(fd_, 0, SEEK_CUR);
    if (at < 0) return false;
    *position = static_cast<uint64_t>(at);
    return true;
  }

  bool GetSize(uint64_t* size) override {
    struct stat st;
    if (::fstat(fd_, &st) != 0) return false;
    *size = static_cast<uint64_t>(st.st_size);
    return true;
  }

  bool SetSize(uint64_t size) override { return ::ftruncate(fd_, static_cast<off_t>(size)) == 0; }
  bool Flush() override { return ::fsync(fd_) == 0; }

  // Record locks of the other xBase programs are fcntl locks; flock (taken
  // at the open) neither sees them nor is seen by them.
  bool TryLock(uint64_t offset, uint64_t length) override { return SetLock(F_WRLCK, offset, length); }
  bool Unlock(uint64_t offset, uint64_t length) override { return SetLock(F_UNLCK, offset, length); }

  bool Close() override {
    if (fd_ < 0) return true;
    int r = ::close(fd_);  // also drops the lock
    fd_ = -1;
    return r == 0;
  }

 private:
  bool SetLock(short type, uint64_t offset, uint64_t length) {
    if (offset > INT64_MAX || length == 0 || length > static_cast<uint64_t>(INT64_MAX) - offset)
      return false;
    struct flock lock = {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = static_cast<off_t>(offset);
    lock.l_len = static_cast<off_t>(length);
    int r;
    do r = ::fcntl(fd_, F_SETLK, &lock);
    while (r != 0 && errno == EINTR);
    return r == 0;
  }

  int fd_;
};

class PosixFileSystem final : public DbfFileSystem {
 public:
  std::unique_ptr<DbfFile> Open(const std::string& path, DbfOpenMode mode) override {
    const bool reading = mode == DbfOpenMode::ReadOnly || mode == DbfOpenMode::ReadOnlyNoFollow;
    // O_NONBLOCK so that a FIFO at the name cannot hang the open; it is
    // refused below and the flag is cleared for a regular file.
    int flags = O_CLOEXEC | O_NONBLOCK | (reading ? O_RDONLY : O_RDWR);
    if (mode == DbfOpenMode::Create) flags |= O_CREAT;
    // Never through a link: a planted link would redirect the new file.
    if (mode == DbfOpenMode::CreateNew) flags |= O_CREAT | O_EXCL | O_NOFOLLOW;
    if (mode == DbfOpenMode::ReadOnlyNoFollow) flags |= O_NOFOLLOW;
    int fd = ::open(path.c_str(), flags, 0666);
    if (fd < 0) return nullptr;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
      ::close(fd);
      return nullptr;
    }
    // POSIX has no share modes; an exclusive advisory lock keeps two
    // writers of this program apart, as the Windows share mode does.
    // The file is truncated only once the lock is held.
    if (!reading &&
        (::flock(fd, LOCK_EX | LOCK_NB) != 0 ||
         (mode == DbfOpenMode::Create && ::ftruncate(fd, 0) != 0))) {
      ::close(fd);
      return nullptr;
    }
    return std::make_unique<PosixFile>(fd);
  }

  bool Exists(const std::string& path) override {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
  }

  bool ListFolder(const std::string& path_in_folder, std::vector<std::string>* names) override {
    const size_t slash = path_in_folder.find_last_of('/');
    const std::string folder = slash == std::string::npos ? std::string(".")
                               : slash == 0               ? std::string("/")
                                                          : path_in_folder.substr(0, slash);
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return false;
    names->clear();
    while (const struct dirent* entry = ::readdir(dir)) {
      const std::string name = entry->d_name;
      if (name != "." && name != "..") names->push_back(name);
    }
    ::closedir(dir);
    return true;
  }

  bool GetInfo(const std::string& path, DbfFileInfo* info) override {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return false;
    info->Size = static_cast<uint64_t>(st.st_size);
    info->ModifiedTime = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return true;
  }

  bool Remove(const std::string& path) override { return ::unlink(path.c_str()) == 0; }

  bool Rename(const std::string& from, const std::string& to) override {
    return ::rename(from.c_str(), to.c_str()) == 0;
  }

  bool FlushFolder(const std::string& path_in_folder) override {
    size_t slash = path_in_folder.find_last_of('/');
    std::string folder = slash == std::string::npos ? std::string(".")
                         : slash == 0               ? std::string("/")
                                                    : path_in_folder.substr(0, slash);
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    int r;
    do r = ::fsync(fd);
    while (r != 0 && errno == EINTR);
    // Some file systems cannot sync a folder and say so with EINVAL; their
    // names are as durable as they will ever be.
    bool ok = r == 0 || errno == EINVAL;
    ::close(fd);
    return ok;
  }

  bool GetIdentity(const std::string& path, DbfFileIdentity* identity) override {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return false;
    identity->Device = static_cast<uint64_t>(st.st_dev);
    identity->Index = static_cast<uint64_t>(st.st_ino);
    return true;
  }

  DbfLocalTime Now() override {
    struct timeval tv;
    ::gettimeofday(&tv, nullptr);
    time_t seconds = tv.tv_sec;
    struct tm local;
    ::localtime_r(&seconds, &local);
    DbfLocalTime t;
    t.Year = local.tm_year + 1900;
    t.Month = local.tm_mon + 1;
    t.Day = local.tm_mday;
    t.Hour = local.tm_hour;
    t.Minute = local.tm_min;
    t.Second = local.tm_sec;
    t.Millisecond = static_cast<int>(tv.tv_usec / 1000);
    return t;
  }
};

}  // namespace

DbfFileSystem& PlatformFileSystem() {
  static PosixFileSystem fs;
  return fs;
}

}  // namespace tabulon

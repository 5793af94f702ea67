// The file layer on Windows: the wide-character API, so that paths in any
// language work; paths arrive as UTF-8.
#include <windows.h>

#include "dbf_file.h"

namespace tabulon {

namespace {

std::wstring Widen(const std::string& utf8) {
  if (utf8.empty()) return std::wstring();
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &wide[0], n);
  return wide;
}

std::string Narrow(const wchar_t* wide) {
  const int length = static_cast<int>(wcslen(wide));
  if (length == 0) return std::string();
  int n = WideCharToMultiByte(CP_UTF8, 0, wide, length, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide, length, &utf8[0], n, nullptr, nullptr);
  return utf8;
}

class Win32File final : public DbfFile {
 public:
  explicit Win32File(HANDLE handle) : handle_(handle) {}
  ~Win32File() override { Close(); }

  bool Read(void* data, size_t n, size_t* got) override {
    *got = 0;
    DWORD read = 0;
    if (!ReadFile(handle_, data, static_cast<DWORD>(n), &read, nullptr)) return false;
    *got = read;
    return true;
  }

  bool Write(const void* data, size_t n) override {
    const char* p = static_cast<const char*>(data);
    while (n > 0) {
      DWORD written = 0;
      if (!WriteFile(handle_, p, static_cast<DWORD>(n), &written, nullptr) || written == 0)
        return false;
      p += written;
      n -= written;
    }
    return true;
  }

  // ReadFile and WriteFile with an offset in OVERLAPPED read and write at
  // that position on a synchronous handle, saving the seek.
  bool ReadAt(uint64_t position, void* data, size_t n, size_t* got) override {
    *got = 0;
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(position);
    at.OffsetHigh = static_cast<DWORD>(position >> 32);
    DWORD read = 0;
    if (!ReadFile(handle_, data, static_cast<DWORD>(n), &read, &at))
      return GetLastError() == ERROR_HANDLE_EOF;
    *got = read;
    return true;
  }

  bool WriteAt(uint64_t position, const void* data, size_t n) override {
    const char* p = static_cast<const char*>(data);
    while (n > 0) {
      OVERLAPPED at = {};
      at.Offset = static_cast<DWORD>(position);
      at.OffsetHigh = static_cast<DWORD>(position >> 32);
      DWORD written = 0;
      if (!WriteFile(handle_, p, static_cast<DWORD>(n), &written, &at) || written == 0) return false;
      p += written;
      n -= written;
      position += written;
    }
    return true;
  }

  bool Seek(uint64_t position) override {
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(position);
    return SetFilePointerEx(handle_, to, nullptr, FILE_BEGIN) != 0;
  }

  bool Tell(uint64_t* position) override {
    LARGE_INTEGER zero, at;
    zero.QuadPart = 0;
    if (!SetFilePointerEx(handle_, zero, &at, FILE_CURRENT)) return false;
    *position = static_cast<uint64_t>(at.QuadPart);
    return true;
  }

  bool GetSize(uint64_t* size) override {
    LARGE_INTEGER s;
    if (!GetFileSizeEx(handle_, &s)) return false;
    *size = static_cast<uint64_t>(s.QuadPart);
    return true;
  }

  // Extending with SetEndOfFile gives bytes that read as zero.
  bool SetSize(uint64_t size) override {
    uint64_t at = 0;
    if (!Tell(&at) || !Seek(size) || !SetEndOfFile(handle_)) return false;
    return Seek(at);
  }

  bool Flush() override { return FlushFileBuffers(handle_) != 0; }

  // The locks other xBase programs take on Windows; a region is released
  // with exactly the offset and length it was taken with.
  bool TryLock(uint64_t offset, uint64_t length) override {
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return LockFileEx(handle_, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0,
                      static_cast<DWORD>(length), static_cast<DWORD>(length >> 32), &at) != 0;
  }

  bool Unlock(uint64_t offset, uint64_t length) override {
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return UnlockFileEx(handle_, 0, static_cast<DWORD>(length), static_cast<DWORD>(length >> 32),
                        &at) != 0;
  }

  bool Close() override {
    if (handle_ == INVALID_HANDLE_VALUE) return true;
    BOOL ok = CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
    return ok != 0;
  }

 private:
  HANDLE handle_;
};

// A byte this program's writers lock for as long as they hold a table or
// memo file, so that two of them stay apart as flock keeps them on POSIX;
// far past any file and every xBase program's lock offsets, and never read.
constexpr uint64_t kOwnWriterLockAt = uint64_t{1} << 62;

class Win32FileSystem final : public DbfFileSystem {
 public:
  std::unique_ptr<DbfFile> Open(const std::string& path, DbfOpenMode mode) override {
    DWORD access = GENERIC_READ, share = FILE_SHARE_READ, disposition = OPEN_EXISTING;
    switch (mode) {
      case DbfOpenMode::ReadWriteShared:
        access |= GENERIC_WRITE;
        share = FILE_SHARE_READ | FILE_SHARE_WRITE;
        break;
      case DbfOpenMode::ReadWriteExclusive:
        access |= GENERIC_WRITE;
        break;
      case DbfOpenMode::Create:
        access |= GENERIC_WRITE;
        share = 0;
        disposition = CREATE_ALWAYS;
        break;
      case DbfOpenMode::ReadOnly:
      case DbfOpenMode::ReadOnlyNoFollow:
        share = FILE_SHARE_READ | FILE_SHARE_WRITE;
        break;
      case DbfOpenMode::CreateNew:
        // Fails on any existing name, a link's included.
        access |= GENERIC_WRITE;
        disposition = CREATE_NEW;
        break;
    }
    DWORD flags = FILE_ATTRIBUTE_NORMAL;
    // Opens a link or junction itself instead of its target, so that it
    // can be refused below.
    if (mode == DbfOpenMode::ReadOnlyNoFollow) flags |= FILE_FLAG_OPEN_REPARSE_POINT;
    HANDLE h = CreateFileW(Widen(path).c_str(), access, share, nullptr, disposition, flags, nullptr);
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    auto file = std::make_unique<Win32File>(h);
    // Only a writer of ours holding it refuses the open; a share whose
    // server takes no locks that far out is opened as before.
    if (mode == DbfOpenMode::ReadWriteShared && !file->TryLock(kOwnWriterLockAt, 1) &&
        GetLastError() == ERROR_LOCK_VIOLATION)
      return nullptr;
    if (mode == DbfOpenMode::ReadOnlyNoFollow) {
      BY_HANDLE_FILE_INFORMATION info;
      if (GetFileType(h) != FILE_TYPE_DISK || !GetFileInformationByHandle(h, &info) ||
          (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)))
        return nullptr;
    }
    return file;
  }

  bool Exists(const std::string& path) override {
    DWORD a = GetFileAttributesW(Widen(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
  }

  bool ListFolder(const std::string& path_in_folder, std::vector<std::string>* names) override {
    const size_t slash = path_in_folder.find_last_of("/\\");
    const std::string folder = slash == std::string::npos ? std::string(".\\")
                                                          : path_in_folder.substr(0, slash + 1);
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW(Widen(folder + "*").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return false;
    names->clear();
    do {
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
      names->push_back(Narrow(found.cFileName));
    } while (FindNextFileW(h, &found));
    FindClose(h);
    return true;
  }

  bool GetInfo(const std::string& path, DbfFileInfo* info) override {
    WIN32_FILE_ATTRIBUTE_DATA d;
    if (!GetFileAttributesExW(Widen(path).c_str(), GetFileExInfoStandard, &d)) return false;
    info->Size = (uint64_t{d.nFileSizeHigh} << 32) | d.nFileSizeLow;
    info->ModifiedTime = static_cast<int64_t>((uint64_t{d.ftLastWriteTime.dwHighDateTime} << 32) |
                                              d.ftLastWriteTime.dwLowDateTime);
    return true;
  }

  bool Remove(const std::string& path) override { return DeleteFileW(Widen(path).c_str()) != 0; }

  bool Rename(const std::string& from, const std::string& to) override {
    return MoveFileExW(Widen(from).c_str(), Widen(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
  }

  // A rename is made durable by MOVEFILE_WRITE_THROUGH and a file by
  // FlushFileBuffers. Flushing a folder's handle needs write access that
  // an ordinary user may lack; NTFS journals its names anyway, so a
  // refusal there is no failure.
  bool FlushFolder(const std::string& path_in_folder) override {
    size_t slash = path_in_folder.find_last_of("/\\");
    std::string folder = slash == std::string::npos ? std::string(".")
                                                    : path_in_folder.substr(0, slash + 1);
    HANDLE h = CreateFileW(Widen(folder).c_str(), GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      FlushFileBuffers(h);
      CloseHandle(h);
    }
    return true;
  }

  bool GetIdentity(const std::string& path, DbfFileIdentity* identity) override {
    HANDLE h = CreateFileW(Widen(path).c_str(), 0,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info;
    BOOL ok = GetFileInformationByHandle(h, &info);
    CloseHandle(h);
    if (!ok) return false;
    identity->Device = info.dwVolumeSerialNumber;
    identity->Index = (uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
    return true;
  }

  DbfLocalTime Now() override {
    SYSTEMTIME st;
    GetLocalTime(&st);
    DbfLocalTime t;
    t.Year = st.wYear;
    t.Month = st.wMonth;
    t.Day = st.wDay;
    t.Hour = st.wHour;
    t.Minute = st.wMinute;
    t.Second = st.wSecond;
    t.Millisecond = st.wMilliseconds;
    return t;
  }
};

}  // namespace

DbfFileSystem& PlatformFileSystem() {
  static Win32FileSystem fs;
  return fs;
}

}  // namespace tabulon

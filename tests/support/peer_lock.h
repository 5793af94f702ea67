// Another program holding write locks on byte ranges of a file: a child
// process, as fcntl locks belong to a process (ours never refuse our own).
// POSIX only.
#pragma once

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <string>

namespace tabulon::test {

class Peer {
 public:
  // Holds length bytes from offset of path until Release.
  Peer(const std::string& path, uint64_t offset, uint64_t length) {
    int ready[2], done[2];
    if (::pipe(ready) != 0 || ::pipe(done) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(ready[0]);
      ::close(done[1]);  // else the child never sees the parent let go
      struct flock lock = {};
      lock.l_type = F_WRLCK;
      lock.l_whence = SEEK_SET;
      lock.l_start = static_cast<off_t>(offset);
      lock.l_len = static_cast<off_t>(length);
      const char ok = ::fcntl(::open(path.c_str(), O_RDWR), F_SETLK, &lock) == 0 ? '1' : '0';
      char byte;
      if (::write(ready[1], &ok, 1) == 1)
        while (::read(done[0], &byte, 1) > 0) {
        }
      ::_exit(0);
    }
    ::close(ready[1]);
    ::close(done[0]);
    char ok = '0';
    locked_ = ::read(ready[0], &ok, 1) == 1 && ok == '1';
    ::close(ready[0]);
    done_ = done[1];
  }
  ~Peer() { Release(); }
  bool Locked() const { return locked_; }
  void Release() {
    if (pid_ <= 0) return;
    ::close(done_);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
  int done_ = -1;
  bool locked_ = false;
};

}  // namespace tabulon::test

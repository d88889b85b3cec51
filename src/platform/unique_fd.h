#pragma once

// Owners of what the system hands out: a file descriptor closed once, on
// every path out, and a folder stream.

#include <dirent.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <utility>

namespace wingstow::platform {

class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  ~UniqueFd() { reset(); }

  int get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }
  // Hands the descriptor over (to libzip, to a caller): no longer closed here.
  int release() { return std::exchange(fd_, -1); }
  void reset(int fd = -1) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }
  // Closes now, telling what close() said: where some file systems (NFS, a
  // full disk) report a lost write. 0 or the errno.
  int close() {
    if (fd_ < 0) return 0;
    return ::close(release()) == 0 ? 0 : errno;
  }

 private:
  int fd_ = -1;
};

struct DirDeleter {
  void operator()(DIR* dir) const { ::closedir(dir); }
};
using UniqueDir = std::unique_ptr<DIR, DirDeleter>;

}  // namespace wingstow::platform

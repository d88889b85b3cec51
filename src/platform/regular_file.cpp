#include "platform/regular_file.h"

#include "platform/files.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace wingstow::platform {

namespace {

int kind_error(mode_t mode) {
  if (S_ISDIR(mode)) return EISDIR;
  if (S_ISLNK(mode)) return ELOOP;
  return EINVAL;
}

std::string kind_text(mode_t mode) {
  if (S_ISDIR(mode)) return "a folder, not a regular file";
  if (S_ISLNK(mode)) return "a symbolic link, which is not followed";
  if (S_ISFIFO(mode)) return "a named pipe, not a regular file";
  if (S_ISSOCK(mode)) return "a socket, not a regular file";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device, not a regular file";
  return "not a regular file";
}

std::string larger_text(std::size_t max_bytes) {
  return "larger than " + std::to_string(max_bytes) + " bytes";
}

FileCheck check_at(int dir, const std::string& name, Links links) {
  FileCheck check;
  struct stat st;
  if (name.empty()) {
    check.error = ENOENT;
  } else if (::fstatat(dir, name.c_str(), &st,
                       links == Links::followed ? 0 : AT_SYMLINK_NOFOLLOW) != 0) {
    check.error = errno;
  } else if (!S_ISREG(st.st_mode)) {
    check.error = kind_error(st.st_mode);
    check.reason = kind_text(st.st_mode);
  } else {
    check.size = static_cast<std::uint64_t>(st.st_size);
  }
  if (check.error != 0 && check.reason.empty()) check.reason = std::strerror(check.error);
  return check;
}

}  // namespace

FileCheck check_regular_file(std::string_view path, Links links) {
  return check_at(AT_FDCWD, std::string(path), links);
}

RegularFile::RegularFile(std::string_view path, Links links) {
  open_at(AT_FDCWD, std::string(path), links);
}

RegularFile::RegularFile(const Folder& folder, std::string_view name) {
  if (!folder.is_open()) {
    const int error = folder.error() ? folder.error() : EBADF;
    // A folder opened through others never follows a link on the way.
    fail(error,
         error == ELOOP ? "below a symbolic link, which is not followed" : std::strerror(error));
    return;
  }
  open_at(folder.fd(), std::string(name), Links::refused);
}

void RegularFile::fail(int error, std::string reason) {
  error_ = error;
  reason_ = std::move(reason);
}

void RegularFile::open_at(int dir, const std::string& name, Links links) {
  // Looked at before it is opened: opening a device can itself do something.
  FileCheck check = check_at(dir, name, links);
  if (!check.regular()) return fail(check.error, std::move(check.reason));
  // Something else may have taken its place meanwhile: the flags keep a link
  // or a pipe from being followed or waited on, and fstat tells the rest.
  UniqueFd fd(::openat(
      dir, name.c_str(),
      O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (links == Links::followed ? 0 : O_NOFOLLOW)));
  if (!fd) {
    const int error = errno;
    return fail(error, error == ELOOP ? kind_text(S_IFLNK) : std::strerror(error));
  }
  struct stat st;
  if (::fstat(fd.get(), &st) != 0) {
    const int error = errno;
    return fail(error, std::strerror(error));
  }
  if (!S_ISREG(st.st_mode)) return fail(kind_error(st.st_mode), kind_text(st.st_mode));
  fd_ = std::move(fd);
  status_ = st;
}

int RegularFile::read_to(std::string& text, std::size_t max_bytes) {
  if (!fd_) return error_ != 0 ? error_ : EBADF;
  const std::size_t start = text.size();
  char buffer[65536];
  for (;;) {
    // One byte past the bound tells a larger file.
    const std::size_t room = max_bytes - (text.size() - start);
    const std::size_t wanted = room < sizeof buffer ? room + 1 : sizeof buffer;
    const ssize_t n = ::read(fd_.get(), buffer, wanted);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    if (n == 0) return 0;
    text.append(buffer, static_cast<std::size_t>(n));
    if (text.size() - start > max_bytes) {
      text.resize(start + max_bytes);
      return EFBIG;
    }
  }
}

FileText read_regular_file(std::string_view path, std::size_t max_bytes, Links links) {
  FileText out;
  RegularFile file(path, links);
  if (!file.is_open()) {
    out.error = file.error();
    out.reason = file.reason();
    return out;
  }
  if (file.size() > max_bytes) {
    out.error = EFBIG;
    out.reason = larger_text(max_bytes);
    return out;
  }
  out.text.reserve(static_cast<std::size_t>(file.size()));
  // It may have grown since fstat.
  if (const int error = file.read_to(out.text, max_bytes)) {
    out.text.clear();
    out.error = error;
    out.reason = error == EFBIG ? larger_text(max_bytes) : std::strerror(error);
  }
  return out;
}

}  // namespace wingstow::platform

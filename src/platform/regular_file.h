#pragma once

// Files the program reads by a fixed name (settings, records, sums, cfg
// files, the lock): only a regular file is opened, never through a link at
// its place, never waiting on a pipe or a device, and read up to a bound.
// Failures are values: an errno-style number and a short reason.

#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/unique_fd.h"

namespace wingstow::platform {

class Folder;

// Whether a link at the file's own place is refused (a file read by a fixed
// name) or followed (a file the user names, such as an archive: reading
// through a link writes nothing).
enum class Links { refused, followed };

// A regular file open for reading. The path's letter case is taken as it is
// (resolve() first where case may differ); folders above it may be links,
// the file itself only when links are followed. Errors: ENOENT, ELOOP (a
// link, dangling or not, where links are refused), EISDIR (a folder), EINVAL
// (a named pipe, a socket or a device; none is opened), or what open(2) and
// fstat(2) said.
class RegularFile {
 public:
  explicit RegularFile(std::string_view path, Links links = Links::refused);
  // The entry name of folder, the same way; never through a link.
  RegularFile(const Folder& folder, std::string_view name);
  RegularFile(RegularFile&& other) noexcept = default;
  RegularFile& operator=(RegularFile&& other) noexcept = default;
  RegularFile(const RegularFile&) = delete;
  RegularFile& operator=(const RegularFile&) = delete;
  ~RegularFile() = default;

  bool is_open() const { return static_cast<bool>(fd_); }
  int fd() const { return fd_.get(); }
  // Hands the open descriptor over (to libzip): no longer closed here.
  int release() { return fd_.release(); }
  int error() const { return error_; }
  // "a named pipe, not a regular file", "No such file or directory", ...
  const std::string& reason() const { return reason_; }
  // The size fstat gave when it was opened.
  std::uint64_t size() const { return static_cast<std::uint64_t>(status_.st_size); }
  // All that fstat gave when it was opened (zeros when it was not).
  const struct stat& status() const { return status_; }

  // Reads on from where the file stands into text (appended) until its end.
  // 0, EFBIG when it holds more than max_bytes (text then ends with the
  // first max_bytes), or the errno of the failed read.
  int read_to(std::string& text, std::size_t max_bytes);

 private:
  void open_at(int dir, const std::string& name, Links links);
  void fail(int error, std::string reason);

  UniqueFd fd_;
  int error_ = 0;
  std::string reason_;
  struct stat status_ {};
};

// What RegularFile would find at path, told without opening it: error 0
// and its size for a regular file, otherwise its error and reason.
struct FileCheck {
  int error = 0;
  std::string reason;
  std::uint64_t size = 0;
  bool regular() const { return error == 0; }
};
FileCheck check_regular_file(std::string_view path, Links links = Links::refused);

struct FileText {
  std::string text;
  int error = 0;       // as RegularFile, or EFBIG
  std::string reason;  // empty when error is 0
  bool ok() const { return error == 0; }
};

// The whole of the regular file at path, of at most max_bytes; a larger one
// is EFBIG ("larger than N bytes"), refused by its size before it is read.
FileText read_regular_file(std::string_view path, std::size_t max_bytes,
                           Links links = Links::refused);

}  // namespace wingstow::platform

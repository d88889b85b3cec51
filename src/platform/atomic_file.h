#pragma once

// Files that appear under their final name only when complete: written under
// a hidden temporary name in the target folder, then renamed into place.
// Every system call that writes goes through the fault seam.

#include <sys/stat.h>
#include <sys/types.h>

#include <ctime>
#include <string>
#include <string_view>

#include "platform/unique_fd.h"

namespace wingstow::platform {

// Opens name in the folder dir for writing, created exclusively and never
// through a symbolic link; the descriptor, or -1 with errno set.
int create_exclusive(int dir, const char* name, mode_t mode = 0666);

// fsync through the fault seam; false with errno set.
bool sync_fd(int fd);

// The one rename that never replaces: from (in the folder from_dir) becomes
// to (in to_dir), and an existing to, of any kind, stays (EEXIST). Where the
// file system lacks RENAME_NOREPLACE, a file goes by a hard link and an
// unlink; a folder, which takes no hard link, by a rename once nothing is
// found at to. AT_FDCWD takes a path from the current folder. Asks the fault
// seam first. 0 or the errno.
int rename_no_replace(int from_dir, const char* from, int to_dir, const char* to);
// The same inside one folder, and between two paths.
int rename_no_replace(int dir, const char* from, const char* to);
int rename_no_replace(const std::string& from, const std::string& to);

// Renames from over to inside dir (a link at to is replaced, not followed);
// 0 or the errno.
int rename_replace(int dir, const char* from, const char* to);

// A file being written beside its target under a hidden name, removed on
// destruction unless it was committed under its final name.
class TempFile {
 public:
  TempFile(int dir, mode_t mode = 0666);
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  ~TempFile();

  int fd() const { return fd_.get(); }
  // errno of a failed creation.
  int error() const { return error_; }
  const std::string& name() const { return name_; }

  // Closes the file (after stamping mtime when not 0 and syncing it when
  // asked) and gives it its final name in the same folder; 0 or errno.
  // Without replace an existing target is kept and EEXIST returned. When
  // committed is given, it receives the file's status under its new name.
  int commit(const std::string& target, bool replace, std::time_t mtime = 0, bool sync = false,
             struct stat* committed = nullptr);

 private:
  int dir_;
  UniqueFd fd_;
  int error_ = 0;
  std::string name_;
};

// Writes data as the whole content of path through a temporary file and a
// rename (replacing a regular file of that name, whose permissions the new
// file keeps), synced first so that a
// crash leaves either the old content or the new. A symbolic link or
// anything but a regular file at path, or a folder of path that is a link,
// is refused (ELOOP/EEXIST). 0 or the errno.
int write_file_atomically(std::string_view path, std::string_view data);

// The temporary names used above, so that walks can pass them over.
bool is_temporary_name(std::string_view name);

}  // namespace wingstow::platform

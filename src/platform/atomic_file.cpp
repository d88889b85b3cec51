#include "platform/atomic_file.h"

#include <fcntl.h>
#include <pthread.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <utility>

#include "platform/faults.h"
#include "platform/files.h"

namespace wingstow::platform {
namespace {

constexpr std::string_view temp_prefix = ".wingstow-";

std::atomic<unsigned> temp_serial{0};
std::atomic<pid_t> own_pid{0};

// This process's id, asked once and again in a forked child: a child's
// temporaries must carry its own id, or they pass for a living process's
// and are never cleared once it dies.
pid_t temp_pid() {
  static const bool asked = [] {
    own_pid = ::getpid();
    ::pthread_atfork(nullptr, nullptr, [] { own_pid = ::getpid(); });
    return true;
  }();
  (void)asked;
  return own_pid.load(std::memory_order_relaxed);
}

}  // namespace

int create_exclusive(int dir, const char* name, mode_t mode) {
  if (fault_due(FaultPoint::create)) return -1;
  return ::openat(dir, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
}

bool sync_fd(int fd) {
  if (fault_due(FaultPoint::fsync)) return false;
  return ::fsync(fd) == 0 || errno == EINVAL;  // EINVAL: a file system that cannot sync
}

int rename_no_replace(int from_dir, const char* from, int to_dir, const char* to) {
  if (fault_due(FaultPoint::rename)) return errno;
  if (::renameat2(from_dir, from, to_dir, to, RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return errno;
  // A hard link is exclusive too; the old name goes afterwards.
  if (::linkat(from_dir, from, to_dir, to, 0) == 0) {
    ::unlinkat(from_dir, from, 0);
    return 0;
  }
  if (errno != EPERM && errno != EMLINK && errno != EOPNOTSUPP) return errno;
  // A folder: as close to exclusive as such a file system allows.
  struct stat st;
  if (::fstatat(to_dir, to, &st, AT_SYMLINK_NOFOLLOW) == 0) return EEXIST;
  return ::renameat(from_dir, from, to_dir, to) == 0 ? 0 : errno;
}

int rename_no_replace(int dir, const char* from, const char* to) {
  return rename_no_replace(dir, from, dir, to);
}

int rename_no_replace(const std::string& from, const std::string& to) {
  return rename_no_replace(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str());
}

int rename_replace(int dir, const char* from, const char* to) {
  if (fault_due(FaultPoint::rename)) return errno;
  return ::renameat(dir, from, dir, to) == 0 ? 0 : errno;
}

bool is_temporary_name(std::string_view name) { return name.starts_with(temp_prefix); }

TempFile::TempFile(int dir, mode_t mode) : dir_(dir) {
  // The serial tells the names of one process apart, and a name taken all
  // the same (another process) only moves on to the next.
  const pid_t pid = temp_pid();
  for (int attempt = 0; attempt < 100 && !fd_; ++attempt) {
    name_ = std::string(temp_prefix) + std::to_string(pid) + "-" + std::to_string(temp_serial++) +
            ".tmp";
    fd_.reset(create_exclusive(dir_, name_.c_str(), mode));
    if (!fd_ && errno != EEXIST) break;
  }
  if (!fd_) {
    error_ = errno;
    name_.clear();
  }
}

TempFile::~TempFile() {
  fd_.reset();
  if (!name_.empty()) ::unlinkat(dir_, name_.c_str(), 0);
}

int TempFile::commit(const std::string& target, bool replace, std::time_t mtime, bool sync,
                     struct stat* committed) {
  if (!fd_) return error_ ? error_ : EBADF;
  if (mtime != 0) {
    const timespec times[2] = {{0, UTIME_OMIT}, {mtime, 0}};
    ::futimens(fd_.get(), times);  // a missing time stamp is no reason to lose the file
  }
  if (sync && !sync_fd(fd_.get())) return errno;
  // The rename changes the file's change time: its status is taken after,
  // through a second descriptor, which leaves close() its say.
  const UniqueFd kept(committed ? ::fcntl(fd_.get(), F_DUPFD_CLOEXEC, 0) : -1);
  // close() is where some file systems (NFS, full disks) report a lost write.
  if (const int error = fd_.close()) return error;
  const int error = replace ? rename_replace(dir_, name_.c_str(), target.c_str())
                            : rename_no_replace(dir_, name_.c_str(), target.c_str());
  if (error == 0) name_.clear();
  if (error == 0 && committed && (!kept || ::fstat(kept.get(), committed) != 0))
    committed->st_ino = 0;
  return error;
}

int write_file_atomically(std::string_view path, std::string_view data) {
  const std::string real = resolve(path);
  const auto slash = real.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : real.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? real : real.substr(slash + 1);
  if (name.empty()) return EISDIR;
  const UniqueFd opened(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!opened) return errno;
  const int dir = opened.get();
  struct stat st;
  bool replacing = false;
  if (::fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
    if (S_ISLNK(st.st_mode)) return ELOOP;
    if (!S_ISREG(st.st_mode)) return S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    replacing = true;
  }
  TempFile temp(dir, 0666);
  if (temp.fd() < 0) return temp.error();
  // The new content keeps the permissions the user gave the old file.
  if (replacing) ::fchmod(temp.fd(), st.st_mode & 07777);
  if (!write_all(temp.fd(), data.data(), data.size())) return errno;
  return temp.commit(name, true, 0, true);
}

}  // namespace wingstow::platform

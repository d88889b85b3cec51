#include "platform/single_instance.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QStandardPaths>
#include <QSysInfo>

#include "platform/regular_file.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <string>

#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace wingstow::platform {

namespace {

// QLockFile writes a number, a name and a host.
constexpr std::size_t max_lock_bytes = 4096;

// True when the lock file's text (QLockFile's "pid\nname\nhost\n") names a
// running process of this machine other than this one.
bool names_other_running_process(const std::string& text) {
  const auto first_end = text.find('\n');
  if (first_end == std::string::npos) return false;
  const auto second_end = text.find('\n', first_end + 1);
  const auto host_begin = second_end == std::string::npos ? text.size() : second_end + 1;
  const auto host_end = std::min(text.find('\n', host_begin), text.size());
  const auto host = text.substr(host_begin, host_end - host_begin);
  if (!host.empty() && host != QSysInfo::machineHostName().toStdString()) return false;

  const auto digits = text.substr(0, first_end);
  if (digits.empty() || digits.size() > 9 || digits.find_first_not_of("0123456789") != digits.npos)
    return false;
  const auto pid = static_cast<pid_t>(std::stol(digits));
  if (pid <= 0 || pid == ::getpid()) return false;
  return ::kill(pid, 0) == 0 || errno == EPERM;
}

// Qt 6.4's QLockFile with stale time 0 never takes over a lock file it cannot
// parse (empty, garbage, written on another host), though a holder keeps an
// flock on its file for as long as it runs. So the file is removed when
// nobody holds that flock and it names no other running process (a holder
// releases its flock just before it removes the file). True when it is gone
// and locking may be tried again.
bool remove_abandoned_lock(const std::string& path) {
  RegularFile file(path);
  if (file.error() == EACCES) {
    // Only a lock file of ours is opened up; the runtime folder is ours.
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid())
      return false;
    if (::chmod(path.c_str(), (st.st_mode & 07777) | S_IRUSR) != 0) return false;
    file = RegularFile(path);
  }
  // Anything but a regular file that took its place meanwhile is told by
  // the next look, before QLockFile opens it.
  if (!file.is_open())
    return file.error() == ENOENT || file.error() == ELOOP || file.error() == EISDIR ||
           file.error() == EINVAL;
  const int fd = file.fd();

  struct stat held, there;
  if (::fstat(fd, &held) != 0) return false;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) return false;  // a running holder
  // Another starter may have replaced it meanwhile: then look again.
  if (::lstat(path.c_str(), &there) != 0) return errno == ENOENT;
  if (there.st_ino != held.st_ino || there.st_dev != held.st_dev) return true;

  std::string text;
  // What is longer than any lock file names no process.
  if (file.read_to(text, max_lock_bytes) == 0 && names_other_running_process(text)) return false;
  // Unlinked under the flock: a second remover that opened the same file
  // either fails to flock it or, once it is gone, finds another file or none
  // at the path above.
  return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

}  // namespace

SingleInstance::SingleInstance(std::string_view name, std::string folder) {
  QString where = folder.empty() ? QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation)
                                 : QFile::decodeName(QByteArray::fromStdString(folder));
  QDir().mkpath(where);
  const QString file = where + u'/' +
                       QFile::decodeName(QByteArray(name.data(), qsizetype(name.size()))) +
                       QStringLiteral(".lock");
  path_ = QFile::encodeName(file).toStdString();
  lock_ = std::make_unique<QLockFile>(file);
  // Never stale by age: only a lock whose process is gone is taken over.
  lock_->setStaleLockTime(0);
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::acquire() {
  failure_.clear();
  if (lock_->isLocked()) return true;
  // QLockFile reads what is there through a link, waits on a pipe and takes
  // a folder for a lock it cannot parse, so it is looked at first.
  FileCheck there;
  const auto foreign = [&] {
    there = check_regular_file(path_);
    if (there.error != EISDIR && there.error != ELOOP && there.error != EINVAL) return false;
    failure_ = "The instance lock " + path_ + " cannot be taken: it is " + there.reason +
               "; it was left as it is: take it away, then start again";
    return true;
  };
  // A few rounds: each either locks, meets a holder, or clears a dead lock
  // that another starter may take first.
  for (int round = 0; round < 3; ++round) {
    if (foreign()) return false;
    // QLockFile would read all of it.
    if (there.regular() && there.size > max_lock_bytes && !remove_abandoned_lock(path_))
      return false;
    if (lock_->tryLock(0)) return true;
    if (lock_->error() == QLockFile::PermissionError || lock_->error() == QLockFile::UnknownError) {
      failure_ =
          "The instance lock " + path_ + " cannot be made: " +
          (lock_->error() == QLockFile::PermissionError ? std::strerror(EACCES) : "unknown error");
      return false;
    }
    if (lock_->error() != QLockFile::LockFailedError || !remove_abandoned_lock(path_)) return false;
  }
  foreign();
  return false;
}

}  // namespace wingstow::platform

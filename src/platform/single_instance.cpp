#include "platform/single_instance.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QStandardPaths>
#include <QSysInfo>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <string>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace wingstow::platform {

namespace {

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
  int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0 && errno == EACCES) {
    // Only a lock file of ours is opened up; the runtime folder is ours.
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid())
      return false;
    if (::chmod(path.c_str(), (st.st_mode & 07777) | S_IRUSR) != 0) return false;
    fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  }
  if (fd < 0) {
    if (errno == ENOENT) return true;
    // A link is never a lock that QLockFile made; the link goes, not its target.
    if (errno == ELOOP) return ::unlink(path.c_str()) == 0 || errno == ENOENT;
    return false;
  }
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};

  struct stat held, there;
  if (::fstat(fd, &held) != 0 || !S_ISREG(held.st_mode)) return false;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) return false;  // a running holder
  // Another starter may have replaced it meanwhile: then look again.
  if (::lstat(path.c_str(), &there) != 0) return errno == ENOENT;
  if (there.st_ino != held.st_ino || there.st_dev != held.st_dev) return true;

  std::string text;
  char buffer[512];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
    if (text.size() > 4096) break;  // no lock file is that long
  }
  if (names_other_running_process(text)) return false;
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
  if (lock_->isLocked()) return true;
  // A few rounds: each either locks, meets a holder, or clears a dead lock
  // that another starter may take first.
  for (int round = 0; round < 3; ++round) {
    if (lock_->tryLock(0)) return true;
    if (lock_->error() != QLockFile::LockFailedError || !remove_abandoned_lock(path_)) return false;
  }
  return false;
}

}  // namespace wingstow::platform

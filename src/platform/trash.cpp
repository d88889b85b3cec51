#include "platform/trash.h"

#include "platform/atomic_file.h"
#include "platform/files.h"
#include "platform/unique_fd.h"

#include <QDateTime>
#include <QFile>
#include <QStandardPaths>
#include <QStorageInfo>

#include <cerrno>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace wingstow::platform {

namespace {

std::string local(const QString& path) { return QFile::encodeName(path).toStdString(); }

std::string home_trash() {
  return local(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)) + "/Trash";
}

// Creates every missing level of path, private to the user as the trash
// wants it.
bool make_path(const std::string& path) {
  struct stat st;
  // There already, as it is from the second item on: one look.
  if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return true;
  for (std::size_t pos = 1; pos <= path.size(); ++pos) {
    if (pos != path.size() && path[pos] != '/') continue;
    const std::string level = path.substr(0, pos);
    if (::mkdir(level.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// A real folder (not a link to one), as the trash folders must be.
bool is_real_folder(const std::string& path, struct stat& st) {
  return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::vector<std::string> entry_names(const std::string& folder) {
  std::vector<std::string> names;
  if (const UniqueDir dir{::opendir(folder.c_str())}) {
    while (const dirent* e = ::readdir(dir.get())) {
      const std::string_view name = e->d_name;
      if (name != "." && name != "..") names.emplace_back(name);
    }
  }
  return names;
}

bool remove_at(int parent, const char* name);

// Removes everything in the folder open as fd.
bool empty_folder(UniqueFd fd) {
  const UniqueDir dir{::fdopendir(fd.get())};
  if (!dir) return false;
  fd.release();  // the stream closes it now
  std::vector<std::string> names;
  errno = 0;
  while (const dirent* e = ::readdir(dir.get())) {
    const std::string_view name = e->d_name;
    if (name != "." && name != "..") names.emplace_back(name);
  }
  bool ok = errno == 0;
  for (const auto& name : names) ok = remove_at(::dirfd(dir.get()), name.c_str()) && ok;
  return ok;
}

// Removes the entry name of the folder open as parent, and all it holds.
bool remove_at(int parent, const char* name) {
  struct stat st;
  if (::fstatat(parent, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return errno == ENOENT;
  if (!S_ISDIR(st.st_mode)) return ::unlinkat(parent, name, 0) == 0 || errno == ENOENT;
  if ((st.st_mode & S_IRWXU) != S_IRWXU)
    ::fchmodat(parent, name, (st.st_mode & 07777) | S_IRWXU, 0);
  UniqueFd fd(::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (!fd) return false;
  const bool emptied = empty_folder(std::move(fd));
  return ::unlinkat(parent, name, AT_REMOVEDIR) == 0 && emptied;
}

// Qt takes file names as QString, which cannot carry a name that is not
// UTF-8: such an item is moved into the home trash here, the freedesktop.org
// way (info file first, then a rename that replaces nothing). Across file systems it fails, as Qt's
// own move does.
bool trash_by_rename(const std::string& real, const std::string& trash) {
  const std::string name = real.substr(real.rfind('/') + 1);
  const QByteArray info_text =
      "[Trash Info]\nPath=" + QByteArray::fromStdString(real).toPercentEncoding("/") +
      "\nDeletionDate=" + QDateTime::currentDateTime().toString(Qt::ISODate).left(19).toLatin1() +
      "\n";
  for (int number = 1; number < 1000; ++number) {
    const std::string candidate = number == 1 ? name : name + "." + std::to_string(number);
    const std::string info = trash + "/info/" + candidate + ".trashinfo";
    UniqueFd fd(::open(info.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd && errno == EEXIST) continue;
    if (!fd) return false;
    const bool written =
        write_all(fd.get(), info_text.constData(), std::size_t(info_text.size())) &&
        fd.close() == 0;
    const int error = written ? rename_no_replace(real, trash + "/files/" + candidate) : errno;
    if (written && error == 0) return true;
    ::unlink(info.c_str());
    if (!written || error != EEXIST) return false;
  }
  return false;
}

// The trash of the volume holding real: $topdir/.Trash/$uid where .Trash is
// a real, sticky folder, otherwise $topdir/.Trash-$uid, made when missing;
// nothing where neither can be used.
std::optional<std::string> volume_trash(const std::string& real) {
  std::string top =
      local(QStorageInfo(QFile::decodeName(QByteArray::fromStdString(real))).rootPath());
  if (top.empty()) return std::nullopt;
  if (top.back() != '/') top += '/';
  const auto uid = ::getuid();
  const std::string id = std::to_string(uid);
  struct stat st;
  if (is_real_folder(top + ".Trash", st) && (st.st_mode & S_ISVTX)) {
    const std::string shared = top + ".Trash/" + id;
    if ((::mkdir(shared.c_str(), 0700) == 0 || errno == EEXIST) && is_real_folder(shared, st) &&
        st.st_uid == uid && make_path(shared + "/files") && make_path(shared + "/info"))
      return shared;
  }
  const std::string own = top + ".Trash-" + id;
  if ((::mkdir(own.c_str(), 0700) == 0 || errno == EEXIST) && is_real_folder(own, st) &&
      st.st_uid == uid && make_path(own + "/files") && make_path(own + "/info"))
    return own;
  return std::nullopt;
}

}  // namespace

std::vector<std::string> trash_folders() {
  std::vector<std::string> folders;
  std::vector<std::pair<dev_t, ino_t>> seen;
  const auto add = [&](const std::string& folder) {
    struct stat st;
    if (!is_real_folder(folder, st)) return;
    for (const auto& [dev, ino] : seen)
      if (dev == st.st_dev && ino == st.st_ino) return;
    seen.emplace_back(st.st_dev, st.st_ino);
    folders.push_back(folder);
  };
  add(home_trash());

  const auto uid = ::getuid();
  const auto id = std::to_string(uid);
  for (const auto& volume : QStorageInfo::mountedVolumes()) {
    if (!volume.isValid() || !volume.isReady()) continue;
    const std::string top = with_trailing_separator(local(volume.rootPath()));
    // The shared $topdir/.Trash/$uid counts only when .Trash is a real,
    // sticky folder; $topdir/.Trash-$uid only when it is the user's.
    struct stat st;
    if (is_real_folder(top + ".Trash", st) && (st.st_mode & S_ISVTX)) add(top + ".Trash/" + id);
    if (is_real_folder(top + ".Trash-" + id, st) && st.st_uid == uid) add(top + ".Trash-" + id);
  }
  return folders;
}

bool delete_tree(std::string_view path) {
  const std::string real = without_trailing_separators(resolve(path));
  const auto slash = real.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : real.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? real : real.substr(slash + 1);
  if (name.empty() || name == "." || name == "..") return false;
  const UniqueFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!dir) return false;
  return remove_at(dir.get(), name.c_str());
}

bool on_home_trash_volume(std::string_view path) {
  struct stat item;
  if (::lstat(std::string(path).c_str(), &item) != 0) return true;  // nothing to move
  std::string folder = home_trash();
  struct stat st;
  while (::stat(folder.c_str(), &st) != 0) {
    // Only what is missing can be made; below a file no trash ever will be.
    const auto slash = folder.rfind('/');
    if (errno != ENOENT || slash == std::string::npos || slash == 0) return false;
    folder.resize(slash);
  }
  return S_ISDIR(st.st_mode) && st.st_dev == item.st_dev;
}

bool move_to_trash(std::string_view path) {
  const std::string real = without_trailing_separators(resolve(path));
  struct stat st;
  if (real.empty() || ::lstat(real.c_str(), &st) != 0) return false;
  // Without these Qt 6.4 reports success yet moves the item into ./files of
  // the current folder.
  const auto trash = home_trash();
  if (!make_path(trash + "/files") || !make_path(trash + "/info")) return false;
  struct stat home;
  if (::stat(trash.c_str(), &home) != 0) return false;
  // On another volume the item goes to that volume's trash, moved here with
  // a bounded number of tries: Qt 6.4 tries names there for ever when the
  // volume takes no new file (read-only, no inode left).
  if (home.st_dev != st.st_dev) {
    const auto volume = volume_trash(real);
    return volume && trash_by_rename(real, *volume);
  }
  const QString name = QFile::decodeName(QByteArray::fromStdString(real));
  if (QFile::encodeName(name).toStdString() != real) return trash_by_rename(real, trash);
  QFile::moveToTrash(name);
  // Trust the disk rather than the answer: across devices Qt may fail after
  // saying little, and the item must be gone to count as trashed.
  return ::lstat(real.c_str(), &st) != 0 && errno == ENOENT;
}

std::size_t trash_item_count() {
  std::size_t count = 0;
  for (const auto& folder : trash_folders()) count += entry_names(folder + "/files").size();
  return count;
}

bool empty_trash(const std::function<bool(std::size_t)>& confirm) {
  const auto folders = trash_folders();
  std::size_t count = 0;
  for (const auto& folder : folders) count += entry_names(folder + "/files").size();
  if (count == 0 || !confirm(count)) return false;
  bool ok = true;
  for (const auto& folder : folders) {
    for (const char* part : {"/files", "/info", "/expunged"}) {
      const auto sub = folder + part;
      struct stat st;
      if (!is_real_folder(sub, st)) continue;
      if ((st.st_mode & S_IRWXU) != S_IRWXU) ::chmod(sub.c_str(), (st.st_mode & 07777) | S_IRWXU);
      for (const auto& name : entry_names(sub)) ok = delete_tree(sub + "/" + name) && ok;
    }
  }
  return ok;
}

}  // namespace wingstow::platform

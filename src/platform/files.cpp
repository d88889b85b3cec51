#include "platform/files.h"

#include "platform/atomic_file.h"
#include "platform/faults.h"

#include <QCoreApplication>
#include <QFile>
#include <QString>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <memory>

#include <dirent.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <functional>

namespace wingstow::platform {

namespace {

// ASCII folding only: names on the simulator trees are ASCII, and other
// UTF-8 bytes compare exactly. Upper case, because that is the order NTFS
// sorts in ("A_B" after "AB").
char fold(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool equal_ignoring_case(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [](char x, char y) { return fold(x) == fold(y); });
}

// Enumeration order: case-insensitive, ties broken by the exact bytes.
bool name_less(std::string_view a, std::string_view b) {
  const auto n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const auto x = static_cast<unsigned char>(fold(a[i]));
    const auto y = static_cast<unsigned char>(fold(b[i]));
    if (x != y) return x < y;
  }
  if (a.size() != b.size()) return a.size() < b.size();
  return a < b;
}

struct DirCloser {
  void operator()(DIR* d) const { closedir(d); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

// Names in folder other than "." and "..", unsorted. Empty when unreadable.
std::vector<std::string> list_names(const std::string& folder) {
  std::vector<std::string> names;
  DirHandle dir(opendir(folder.empty() ? "." : folder.c_str()));
  if (!dir) return names;
  while (const dirent* e = readdir(dir.get())) {
    const std::string_view name = e->d_name;
    if (name != "." && name != "..") names.emplace_back(name);
  }
  return names;
}

std::string join(std::string_view folder, std::string_view name) {
  std::string out(folder);
  if (!out.empty() && out.back() != '/') out += '/';
  out += name;
  return out;
}

// The last component, ignoring trailing separators ("/a/b/" gives "b").
std::string_view last_name(std::string_view path) {
  while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
  const auto slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::uint32_t attributes_of(std::string_view name, const struct stat& st) {
  std::uint32_t a = 0;
  if (S_ISDIR(st.st_mode)) a |= attr_directory;
  if (S_ISREG(st.st_mode)) a |= attr_archive;
  // Named pipes, sockets and devices: opening one can block for good, so
  // they are system entries that no search lists unless asked.
  if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) a |= attr_system;
  if (!(st.st_mode & S_IWUSR)) a |= attr_read_only;
  if (name.size() > 1 && name.front() == '.' && name != "..") a |= attr_hidden;
  return a;
}

// An entry is shown only when the mask allows every "special" bit it carries.
bool admitted(std::uint32_t attributes, std::uint32_t attribute_mask) {
  constexpr std::uint32_t special = attr_hidden | attr_system | attr_volume | attr_directory;
  return (attributes & special & ~attribute_mask) == 0;
}

bool stat_resolved(std::string_view path, struct stat& st) {
  const std::string real = resolve(path);
  return !real.empty() && ::stat(real.c_str(), &st) == 0;
}

}  // namespace

std::string resolve(std::string_view path) {
  std::string out;
  out.reserve(path.size());
  bool resolving = true;
  std::size_t i = 0;
  while (i < path.size()) {
    if (path[i] == '/') {
      out += '/';
      ++i;
      continue;
    }
    auto end = path.find('/', i);
    if (end == std::string_view::npos) end = path.size();
    const std::string_view component = path.substr(i, end - i);
    i = end;
    if (!resolving || component == "." || component == "..") {
      out += component;
      continue;
    }
    struct stat st;
    const std::string exact = out + std::string(component);
    if (::lstat(exact.c_str(), &st) == 0) {
      out = exact;
      continue;
    }
    // The first match in enumeration order: among names equal but for case,
    // the smallest by bytes.
    std::string best;
    bool found = false;
    for (auto& name : list_names(out)) {
      if (equal_ignoring_case(name, component) && (!found || name < best)) {
        best = std::move(name);
        found = true;
      }
    }
    if (found) {
      out += best;
    } else {
      out += component;
      resolving = false;
    }
  }
  return out;
}

bool exists(std::string_view path) {
  struct stat st;
  return stat_resolved(path, st);
}

bool folder_exists(std::string_view path) {
  struct stat st;
  return stat_resolved(path, st) && S_ISDIR(st.st_mode);
}

bool file_exists(std::string_view path) {
  struct stat st;
  return stat_resolved(path, st) && S_ISREG(st.st_mode);
}

std::optional<std::uint32_t> file_attributes(std::string_view path) {
  struct stat st;
  if (!stat_resolved(path, st)) return std::nullopt;
  return attributes_of(last_name(path), st);
}

bool set_file_attributes(std::string_view path, std::uint32_t attributes) {
  const std::string real = resolve(path);
  struct stat st;
  if (real.empty() || ::stat(real.c_str(), &st) != 0) return false;
  // As Wine does: read-only takes every write bit away, clearing it gives the
  // owner's back.
  mode_t mode = st.st_mode & 07777;
  if (attributes & attr_read_only)
    mode &= ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH);
  else
    mode |= S_IWUSR;
  return mode == (st.st_mode & 07777) || ::chmod(real.c_str(), mode) == 0;
}

bool wildcard_match(std::string_view pattern, std::string_view name) {
  // DOS rule: a trailing ".*" also matches names without any extension, which
  // is why "*.*" matches "README".
  if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*" &&
      wildcard_match(pattern.substr(0, pattern.size() - 2), name))
    return true;
  // Greedy matching with one backtrack point: the position after the last '*'.
  std::size_t p = 0, n = 0;
  std::size_t star = std::string_view::npos, star_n = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      star = ++p;
      star_n = n;
    } else if (p < pattern.size() && (pattern[p] == '?' || fold(pattern[p]) == fold(name[n]))) {
      ++p;
      ++n;
    } else if (star != std::string_view::npos) {
      p = star;
      n = ++star_n;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

std::vector<DirEntry> find_entries(std::string_view folder, std::string_view mask,
                                   std::uint32_t attribute_mask) {
  std::vector<DirEntry> entries;
  std::string real = resolve(folder);
  if (real.empty()) real = ".";
  DirHandle dir(opendir(real.c_str()));
  if (!dir) return entries;

  // "." and ".." are listed by us rather than taken from readdir, so that they
  // always come first and in this order.
  for (const std::string_view dot : {std::string_view("."), std::string_view("..")}) {
    struct stat st;
    if (!wildcard_match(mask, dot) || ::stat(join(real, dot).c_str(), &st) != 0) continue;
    const auto a = attributes_of(dot, st);
    if (admitted(a, attribute_mask)) entries.push_back({std::string(dot), a, 0});
  }
  const auto first_named = entries.size();

  while (const dirent* e = readdir(dir.get())) {
    const std::string_view name = e->d_name;
    if (name == "." || name == ".." || !wildcard_match(mask, name)) continue;
    // Links are followed; a broken link has nothing to show and is skipped.
    struct stat st;
    if (::stat(join(real, name).c_str(), &st) != 0) continue;
    const auto a = attributes_of(name, st);
    if (!admitted(a, attribute_mask)) continue;
    const std::uint64_t size = S_ISREG(st.st_mode) ? static_cast<std::uint64_t>(st.st_size) : 0;
    bool link = e->d_type == DT_LNK;
    if (e->d_type == DT_UNKNOWN) {
      struct stat own;
      link = ::lstat(join(real, name).c_str(), &own) == 0 && S_ISLNK(own.st_mode);
    }
    entries.push_back({std::string(name), a, size, link});
  }
  std::sort(entries.begin() + static_cast<std::ptrdiff_t>(first_named), entries.end(),
            [](const DirEntry& a, const DirEntry& b) { return name_less(a.name, b.name); });
  return entries;
}

bool create_folder(std::string_view path) {
  const std::string real = resolve(path);
  if (real.empty()) {
    errno = ENOENT;
    return false;
  }
  return ::mkdir(real.c_str(), 0777) == 0;
}

CopyResult copy_file(std::string_view source, std::string_view target,
                     const std::function<void()>& between_chunks) {
  const auto failure = [](int error) { return CopyResult{CopyStatus::failed, error}; };
  const std::string from = resolve(source);
  const std::string to = resolve(target);
  if (from.empty() || to.empty()) return failure(ENOENT);
  const auto slash = to.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : to.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? to : to.substr(slash + 1);
  if (name.empty()) return failure(EISDIR);

  // Non-blocking and not through a link, so that neither a FIFO nor a link
  // planted in a package is read.
  const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW);
  if (in < 0) return failure(errno);
  struct InCloser {
    int fd;
    ~InCloser() { ::close(fd); }
  } in_closer{in};
  struct stat st {};
  if (::fstat(in, &st) != 0) return failure(errno);
  if (S_ISDIR(st.st_mode)) return failure(EISDIR);
  if (!S_ISREG(st.st_mode)) return failure(EINVAL);

  // The target's folder itself must not be a link: nothing is written
  // through one.
  std::string folder_path = folder;
  while (folder_path.size() > 1 && folder_path.back() == '/') folder_path.pop_back();
  const int dir = ::open(folder_path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (dir < 0) {
    const int error = errno;
    struct stat own;
    // O_DIRECTORY answers a link with ENOTDIR; say what it is.
    if (::lstat(folder_path.c_str(), &own) == 0 && S_ISLNK(own.st_mode)) return failure(ELOOP);
    return failure(error);
  }
  struct DirFdCloser {
    int fd;
    ~DirFdCloser() { ::close(fd); }
  } dir_closer{dir};
  struct stat existing;
  if (::fstatat(dir, name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0)
    return {CopyStatus::target_exists, EEXIST};

  TempFile temp(dir, 0666);
  if (temp.fd() < 0) return failure(temp.error());
  const int out = temp.fd();
  int error = 0;
  thread_local std::vector<char> buffer(1 << 20);
  for (;;) {
    const ssize_t n = ::read(in, buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error = errno;
      break;
    }
    if (n == 0) break;
    if (!write_all(out, buffer.data(), static_cast<std::size_t>(n))) {
      error = errno;
      break;
    }
    if (between_chunks) between_chunks();
  }
  if (error == 0) {
    const std::array<timespec, 2> times{st.st_atim, st.st_mtim};
    if (::futimens(out, times.data()) != 0) error = errno;
  }
  if (error == 0 && !(st.st_mode & S_IWUSR)) {
    struct stat made;
    if (::fstat(out, &made) != 0 ||
        ::fchmod(out, made.st_mode & 07777 & ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH)) !=
            0)
      error = errno;
  }
  if (error != 0) return failure(error);
  error = temp.commit(name, false);
  if (error == EEXIST) return {CopyStatus::target_exists, EEXIST};
  if (error != 0) return failure(error);
  return {CopyStatus::copied, 0};
}

bool delete_file(std::string_view path) {
  const std::string real = resolve(path);
  struct stat st;
  if (real.empty() || ::lstat(real.c_str(), &st) != 0) {
    if (real.empty()) errno = ENOENT;
    return false;
  }
  if (S_ISDIR(st.st_mode)) {
    errno = EISDIR;
    return false;
  }
  // Permission bits rather than access(): root may write anything, yet a
  // read-only file must be refused for root too. A link is deleted as itself.
  if (S_ISREG(st.st_mode) && !(st.st_mode & S_IWUSR)) {
    errno = EACCES;
    return false;
  }
  return ::unlink(real.c_str()) == 0;
}

bool write_all(int fd, const void* data, std::size_t size) {
  const auto* bytes = static_cast<const char*>(data);
  if (size > 0 && fault_due(FaultPoint::write)) return false;
  while (size > 0) {
    const ssize_t n = ::write(fd, bytes, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

std::int64_t free_bytes(std::string_view path) {
  const std::string real = resolve(path);
  struct statvfs vfs;
  if (real.empty() || ::statvfs(real.c_str(), &vfs) != 0) return -1;
  const auto blocks = static_cast<unsigned long long>(vfs.f_bavail);
  const auto size = static_cast<unsigned long long>(vfs.f_frsize);
  if (size != 0 && blocks > static_cast<unsigned long long>(INT64_MAX) / size) return INT64_MAX;
  return static_cast<std::int64_t>(blocks * size);
}

std::string executable_folder() {
  // The link gives the bytes; Qt's own answer goes through a QString, which
  // cannot hold a folder name that is not UTF-8.
  std::string folder;
  std::string buffer(PATH_MAX, '\0');
  const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
  if (n > 0) {
    buffer.resize(static_cast<std::size_t>(n));
    folder = buffer.substr(0, buffer.rfind('/'));
  } else if (QCoreApplication::instance() != nullptr) {
    folder = QFile::encodeName(QCoreApplication::applicationDirPath()).toStdString();
  }
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

bool folder_writable(std::string_view folder) {
  const std::string real = resolve(folder);
  struct stat st;
  if (real.empty() || ::stat(real.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  return ::faccessat(AT_FDCWD, real.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

}  // namespace wingstow::platform

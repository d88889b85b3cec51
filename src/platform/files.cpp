#include "platform/files.h"

#include "platform/ascii_case.h"
#include "platform/atomic_file.h"
#include "platform/faults.h"
#include "platform/known_crcs.h"
#include "platform/regular_file.h"

#include <QCoreApplication>
#include <QFile>
#include <QString>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <utility>
#include <vector>

#include <dirent.h>

#include <fcntl.h>
#include <libdeflate.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace wingstow::platform {

namespace {

// The folder whose listings are counted, and their count.
std::string watched_folder;
std::atomic<std::uint64_t> watched_count{0};

void count_listing(std::string_view folder) {
  if (!watched_folder.empty() && without_trailing_separators(folder) == watched_folder)
    ++watched_count;
}

// Names in folder other than "." and "..", unsorted. Empty when unreadable.
std::vector<std::string> list_names(const std::string& folder) {
  count_listing(folder);
  std::vector<std::string> names;
  const UniqueDir dir(opendir(folder.empty() ? "." : folder.c_str()));
  if (!dir) return names;
  while (const dirent* e = readdir(dir.get())) {
    const std::string_view name = e->d_name;
    if (name != "." && name != "..") names.emplace_back(name);
  }
  return names;
}

// The last component, ignoring trailing separators ("/a/b/" gives "b").
std::string_view last_name(std::string_view path) {
  path = without_trailing_separators(path);
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

// The descriptor's folder, path with its separators at the end taken off so
// that O_NOFOLLOW applies to the folder itself.
std::string descriptor_path(std::string path) {
  path = without_trailing_separators(std::move(path));
  if (path.empty()) path = ".";
  return path;
}

// Hands every name of the open folder fd but "." and ".." to visit, with
// the kind the listing tells (DT_UNKNOWN where it tells none). Reads the
// folder from its start, through the descriptor itself: a folder is listed
// by one call per buffer, with no stream to open and close.
template <class Visit>
void read_folder(int fd, Visit&& visit) {
  ::lseek(fd, 0, SEEK_SET);  // a descriptor just opened is there already
  alignas(8) char buffer[32768];
  for (;;) {
    const ssize_t got = ::getdents64(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return;
    for (ssize_t at = 0; at < got;) {
      const auto* entry = reinterpret_cast<const struct dirent64*>(buffer + at);
      at += entry->d_reclen;
      const std::string_view name = entry->d_name;
      if (name != "." && name != "..") visit(name, entry->d_type);
    }
  }
}

CopyResult copy_failure(int error) { return CopyResult{CopyStatus::failed, error, {}}; }

constexpr CopyResult target_exists{CopyStatus::target_exists, EEXIST, {}};

// Data moves in chunks of this size, with the window's turn between them.
constexpr std::size_t chunk_size = 1 << 20;

bool stat_resolved(std::string_view path, struct stat& st) {
  // A path there as written is its own resolution: one call, not one per part.
  if (const std::string exact(path); !exact.empty() && ::stat(exact.c_str(), &st) == 0) return true;
  const std::string real = resolve(path);
  return !real.empty() && ::stat(real.c_str(), &st) == 0;
}

}  // namespace

std::string resolve(std::string_view path) {
  // Every part there as written (the usual case) takes one call; the walk
  // below would keep each part as it is.
  if (std::string exact(path); !exact.empty()) {
    struct stat st;
    if (::lstat(exact.c_str(), &st) == 0) return exact;
  }
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
      if (same_ignoring_case(name, component) && (!found || name < best)) {
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
    } else if (p < pattern.size() &&
               (pattern[p] == '?' || ascii_lower(pattern[p]) == ascii_lower(name[n]))) {
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

bool admitted(std::uint32_t attributes, std::uint32_t attribute_mask) {
  // An entry shows only when the mask allows every "special" bit it carries.
  constexpr std::uint32_t special = attr_hidden | attr_system | attr_volume | attr_directory;
  return (attributes & special & ~attribute_mask) == 0;
}

std::vector<DirEntry> find_entries(std::string_view folder, std::string_view mask,
                                   std::uint32_t attribute_mask, Detail detail) {
  count_listing(folder);
  return Folder(folder).entries(mask, attribute_mask, detail);
}

void watch_listings(std::string_view folder) {
  watched_folder = std::string(without_trailing_separators(folder));
  watched_count = 0;
}

std::uint64_t watched_listings() { return watched_count; }

Folder::Folder(std::string_view path, bool follow_link) {
  const std::string real = descriptor_path(resolve(path));
  fd_.reset(
      ::open(real.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | (follow_link ? 0 : O_NOFOLLOW)));
  if (fd_) return;
  error_ = errno;
  struct stat own;
  // O_DIRECTORY answers a link with ENOTDIR; say what it is.
  if (!follow_link && ::lstat(real.c_str(), &own) == 0 && S_ISLNK(own.st_mode)) error_ = ELOOP;
}

Folder::Folder(const Folder& parent, std::string_view name) {
  if (!parent.fd_) {
    error_ = parent.error_ ? parent.error_ : EBADF;
    return;
  }
  const std::string own(name);
  fd_.reset(::openat(parent.fd(), own.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (fd_) return;
  error_ = errno;
  struct stat st;
  if (::fstatat(parent.fd(), own.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode))
    error_ = ELOOP;
}

Folder Folder::create(const Folder& parent, std::string_view name) {
  Folder made;
  const std::string own(name);
  if (!parent.fd_) {
    made.error_ = parent.error_ ? parent.error_ : EBADF;
  } else if (::mkdirat(parent.fd(), own.c_str(), 0777) != 0) {
    made.error_ = errno;
  } else {
    made = Folder(parent, own);
    made.created_ = made.listed_ = made.is_open();
  }
  return made;
}

Folder Folder::create(std::string_view path) {
  Folder made;
  const std::string real = descriptor_path(resolve(path));
  if (::mkdir(real.c_str(), 0777) != 0) {
    made.error_ = errno;
    return made;
  }
  made = Folder(real, false);
  made.created_ = made.listed_ = made.is_open();
  return made;
}

std::vector<DirEntry> Folder::entries(std::string_view mask, std::uint32_t attribute_mask,
                                      Detail detail) const {
  std::vector<DirEntry> entries;
  if (!fd_) return entries;

  // "." and ".." are listed by us rather than taken from the listing, so that
  // they always come first and in this order.
  for (const char* dot : {".", ".."}) {
    if (!wildcard_match(mask, dot)) continue;
    std::uint32_t a = attr_directory;
    if (detail == Detail::full) {
      struct stat st;
      if (::fstatat(fd(), dot, &st, 0) != 0) continue;
      a = attributes_of(dot, st);
    }
    if (admitted(a, attribute_mask)) entries.push_back({dot, a, 0});
  }
  const auto first_named = entries.size();

  read_folder(fd(), [&](std::string_view name, unsigned char type) {
    if (!wildcard_match(mask, name)) return;
    const std::string own(name);
    struct stat st;
    bool link = type == DT_LNK;
    if (type == DT_UNKNOWN) {
      if (::fstatat(fd(), own.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return;
      link = S_ISLNK(st.st_mode);
      type = link ? DT_LNK : DT_UNKNOWN;
      if (!link && detail == Detail::kinds) type = IFTODT(st.st_mode);
    }
    std::uint32_t a = 0;
    std::uint64_t size = 0;
    std::int64_t modified_ms = 0;
    if (detail == Detail::full || type == DT_LNK || type == DT_UNKNOWN) {
      // Links are followed; a broken link has nothing to show and is skipped.
      if (::fstatat(fd(), own.c_str(), &st, 0) != 0) return;
      a = attributes_of(name, st);
      if (detail == Detail::full) {
        if (S_ISREG(st.st_mode)) size = static_cast<std::uint64_t>(st.st_size);
        modified_ms = std::int64_t(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000;
      } else {
        a &= ~attr_read_only;
      }
    } else {
      // The kind as attributes_of gives it.
      a = type == DT_DIR ? attr_directory : type == DT_REG ? attr_archive : attr_system;
      if (name.size() > 1 && name.front() == '.') a |= attr_hidden;
    }
    if (admitted(a, attribute_mask)) entries.push_back({own, a, size, link, modified_ms});
  });
  std::sort(
      entries.begin() + static_cast<std::ptrdiff_t>(first_named), entries.end(),
      [](const DirEntry& a, const DirEntry& b) { return less_ignoring_case(a.name, b.name); });
  return entries;
}

std::optional<std::string> Folder::find(std::string_view name) {
  std::optional<struct stat> exact;
  return find(name, exact);
}

std::optional<std::string> Folder::find(std::string_view name, std::optional<struct stat>& exact) {
  exact.reset();
  if (!fd_) return std::nullopt;
  std::string wanted(name);
  if (!created_) {
    struct stat st;
    if (::fstatat(fd(), wanted.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
      exact = st;
      return wanted;
    }
  }
  if (!listed_) {
    read_folder(fd(), [&](std::string_view entry, unsigned char) { added_name(entry); });
    listed_ = true;
  }
  // The first in enumeration order: among names equal but for case, the
  // smallest by bytes.
  const auto found = by_folded_.find(ascii_lower(wanted));
  if (found == by_folded_.end()) return std::nullopt;
  return found->second.front();
}

void Folder::added(std::string_view name) {
  if (listed_) added_name(name);  // otherwise a later read sees it on disk
}

void Folder::added_name(std::string_view name) {
  auto& names = by_folded_[ascii_lower(name)];
  const auto at = std::lower_bound(names.begin(), names.end(), name);
  if (at == names.end() || *at != name) names.insert(at, std::string(name));
}

void Folder::removed(std::string_view name) {
  const auto found = by_folded_.find(ascii_lower(name));
  if (found == by_folded_.end()) return;
  auto& names = found->second;
  names.erase(std::remove(names.begin(), names.end(), name), names.end());
  if (names.empty()) by_folded_.erase(found);
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
  if (target.empty()) return copy_failure(ENOENT);
  const auto slash = target.rfind('/');
  const std::string_view folder =
      slash == std::string_view::npos ? std::string_view() : target.substr(0, slash + 1);
  const std::string_view name = slash == std::string_view::npos ? target : target.substr(slash + 1);
  if (name.empty()) return copy_failure(EISDIR);
  // The target's folder itself must not be a link: nothing is written
  // through one.
  Folder to(folder, false);
  FileCopier copier(between_chunks);
  return copier.copy(source, to, name);
}

FileCopier::FileCopier(std::function<void()> between_chunks)
    : between_chunks_(std::move(between_chunks)) {}

FileCopier::~FileCopier() = default;

CopyResult FileCopier::copy(const Folder& from, std::string_view name, Folder& to,
                            std::string_view target_name) {
  if (!to.is_open()) return copy_failure(to.error());
  if (target_name.empty()) return copy_failure(EISDIR);
  // Checked first, so that a file already there costs one look-up.
  if (to.find(target_name)) return target_exists;
  if (!from.is_open()) return copy_failure(from.error());
  // Never a FIFO, a device or a link planted in a package.
  return copy_open(RegularFile(from, name), to, target_name);
}

CopyResult FileCopier::copy(std::string_view source, Folder& to, std::string_view target_name) {
  if (!to.is_open()) return copy_failure(to.error());
  if (target_name.empty()) return copy_failure(EISDIR);
  if (to.find(target_name)) return target_exists;
  const std::string from = resolve(source);
  if (from.empty()) return copy_failure(ENOENT);
  return copy_open(RegularFile(from), to, target_name);
}

CopyResult FileCopier::copy_unlisted(const Folder& from, std::string_view name, int to_fd,
                                     std::string_view target_name) {
  if (to_fd < 0) return copy_failure(EBADF);
  if (target_name.empty()) return copy_failure(EISDIR);
  if (!from.is_open()) return copy_failure(from.error());
  return copy_to(RegularFile(from, name), to_fd, target_name);
}

CopyResult FileCopier::copy_open(const RegularFile& source, Folder& to,
                                 std::string_view target_name) {
  CopyResult result = copy_to(source, to.fd(), target_name);
  if (result.status == CopyStatus::copied) to.added(target_name);
  return result;
}

CopyResult FileCopier::copy_to(const RegularFile& source, int to_fd, std::string_view target_name) {
  if (!source.is_open()) return copy_failure(source.error());
  const int in = source.fd();
  const struct stat& st = source.status();

  const std::string name(target_name);
  TempFile temp(to_fd, 0666);
  if (temp.fd() < 0) return copy_failure(temp.error());
  const int out = temp.fd();
  std::optional<FileSum> sum;
  std::optional<std::uint32_t> known_sum;
  if (keep_sums_) {
    sum.emplace(FileSum{0, 0, st.st_mtim.tv_sec, st.st_mtim.tv_nsec});
    known_sum = known_crc(st);
  }
  int error = copy_data(in, out, static_cast<std::uint64_t>(st.st_size),
                        sum && !known_sum ? &*sum : nullptr);
  if (error == 0 && known_sum) {
    sum->crc = *known_sum;
    sum->size = static_cast<std::uint64_t>(st.st_size);
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
  if (error != 0) return copy_failure(error);
  error = temp.commit(name, false);
  if (error == EEXIST) return target_exists;
  if (error != 0) return copy_failure(error);
  return {CopyStatus::copied, 0, sum};
}

// 0 or the errno. The fault seam is asked once per chunk of data, as
// write_all asks it, whichever way the chunk goes.
int FileCopier::copy_data(int in, int out, std::uint64_t expected, FileSum* sum) {
  std::uint64_t copied = 0;
  bool asked = false;  // the seam was asked for the chunk under way
  if (kernel_copy_ && expected > 0 && !sum) {
    for (;;) {
      if (copied < expected && !asked) {
        if (fault_due(FaultPoint::write)) return errno;
        asked = true;
      }
      const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, chunk_size, 0);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        const int error = errno;
        if (copied != 0) return error;
        // Between these file systems the kernel cannot copy: read and write,
        // for this file and, where that will not change, for the run.
        if (error == EXDEV || error == ENOSYS || error == EOPNOTSUPP)
          kernel_copy_ = false;
        else if (error != EINVAL && error != EBADF && error != EPERM && error != ETXTBSY)
          return error;
        break;
      }
      // Nothing at all from a file with a size: one whose size tells nothing
      // (/proc), read instead.
      if (n == 0 && copied == 0) break;
      if (n == 0) return 0;
      copied += static_cast<std::uint64_t>(n);
      asked = false;
      if (copied < expected && between_chunks_) between_chunks_();
    }
  }
  if (!buffer_) buffer_ = std::make_unique_for_overwrite<char[]>(chunk_size);
  for (;;) {
    const ssize_t n = ::read(in, buffer_.get(), chunk_size);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    if (n == 0) return 0;
    if (!asked && fault_due(FaultPoint::write)) return errno;
    asked = false;
    for (ssize_t done = 0; done < n;) {
      const ssize_t w = ::write(out, buffer_.get() + done, static_cast<std::size_t>(n - done));
      if (w < 0 && errno == EINTR) continue;
      if (w < 0) return errno;
      done += w;
    }
    copied += static_cast<std::uint64_t>(n);
    if (sum) {
      sum->crc = static_cast<std::uint32_t>(
          libdeflate_crc32(sum->crc, buffer_.get(), static_cast<std::size_t>(n)));
      sum->size = copied;
    }
    // A short read that reaches the size fstat gave is the end: no read
    // more to hear it.
    if (copied >= expected && static_cast<std::size_t>(n) < chunk_size) return 0;
    if (copied < expected && between_chunks_) between_chunks_();
  }
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
  return with_trailing_separator(std::move(folder));
}

bool folder_writable(std::string_view folder) {
  const std::string real = resolve(folder);
  struct stat st;
  if (real.empty() || ::stat(real.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  return ::faccessat(AT_FDCWD, real.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

}  // namespace wingstow::platform

#include "platform/file_transfer.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <filesystem>
#include <string_view>
#include <system_error>

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/atomic_file.h"
#include "platform/files.h"
#include "platform/trash.h"

namespace wingstow::platform {

std::string name_part(const std::string& path) {
  const std::string trimmed = without_trailing_separators(path);
  const auto cut = trimmed.rfind(sep);
  return cut == std::string::npos ? trimmed : trimmed.substr(cut + 1);
}

std::string folder_part(const std::string& path) {
  const std::string trimmed = without_trailing_separators(path);
  const auto cut = trimmed.rfind(sep);
  return cut == std::string::npos ? std::string() : trimmed.substr(0, cut + 1);
}

bool entry_exists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

bool name_taken(const std::string& path) { return entry_exists(path) || exists(path); }

int rename_without_replacing(const std::string& from, const std::string& to) {
  // Both paths are absolute or relative to the current folder alike.
  const int error = rename_no_replace(AT_FDCWD, from.c_str(), to.c_str());
  struct stat st;
  if (error != EPERM || ::lstat(from.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return error;
  // mkdir is exclusive; the rename may then replace only this empty folder,
  // and fails on anything put into it meanwhile.
  if (::mkdir(to.c_str(), 0700) != 0) return errno;
  if (::rename(from.c_str(), to.c_str()) == 0) return 0;
  const int failed = errno;
  ::rmdir(to.c_str());
  return failed;
}

namespace {

// realpath(), or empty when the path cannot be followed.
std::string real_path(const std::string& path) {
  std::error_code error;
  const auto real = std::filesystem::canonical(path, error);
  return error ? std::string() : real.native();
}

// As file managers name a duplicate: before the extension for files.
std::string copy_name(const std::string& name, bool folder, int number) {
  std::string base = name;
  std::string extension;
  const auto dot = folder ? std::string::npos : name.rfind('.');
  if (dot != std::string::npos && dot > 0) {
    base = name.substr(0, dot);
    extension = name.substr(dot);
  }
  std::string copy = base + " - Copy";
  if (number > 1) copy += " (" + std::to_string(number) + ")";
  return copy + extension;
}

// folder ends with its separator.
std::string free_name(const std::string& folder, const std::string& name, bool is_folder) {
  if (!name_taken(folder + name)) return name;
  for (int number = 1;; ++number) {
    const std::string candidate = copy_name(name, is_folder, number);
    if (!name_taken(folder + candidate)) return candidate;
  }
}

bool inside(const std::string& path, const std::string& folder) {
  if (path == folder) return true;
  return path.starts_with(with_trailing_separator(folder));
}

// A free hidden name in folder, of those is_temporary_name knows.
std::string temporary_name(const std::string& folder) {
  for (unsigned serial = 0;; ++serial) {
    const std::string name =
        ".wingstow-paste-" + std::to_string(::getpid()) + "-" + std::to_string(serial) + ".tmp";
    if (!entry_exists(with_trailing_separator(folder) + name)) return name;
  }
}

// The names in an open folder, in byte order, links (broken ones too)
// among them; false with errno set when the folder cannot be read.
bool list_entries(const Folder& folder, std::vector<std::string>& names) {
  // A descriptor of its own, so that the folder's offset stays untouched.
  const int fd = ::openat(folder.fd(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  DIR* dir = fd < 0 ? nullptr : ::fdopendir(fd);
  if (!dir) {
    const int error = errno;
    if (fd >= 0) ::close(fd);
    errno = error;
    return false;
  }
  errno = 0;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string_view name = entry->d_name;
    if (name != "." && name != "..") names.emplace_back(name);
  }
  const int error = errno;
  ::closedir(dir);
  std::sort(names.begin(), names.end());
  errno = error;
  return error == 0;
}

enum class ItemResult { pasted, failed, cancelled };

// One transfer: the bytes to copy, the copies, and the owner's progress and
// cancel.
class TransferRun {
 public:
  TransferRun(const TransferProgress& progress, std::vector<TransferFailure>& failures)
      : progress_(progress), failures_(failures), copier_([this] { step(); }) {}

  bool cancelled() const { return cancelled_; }

  // The file data under the entry name of from, links not followed.
  std::int64_t measure(const Folder& from, const std::string& name) {
    struct stat st;
    if (::fstatat(from.fd(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return 0;
    if (S_ISREG(st.st_mode)) return st.st_size;
    if (!S_ISDIR(st.st_mode)) return 0;
    const Folder folder(from, name);
    std::vector<std::string> names;
    list_entries(folder, names);
    std::int64_t bytes = 0;
    for (const std::string& entry : names) bytes += measure(folder, entry);
    return bytes;
  }

  void start(std::int64_t total) {
    total_ = total;
    if (progress_.started) progress_.started(total);
  }

  // Transfers source into the folder listed as folder, which is
  // target_folder (its real path, open as to).
  ItemResult transfer(const std::string& source, const std::string& folder,
                      const std::string& target_folder, Folder& to, bool move) {
    struct stat own;
    if (::lstat(source.c_str(), &own) != 0) return fail(source, ENOENT);
    struct stat st;
    const bool is_folder = ::stat(source.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    if (is_folder && !S_ISLNK(own.st_mode) && inside(target_folder, real_path(source)))
      return fail(source, TransferProblem::destination_inside);
    // Moving an entry into the folder that holds it changes nothing.
    if (move && real_path(folder_part(source)) == target_folder) return ItemResult::pasted;

    const std::string name = free_name(folder, name_part(source), is_folder);
    const std::string target = with_trailing_separator(target_folder) + name;
    if (move) {
      const int error = rename_without_replacing(source, target);
      if (error == 0) {
        to.added(name);
        return ItemResult::pasted;
      }
      if (error != EXDEV) return fail(source, error);
    }
    const std::string copy_name = S_ISDIR(own.st_mode) ? temporary_name(target_folder) : name;
    const std::string copy_path = with_trailing_separator(target_folder) + copy_name;
    bool made = false;
    const bool whole =
        copy(Folder(folder_part(source)), name_part(source), source, to, copy_name, &made);
    // Half a copy beside an intact original would only confuse, and so would
    // half an item left by a cancel; what goes is only what this copy made.
    if (!whole && made && (move || cancelled_)) {
      delete_tree(copy_path);
      to.removed(copy_name);
      made = false;
    }
    if (made && copy_name != name) {
      const int error = rename_without_replacing(copy_path, target);
      if (error != 0) delete_tree(copy_path);
      to.removed(copy_name);
      if (error != 0) return fail(source, error);
      to.added(name);
    }
    errno = 0;
    if (whole && move && !delete_tree(source)) return fail(source, errno != 0 ? errno : EIO);
    if (whole) return ItemResult::pasted;
    return cancelled_ ? ItemResult::cancelled : ItemResult::failed;
  }

 private:
  bool refuse(const std::string& path, TransferProblem problem, int error = 0) {
    failures_.push_back({path, problem, error});
    return false;
  }
  bool refuse(const std::string& path, int error) {
    return refuse(path, TransferProblem::system_error, error);
  }
  template <class Why>
  ItemResult fail(const std::string& path, Why why) {
    refuse(path, why);
    return ItemResult::failed;
  }

  void step() {
    if (progress_.step && !progress_.step(std::min(done_, total_))) cancelled_ = true;
  }

  // Copies the entry name of from (path names it in failures) into to as
  // target_name; made tells whether the target was created, whatever became
  // of its content. True when all of it was copied.
  bool copy(const Folder& from, const std::string& name, const std::string& path, Folder& to,
            const std::string& target_name, bool* made) {
    struct stat st;
    if (::fstatat(from.fd(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
      return refuse(path, errno);
    if (S_ISREG(st.st_mode)) {
      const CopyResult result = copier_.copy(from, name, to, target_name);
      done_ += st.st_size;
      step();
      if (result.status != CopyStatus::copied) return refuse(path, result.error);
      if (made) *made = true;
      return true;
    }
    if (!S_ISDIR(st.st_mode) && !S_ISLNK(st.st_mode))
      return refuse(path, TransferProblem::not_regular_file);
    if (to.find(target_name)) return refuse(path, EEXIST);
    // Links are copied as links: following them could copy a whole drive (a
    // Wine prefix links z: to /) or loop forever.
    if (S_ISLNK(st.st_mode)) {
      std::string link(PATH_MAX + 1, '\0');
      const ssize_t length = ::readlinkat(from.fd(), name.c_str(), link.data(), link.size());
      if (length < 0 || std::size_t(length) >= link.size())
        return refuse(path, length < 0 ? errno : ENAMETOOLONG);
      link.resize(static_cast<std::size_t>(length));
      if (::symlinkat(link.c_str(), to.fd(), target_name.c_str()) != 0) return refuse(path, errno);
      to.added(target_name);
      if (made) *made = true;
      return true;
    }
    const Folder folder(from, name);
    std::vector<std::string> names;
    if (!folder.is_open()) return refuse(path, folder.error());
    if (!list_entries(folder, names)) return refuse(path, errno);
    Folder copy_folder = Folder::create(to, target_name);
    if (!copy_folder.is_open()) return refuse(path, copy_folder.error());
    to.added(target_name);
    if (made) *made = true;
    bool whole = true;
    for (const std::string& entry : names) {
      if (cancelled_) return false;
      whole = copy(folder, entry, path + sep + entry, copy_folder, entry, nullptr) && whole;
    }
    return whole;
  }

  const TransferProgress& progress_;
  std::vector<TransferFailure>& failures_;
  FileCopier copier_;
  std::int64_t total_ = 0;
  std::int64_t done_ = 0;
  bool cancelled_ = false;
};

}  // namespace

TransferOutcome transfer_entries(const std::vector<std::string>& sources, bool move,
                                 const std::string& folder, const TransferProgress& progress) {
  TransferOutcome outcome;
  outcome.items = sources.size();
  const std::string target_folder = real_path(folder);
  Folder to(target_folder.empty() ? folder : target_folder, false);
  if (target_folder.empty() || !to.is_open()) {
    outcome.failures.push_back(
        {folder, TransferProblem::system_error, target_folder.empty() ? ENOENT : to.error()});
    outcome.unpasted = sources;
    return outcome;
  }

  if (progress.opened) progress.opened();
  TransferRun run(progress, outcome.failures);
  struct stat target_st;
  const dev_t target_device = ::fstat(to.fd(), &target_st) == 0 ? target_st.st_dev : 0;
  std::int64_t total = 0;
  for (const std::string& source : sources) {
    struct stat st;
    // Within one file system a move is a rename: no data to copy.
    if (move && ::lstat(source.c_str(), &st) == 0 && st.st_dev == target_device) continue;
    total += run.measure(Folder(folder_part(source)), name_part(source));
  }
  run.start(total);
  struct Finish {
    const TransferProgress& progress;
    ~Finish() {
      if (progress.finished) progress.finished();
    }
  } finish{progress};

  for (const std::string& source : sources) {
    const ItemResult result = run.cancelled()
                                  ? ItemResult::cancelled
                                  : run.transfer(source, folder, target_folder, to, move);
    if (result == ItemResult::pasted) continue;
    outcome.unpasted.push_back(source);
    if (result == ItemResult::cancelled) outcome.cancelled.push_back(source);
  }
  return outcome;
}

}  // namespace wingstow::platform

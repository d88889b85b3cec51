// Where the entries of every back end land, and how refusals are told.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>

#include <dirent.h>

#include "packages/extract_target.h"
#include "platform/ascii_case.h"
#include "platform/files.h"

namespace wingstow::extraction {
namespace {

std::atomic<std::uint64_t> listings{0};

}  // namespace

std::uint64_t folder_listings() { return listings.load(); }

std::string system_error(int error) { return std::strerror(error); }

Refusal write_failure(int error) {
  return {"it cannot be written (" + system_error(error) + ")", error};
}

void FolderNames::read(int dir) {
  listings.fetch_add(1, std::memory_order_relaxed);
  // A descriptor of its own, so the listing starts at the beginning.
  Fd listing(::openat(dir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!listing) return;
  const platform::UniqueDir entries(::fdopendir(listing.get()));
  if (!entries) return;
  listing.release();  // the stream closes it now
  while (const dirent* e = ::readdir(entries.get())) {
    const std::string_view name = e->d_name;
    if (name != "." && name != "..") add(std::string(name));
  }
}

std::size_t FolderNames::FoldedHash::operator()(const std::string& name) const {
  std::size_t hash = 14695981039346656037ull;  // FNV-1a over the folded bytes
  for (const char c : name)
    hash = (hash ^ static_cast<unsigned char>(ascii_lower(c))) * 1099511628211ull;
  return hash;
}

bool FolderNames::FoldedEqual::operator()(const std::string& a, const std::string& b) const {
  return same_ignoring_case(a, b);
}

void FolderNames::add(const std::string& name) {
  const auto [first, last] = spellings_.equal_range(name);
  if (std::find(first, last, name) == last) spellings_.insert(name);
}

const std::string& FolderNames::on_disk(const std::string& wanted) const {
  const auto [first, last] = spellings_.equal_range(wanted);
  if (first == last || std::find(first, last, wanted) != last) return wanted;
  return *std::min_element(first, last);
}

bool FolderNames::holds(const std::string& name) const { return spellings_.contains(name); }

SharedFd FolderCache::find(const std::string& key) {
  const auto it = index_.find(key);
  if (it == index_.end()) return {};
  order_.splice(order_.begin(), order_, it->second);
  return it->second->second;
}

void FolderCache::put(const std::string& key, SharedFd fd) {
  if (const auto it = index_.find(key); it != index_.end()) {
    order_.erase(it->second);
    index_.erase(it);
  }
  order_.emplace_front(key, std::move(fd));
  index_[key] = order_.begin();
  if (order_.size() > capacity) {
    index_.erase(order_.back().first);
    order_.pop_back();
  }
}

Fd open_base(const std::string& folder, bool& is_link) {
  const std::string real = platform::without_trailing_separators(platform::resolve(folder));
  Fd fd(::open(real.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  struct stat st;
  is_link = !fd && ::lstat(real.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
  return fd;
}

// The caller holds mutex_.
FolderNames& Target::names_of(const std::string& key, int fd) {
  const auto [it, added] = names_.try_emplace(key);
  if (added) it->second.read(fd);
  return it->second;
}

// Opens (creating when missing) each folder of parts below the extract
// directory, never through a symbolic link. On failure sets why. The caller
// holds mutex_.
std::optional<Target::Folder> Target::open_folders(std::span<const std::string> parts,
                                                   Refusal& refusal) {
  Folder current{base_, {}};
  for (const auto& wanted : parts) {
    FolderNames& names = names_of(current.key, current.fd->get());
    const std::string part = names.on_disk(wanted);
    std::string key = current.key.empty() ? part : current.key + platform::sep + part;
    if (SharedFd cached = folders_.find(key)) {
      current = {std::move(cached), std::move(key)};
      continue;
    }
    const int parent = current.fd->get();
    const auto open_part = [&] {
      return Fd(::openat(parent, part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    };
    Fd next = open_part();
    if (!next && errno == ENOENT) {
      if (::mkdirat(parent, part.c_str(), 0777) == 0) {
        names.add(part);
        names_.try_emplace(key);  // new and empty: nothing to list
      } else if (errno != EEXIST) {
        const int error = errno;
        refusal = {"its folder '" + part + "' cannot be created (" + system_error(error) + ")",
                   error};
        return std::nullopt;
      }
      next = open_part();
    }
    if (!next) {
      const int error = errno;
      struct stat st;
      if (::fstatat(parent, part.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0)
        refusal.why = S_ISLNK(st.st_mode) ? "a symbolic link stands in its path ('" + part + "')"
                                          : "a file stands where its folder '" + part + "' belongs";
      else
        refusal.why = "its folder '" + part + "' cannot be opened (" + system_error(error) + ")";
      return std::nullopt;
    }
    current = {std::make_shared<const Fd>(std::move(next)), std::move(key)};
    folders_.put(current.key, current.fd);
  }
  return current;
}

std::optional<std::string> Target::open(const std::string& folder) {
  bool is_link = false;
  Fd base = open_base(folder, is_link);
  if (is_link)
    return "Extract directory '" + folder + "' is a symbolic link; nothing is extracted through it";
  if (!base) return "Extract directory '" + folder + "' must exist";
  base_ = std::make_shared<const Fd>(std::move(base));
  return std::nullopt;
}

std::optional<Destination> Target::place(const EntryName& entry, bool dir_names, Refusal& refusal) {
  const auto& parts = entry.parts;
  const std::size_t folders = !dir_names ? 0 : parts.size() - (entry.folder ? 0 : 1);
  Destination where;
  {
    const std::lock_guard lock(mutex_);
    const auto dir = open_folders(std::span(parts).first(folders), refusal);
    if (!dir) return std::nullopt;
    where.dir = dir->fd;
    if (entry.folder) return where;
    where.names = &names_of(dir->key, dir->fd->get());
    where.file = where.names->on_disk(parts.back());
    where.exists = where.names->holds(where.file);
  }
  // A name the folder's listing does not hold is free: no need to look.
  struct stat st;
  if (where.exists) {
    where.exists = ::fstatat(where.dir->get(), where.file.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
    if (where.exists && S_ISDIR(st.st_mode)) {
      refusal = Refusal{"a folder of that name exists"};
      return std::nullopt;
    }
  }
  return where;
}

std::optional<Refusal> Target::commit(platform::TempFile& temp, const Destination& where,
                                      bool overwrite, std::time_t mtime, struct stat* committed) {
  const int error = temp.commit(where.file, overwrite, mtime, false, committed);
  if (error == EEXIST && !overwrite) return std::nullopt;
  if (error != 0) return write_failure(error);
  const std::lock_guard lock(mutex_);
  where.names->add(where.file);
  return std::nullopt;
}

int Report::fail(int code, MessageKind kind, const std::string& text) {
  if (!unattended_) ui_.message(kind, text, Buttons::ok);
  return code;
}

void Report::refuse(const std::string& name, const std::string& reason) {
  incomplete_ = true;
  if (unattended_) return;
  ui_.status("'" + name + "' was not extracted: " + reason);
  ++refused_;
  if (first_.size() <= listed) first_.emplace_back(name, reason);
}

void Report::summary() {
  if (first_.empty()) return;
  std::string text = "'" + first_[0].first + "' was not extracted: " + first_[0].second;
  if (const std::size_t more = refused_ - 1; more > 0) {
    text += "\n...and " + std::to_string(more) +
            (more == 1 ? " more entry was not extracted:" : " more entries were not extracted:");
    for (std::size_t i = 1; i < first_.size(); ++i)
      text += "\n'" + first_[i].first + "': " + first_[i].second;
    if (more > listed) text += "\n...";
  }
  fail(0, MessageKind::warning, text);
}

}  // namespace wingstow::extraction

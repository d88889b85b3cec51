#pragma once

// What every back end of the archive component shares once an entry is read:
// where it lands below the extract directory (folders opened and made part
// by part, never through a symbolic link, their names listed once and
// matched without regard to letter case), how its temporary file takes its
// final name, and how refusals reach the user (each on the status line, one
// box for all of them at the end).

#include <sys/stat.h>

#include <ctime>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "base/feedback.h"
#include "packages/entry_names.h"
#include "platform/atomic_file.h"
#include "platform/unique_fd.h"

namespace wingstow::extraction {

// Folder descriptors are shared between the cache and the walk that uses
// them, so that an eviction never closes a folder still being written.
using Fd = platform::UniqueFd;
using SharedFd = std::shared_ptr<const Fd>;

// The names of one folder as the extraction knows them: listed once, when
// the folder is first needed, then kept up to date with what the extraction
// creates in it, so that an entry's spelling on disk costs no listing.
class FolderNames {
 public:
  void read(int dir);
  void add(const std::string& name);
  // The name under which wanted exists: exactly as written, else the first
  // match without regard to case (Windows would merge "Panel" and "panel"),
  // else as written.
  const std::string& on_disk(const std::string& wanted) const;
  // Whether anything of that name, in any case, is in the folder.
  bool holds(const std::string& name) const;

 private:
  // Hashed and compared without regard to case, so that one node holds a
  // name: an archive of 100,000 files keeps 100,000 of them.
  struct FoldedHash {
    std::size_t operator()(const std::string& name) const;
  };
  struct FoldedEqual {
    bool operator()(const std::string& a, const std::string& b) const;
  };
  std::unordered_multiset<std::string, FoldedHash, FoldedEqual> spellings_;
};

// Descriptors of the folders used last, by their path on disk relative to
// the extract directory. Archives keep the entries of a folder together, so
// most entries find their folder open; the least recently used goes first.
class FolderCache {
 public:
  SharedFd find(const std::string& key);
  void put(const std::string& key, SharedFd fd);

 private:
  static constexpr std::size_t capacity = 32;
  using Order = std::list<std::pair<std::string, SharedFd>>;
  Order order_;
  std::unordered_map<std::string, Order::iterator> index_;
};

// Why an entry was not extracted; error is the errno of a failed write.
struct Refusal {
  std::string why;
  int error = 0;
};

// Folders listed by extractions so far, every back end together.
std::uint64_t folder_listings();

std::string system_error(int error);
Refusal write_failure(int error);

// After these no later entry can be written either: going on would repeat
// the same failure for every entry left.
inline bool stops_extraction(int error) {
  return error == ENOSPC || error == EDQUOT || error == EROFS;
}

// The extract directory, never through a link in its own place: a package's
// "file_zip" made a link to another folder would have the entries written
// there. Folders above it are the user's and are taken as they are.
Fd open_base(const std::string& folder, bool& is_link);

// Where an entry goes: its folder, held open, and its file's name there.
struct Destination {
  SharedFd dir;
  FolderNames* names = nullptr;
  std::string file;     // as the disk spells it; empty for a folder entry
  bool exists = false;  // a file of that name is there already
};

// The extract directory and the folders made below it, shared by the
// threads of one extraction.
class Target {
 public:
  // Nothing once it is open; otherwise the text telling why not.
  std::optional<std::string> open(const std::string& folder);

  // The folders of the entry opened (made when missing; with dir_names
  // false, the entry goes into the extract directory itself), and where its
  // file lands. Nothing, with refusal set, when it cannot go there: a link
  // or a file in its path, a folder where the file belongs.
  std::optional<Destination> place(const EntryName& entry, bool dir_names, Refusal& refusal);

  // Gives the entry's temporary file its final name; an existing file is
  // replaced only with overwrite. Nothing when done or kept as it was.
  // committed: as TempFile::commit's.
  std::optional<Refusal> commit(platform::TempFile& temp, const Destination& where, bool overwrite,
                                std::time_t mtime, struct stat* committed = nullptr);

 private:
  struct Folder {
    SharedFd fd;
    std::string key;  // its path on disk relative to the extract directory
  };
  FolderNames& names_of(const std::string& key, int fd);
  std::optional<Folder> open_folders(std::span<const std::string> parts, Refusal& refusal);

  std::mutex mutex_;
  SharedFd base_;
  FolderCache folders_;
  std::unordered_map<std::string, FolderNames> names_;  // by folder key
};

// What one extraction tells the user, in the component's own boxes unless
// unattended: each refused entry at once on the status line, one box for
// all of them at the end, a box of its own for a failure of the whole.
class Report {
 public:
  Report(Feedback& ui, bool unattended) : ui_(ui), unattended_(unattended) {}

  // Shows text (a failure of the whole) and gives code back.
  int fail(int code, MessageKind kind, const std::string& text);
  void refuse(const std::string& name, const std::string& reason);
  // The box naming the refused entries, when there are any.
  void summary();
  // Some entry was left out, refused or declined.
  void mark_incomplete() { incomplete_ = true; }
  bool incomplete() const { return incomplete_; }

 private:
  // Refused entries named in the box besides the first; the status line has
  // every one.
  static constexpr std::size_t listed = 5;
  Feedback& ui_;
  const bool unattended_;
  bool incomplete_ = false;
  std::size_t refused_ = 0;
  std::vector<std::pair<std::string, std::string>> first_;
};

}  // namespace wingstow::extraction

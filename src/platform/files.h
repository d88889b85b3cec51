#pragma once

// Stand-ins for the file services of the Windows kernel. Every call resolves
// its path component by component without regard to letter case, because
// simulator trees installed under Wine spell their folders "Aircraft",
// "Gauges", "Sound" while the program asks for "aircraft", "gauges", "sound".

#include <sys/stat.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/unique_fd.h"

namespace wingstow::platform {

#ifdef _WIN32
inline constexpr char sep = '\\';
#else
inline constexpr char sep = '/';
#endif

// A folder path ending with the separator, as the engine appends names to
// it; an empty path names no folder and stays empty.
inline std::string with_trailing_separator(std::string path) {
  if (!path.empty() && path.back() != sep) path += sep;
  return path;
}

// The path without the separators at its end; a lone root keeps its own.
inline std::string_view without_trailing_separators(std::string_view path) {
  while (path.size() > 1 && path.back() == sep) path.remove_suffix(1);
  return path;
}
inline std::string without_trailing_separators(std::string path) {
  path.resize(without_trailing_separators(std::string_view(path)).size());
  return path;
}

// Attribute bits, as the Windows file system reports them.
inline constexpr std::uint32_t attr_read_only = 0x01;
inline constexpr std::uint32_t attr_hidden = 0x02;
inline constexpr std::uint32_t attr_system = 0x04;
inline constexpr std::uint32_t attr_volume = 0x08;
inline constexpr std::uint32_t attr_directory = 0x10;
inline constexpr std::uint32_t attr_archive = 0x20;
inline constexpr std::uint32_t attr_any = 0x3F;

// The path as it exists on disk: each component is taken as written when an
// entry of exactly that name exists, otherwise the first entry (in
// enumeration order) whose name matches without regard to case. Components
// that match nothing, and everything after them, are kept as written. A
// trailing separator is kept. Relative paths stay relative.
std::string resolve(std::string_view path);

bool exists(std::string_view path);
bool folder_exists(std::string_view path);
bool file_exists(std::string_view path);  // a regular file (or a link to one)

// Directory 0x10; hidden 0x02 for names beginning with "." (but "." and
// ".."); read-only 0x01 when the owner cannot write; archive 0x20 for every
// regular file; system 0x04 for named pipes, sockets and devices. Nothing
// when the path does not exist.
std::optional<std::uint32_t> file_attributes(std::string_view path);

// Read-only maps to the owner's write permission; the other bits have no
// equivalent and are ignored. False when the path does not exist.
bool set_file_attributes(std::string_view path, std::uint32_t attributes);

// "*" any run, "?" one character, letter case ignored; "*.*" matches every
// name, with or without a dot.
bool wildcard_match(std::string_view pattern, std::string_view name);

struct DirEntry {
  std::string name;
  std::uint32_t attributes = 0;
  std::uint64_t size = 0;  // 0 for folders
  // Reached through a symbolic link. Walks through a tree do not descend into
  // linked folders: a Wine prefix links "z:" to the file system root.
  bool link = false;
  // Last modification, milliseconds since the epoch (0 from listings of kinds).
  std::int64_t modified_ms = 0;
};

// What a listing reads of each entry: everything, or only what the folder
// listing itself tells (names and kinds), so that no entry is stat'ed but
// links (which are followed) and entries of file systems that give no kinds.
// Such entries have size 0 and never the read-only bit.
enum class Detail { full, kinds };

// Entries of folder (with or without trailing separator) whose names match
// mask, sorted by name without regard to case, "." and ".." first. An entry
// is left out when it carries hidden, system, volume or directory and
// attribute_mask lacks that bit; "." and ".." are folders, so they come only
// when attribute_mask has attr_directory and the mask matches them. A folder
// that cannot be read gives no entries.
std::vector<DirEntry> find_entries(std::string_view folder, std::string_view mask,
                                   std::uint32_t attribute_mask, Detail detail = Detail::full);

// The rule above: whether attribute_mask lets an entry with attributes show.
bool admitted(std::uint32_t attributes, std::uint32_t attribute_mask);

// An open folder. Its entries are listed, and what lies in it opened,
// relative to the descriptor, so that a walk through a tree resolves no path
// twice and is never taken through a link put in the way meanwhile.
class RegularFile;

class Folder {
 public:
  Folder() = default;
  // The folder at path, found without regard to case. A link as its last
  // component is followed only when follow_link; otherwise the folder does
  // not open and error() is ELOOP.
  explicit Folder(std::string_view path, bool follow_link = true);
  // The subfolder name of parent, never through a link.
  Folder(const Folder& parent, std::string_view name);
  // Makes the subfolder name of parent and opens it; error() tells why not.
  // The new folder's entries are known without reading it: those that the
  // run puts there and tells through added().
  static Folder create(const Folder& parent, std::string_view name);
  // The same for the folder at path (found without regard to case; its
  // parent must exist).
  static Folder create(std::string_view path);

  Folder(Folder&& other) noexcept = default;
  Folder& operator=(Folder&& other) noexcept = default;
  Folder(const Folder&) = delete;
  Folder& operator=(const Folder&) = delete;
  ~Folder() = default;

  bool is_open() const { return static_cast<bool>(fd_); }
  int fd() const { return fd_.get(); }
  int error() const { return error_; }

  // As find_entries.
  std::vector<DirEntry> entries(std::string_view mask, std::uint32_t attribute_mask,
                                Detail detail = Detail::full) const;

  // The name of the entry that name stands for here, as the disk spells it:
  // name itself when it exists (one look-up), otherwise the first entry in
  // enumeration order whose name matches without regard to case; nothing
  // when none does. The folder is read at most once, at the first name
  // missing as written, and a folder this object created is never read:
  // later changes count as far as added() and removed() tell them.
  std::optional<std::string> find(std::string_view name);
  // The same; when name itself exists, exact receives its lstat() status,
  // which the one look-up took anyway.
  std::optional<std::string> find(std::string_view name, std::optional<struct stat>& exact);
  // Tells the folder that name was just made in it, or taken out of it.
  void added(std::string_view name);
  void removed(std::string_view name);

 private:
  void added_name(std::string_view name);

  UniqueFd fd_;
  int error_ = 0;
  bool created_ = false;
  bool listed_ = false;
  // Names by their letter-case folding, in enumeration order.
  std::unordered_map<std::string, std::vector<std::string>> by_folded_;
};

// For the tests: how often find_entries and the case-insensitive look-ups
// have listed one folder (named without trailing separator) since
// watch_listings named it. Name it before the work starts, not during.
void watch_listings(std::string_view folder);
std::uint64_t watched_listings();

// Creates one folder level; the parent must exist. False when the path
// already exists (as anything) or cannot be created; errno tells why.
bool create_folder(std::string_view path);

// The size and CRC-32 of a file's data as a copy wrote it, and the
// modification time it gave the file: a later look that finds the same size
// and time takes the sum without reading the file again.
struct FileSum {
  std::uint64_t size = 0;
  std::uint32_t crc = 0;
  std::int64_t mtime_sec = 0;
  std::int64_t mtime_nsec = 0;
};

enum class CopyStatus { copied, target_exists, failed };
struct CopyResult {
  CopyStatus status = CopyStatus::failed;
  int error = 0;  // the system's errno for a failure; EEXIST for target_exists
  // Set for a copied file when the copier keeps sums.
  std::optional<FileSum> sum;
};

// Copies a regular file, never overwriting: a target that exists in any
// letter case is reported before the source is opened. The copy keeps the
// modification time and the read-only state. The data is written under a
// temporary name in the target folder and renamed into place without
// replacing, so a failed or killed copy leaves no partial target behind;
// neither the source nor the target folder is taken through a link.
// between_chunks runs between the chunks of a large file, so the window
// stays live.
CopyResult copy_file(std::string_view source, std::string_view target,
                     const std::function<void()>& between_chunks = {});

// copy_file for many files: one buffer for the whole run, the folders held
// open, and the kernel's own copy where the file systems allow it.
class FileCopier {
 public:
  explicit FileCopier(std::function<void()> between_chunks = {});
  // Whether each copy tells the size and CRC-32 of what it wrote: the data
  // then passes through the copier's buffer instead of the kernel's own
  // copy, unless its CRC is known.
  void keep_sums(bool keep) { keep_sums_ = keep; }
  FileCopier(const FileCopier&) = delete;
  FileCopier& operator=(const FileCopier&) = delete;
  ~FileCopier();

  // The file name of the open folder from into to as target_name.
  CopyResult copy(const Folder& from, std::string_view name, Folder& to,
                  std::string_view target_name);
  // The file at the path source into to as target_name.
  CopyResult copy(std::string_view source, Folder& to, std::string_view target_name);
  // The file name of from into the open folder to_fd as target_name, for a
  // caller that has looked the name up and tells the folder itself: copies
  // on several threads into one folder, each with its own copier.
  CopyResult copy_unlisted(const Folder& from, std::string_view name, int to_fd,
                           std::string_view target_name);

 private:
  CopyResult copy_open(const RegularFile& source, Folder& to, std::string_view target_name);
  CopyResult copy_to(const RegularFile& source, int to_fd, std::string_view target_name);
  int copy_data(int in, int out, std::uint64_t expected, FileSum* sum);

  std::function<void()> between_chunks_;
  std::unique_ptr<char[]> buffer_;  // for read and write, made when first needed
  bool kernel_copy_ = true;         // copy_file_range works between these file systems
  bool keep_sums_ = false;
};

// Deletes one file. Like the Windows service, a read-only file is refused
// (EACCES). False on failure; errno tells why.
bool delete_file(std::string_view path);

// Writes the whole buffer to a file descriptor, going on after interrupted
// writes; false (errno set) on failure.
bool write_all(int fd, const void* data, std::size_t size);

// Bytes available to the user on the file system that holds path, or -1
// when it cannot be asked.
std::int64_t free_bytes(std::string_view path);

// Folder of the running executable, with its trailing separator, in the
// file system's bytes.
std::string executable_folder();

// True when this process may create entries in folder, as the kernel answers
// access(W_OK) for the effective user: false on a read-only mount or without
// write permission, true for root on any writable mount.
bool folder_writable(std::string_view folder);

}  // namespace wingstow::platform

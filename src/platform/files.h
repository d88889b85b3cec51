#pragma once

// Stand-ins for the file services of the Windows kernel. Every call resolves
// its path component by component without regard to letter case, because
// simulator trees installed under Wine spell their folders "Aircraft",
// "Gauges", "Sound" while the program asks for "aircraft", "gauges", "sound".

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wingstow::platform {

#ifdef _WIN32
inline constexpr char sep = '\\';
#else
inline constexpr char sep = '/';
#endif

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
};

// Entries of folder (with or without trailing separator) whose names match
// mask, sorted by name without regard to case, "." and ".." first. An entry
// is left out when it carries hidden, system, volume or directory and
// attribute_mask lacks that bit; "." and ".." are folders, so they come only
// when attribute_mask has attr_directory and the mask matches them. A folder
// that cannot be read gives no entries.
std::vector<DirEntry> find_entries(std::string_view folder, std::string_view mask,
                                   std::uint32_t attribute_mask);

// Creates one folder level; the parent must exist. False when the path
// already exists (as anything) or cannot be created; errno tells why.
bool create_folder(std::string_view path);

enum class CopyStatus { copied, target_exists, failed };
struct CopyResult {
  CopyStatus status = CopyStatus::failed;
  int error = 0;  // the system's errno for a failure; EEXIST for target_exists
};

// Copies a regular file, never overwriting: the target is created
// exclusively. The copy keeps the modification time and the read-only state.
// The data is written under a temporary name in the target folder and renamed
// into place without replacing, so a failed or killed copy leaves no partial
// target behind; neither the source nor the target folder is taken through a
// link. between_chunks runs after
// each chunk of a large file, so the window stays live.
CopyResult copy_file(std::string_view source, std::string_view target,
                     const std::function<void()>& between_chunks = {});

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

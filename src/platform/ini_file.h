#pragma once

// A settings file with the semantics of the Windows profile service:
// section and key names match without regard to case, a write replaces the
// key's line in place (or adds it at the end of its section, creating section
// and file when missing) and keeps every other byte of the file. A line ends
// with CR LF, LF or a bare CR, as the Windows reader takes them.

#include <cstddef>
#include <string>
#include <string_view>

namespace wingstow::platform {

// Far more than any settings file holds; a larger one is refused, not read.
inline constexpr std::size_t max_settings_bytes = 1024 * 1024;

// What became of a write that did not fail on the disk.
enum class IniWrite {
  written,
  // A line break in the section, key or value: it would split the line.
  line_break,
  // The reader would give back something else (blanks at the ends, a pair of
  // quotes, more than 2047 characters, a key that reads as a comment...).
  not_kept,
};

class IniFile {
 public:
  // Neither creates nor reads the file.
  explicit IniFile(std::string path);

  const std::string& path() const { return path_; }

  // The key's value with surrounding blanks removed, at most 2047
  // characters; fallback when the file, the section or the key is missing.
  // Throws wingstow::Error naming the file when anything but a regular file
  // is at its place (a folder, a link, a named pipe: none is followed or
  // waited on), when it is larger than max_settings_bytes, or when it cannot
  // be read.
  std::string read(std::string_view section, std::string_view key, std::string_view fallback) const;

  // Stores value so that read() gives it back unchanged, or leaves the file
  // untouched and says why not. Throws wingstow::Error
  // "Impossible d'écrire dans <path>" when the file cannot be written (a full
  // disk, a link or folder in its place) or does not hold the value
  // afterwards. The file is replaced atomically.
  IniWrite write(std::string_view section, std::string_view key, std::string_view value);

 private:
  std::string path_;
};

}  // namespace wingstow::platform

#pragma once

// A settings file with the semantics of the Windows profile service:
// section and key names match without regard to case, a write replaces the
// key's line in place (or adds it at the end of its section, creating section
// and file when missing) and keeps every other byte of the file.

#include <string>
#include <string_view>

namespace wingstow::platform {

class IniFile {
 public:
  // Neither creates nor reads the file.
  explicit IniFile(std::string path);

  const std::string& path() const { return path_; }

  // The key's value with surrounding blanks removed, at most 2047
  // characters; fallback when the file, the section or the key is missing.
  std::string read(std::string_view section, std::string_view key, std::string_view fallback) const;

  // Throws wingstow::Error "Impossible d'écrire dans <path>" when the file
  // cannot be written. The file is replaced atomically.
  void write(std::string_view section, std::string_view key, std::string_view value);

 private:
  std::string path_;
};

}  // namespace wingstow::platform

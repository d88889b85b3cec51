#pragma once

// Where record lines lead on disk, and which of them a removal may take:
// entries strictly below the folders the installers write to, none of the
// simulator's standard folders.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "platform/files.h"

namespace wingstow {

// Whether a path relative to the simulator folder ("gauges/x.gau", letter
// case folded, "/" between parts) lies strictly below a folder the
// installers write to.
bool strictly_below_install_folder(std::string_view below);

// Where record lines lead on disk, worked out for a whole run: the
// simulator folder once, each folder the lines name once (its letter case
// and links), and the names in it through the folder held open, so that a
// line costs a look-up or two whatever the number of records and files.
class LinePaths {
 public:
  struct Target {
    std::string path;    // the entry, its folder's links and "." and ".." resolved
    std::string folder;  // the folder holding it, as path has it
    std::string name;    // its name there, as the disk spells it
    // Its lstat() status, when finding the name took it.
    std::optional<struct stat> status;
  };

  explicit LinePaths(std::string_view fs_path);

  std::optional<Target> removable(std::string_view line);

  // A file was taken away.
  void removed(const Target& target);

  // A folder was taken away, or may have been, with everything below it:
  // nothing learnt below it holds any more, nor any line's folder that led
  // through it.
  void folder_removed(const Target& target);

 private:
  struct Parent {
    std::optional<std::string> real;  // its links and letter case resolved
    bool complete = false;            // every part of it is there
  };

  const Parent& parent_of(const std::string& written);

  platform::Folder& folder(const std::string& real);

  bool below_install_folder(const std::filesystem::path& target) const;

  const std::optional<std::filesystem::path> root_;
  std::unordered_map<std::string, Parent> parents_;  // by the folder as the line writes it
  std::unordered_map<std::string, platform::Folder> folders_;  // by the real folder
};

}  // namespace wingstow

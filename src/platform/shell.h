#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace wingstow::platform {

// Opens a file with the desktop's default program.
bool open_with_default(std::string_view path);

struct Drive {
  std::string root;   // with trailing separator
  std::string label;  // what the user sees
};

// The volumes a user would recognise: the file system root, the home folder,
// and volumes mounted for the user (removable media, /mnt, /media).
std::vector<Drive> drives();

// True when path (with or without trailing separator) is the root of one of
// drives(), so that going one level up leads to the drives list.
bool is_drive_root(std::string_view path);

}  // namespace wingstow::platform

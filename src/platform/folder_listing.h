#pragma once

// A listing for searches that visit many folders: what the folder itself
// says of each entry, without resolving letter case along the path or asking
// the disk about every entry as find_entries does. Only links are looked at
// more closely.

#include <string>
#include <string_view>
#include <vector>

namespace wingstow::platform {

struct ListedEntry {
  std::string name;
  bool folder = false;  // a folder, or a link to one
  bool file = false;    // a regular file, or a link to one
  bool link = false;
};

// The entries of folder (taken exactly as written, with or without trailing
// separator) but "." and "..", sorted by name without regard to case like
// find_entries; none when it cannot be read. A dangling link is neither
// folder nor file.
std::vector<ListedEntry> list_folder(std::string_view folder);

}  // namespace wingstow::platform

#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace wingstow::platform {

// Moves a file or a folder with everything in it to the freedesktop.org
// trash. False (and the item stays where it was) when it cannot be trashed.
bool move_to_trash(std::string_view path);

// Number of items in the user's trash folders (the home trash and the
// .Trash-$uid folders of mounted volumes).
std::size_t trash_item_count();

// Empties the trash folders once confirm(item count) says yes; an empty trash
// asks nothing. Touches nothing outside the trash folders. True when the
// trash was emptied.
bool empty_trash(const std::function<bool(std::size_t)>& confirm);

// The trash folders counted and emptied above, each the one holding files/
// and info/: the home trash first, then those of mounted volumes.
std::vector<std::string> trash_folders();

}  // namespace wingstow::platform

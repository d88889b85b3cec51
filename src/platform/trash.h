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

// Whether path lies on the file system of the user's home trash (or of the
// folder above it that exists), where move_to_trash takes it by a rename.
// Elsewhere only a trash of that volume can take it, if there is one.
bool on_home_trash_volume(std::string_view path);

// Deletes path for good, with everything in it when it is a folder, for
// where no trash can take it. No link is followed: a link goes as itself,
// and folders are entered only through descriptors opened without following
// links. Folders the owner cannot write or enter are opened up first. True
// when nothing of path is left (also when it was gone already).
bool delete_tree(std::string_view path);

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

#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace wingstow {

// The last component of path with skip trailing characters left out: the
// name of a file ("gauge1.gau"), of a folder ("Cessna", or "Cessna/" when the
// path ends with the separator), or with skip 4 a name without its ".zip" or
// ".txt". Without a separator to the left, the whole kept part; with skip not
// smaller than the length, an empty text.
std::string last_path_part(std::string_view path, std::size_t skip);

// The folder part of path, ending with the separator; the same for a folder
// path with or without its trailing separator. Empty when there is none.
std::string parent_folder(std::string_view path);

// The file list's entry for the folder above: its path ends with "..".
bool is_parent_entry(std::string_view path);

// A path as the user gives it on a command line: from the current folder,
// "." and ".." taken out, without trailing separators.
std::string absolute_path(const std::string& given);

// Names with a line end would split an installation record line in two.
bool has_line_break(std::string_view text);

}  // namespace wingstow

#pragma once

// Which package folder of the unzip folder a name or path given by the
// user means, for every command that takes one (install, plan, check), so
// that they all take and refuse the same names.

#include <optional>
#include <string>
#include <vector>

#include "base/find_file.h"

namespace wingstow {

// A package folder of unzip_path (with its trailing separator) named by
// argument: a path when it holds a separator (taken from the current
// folder), else a name in the unzip folder. The folder's own name picks as
// names_matching() does; the folder comes back spelled as on disk, without
// a trailing separator. Nothing when there is no such folder. Throws Error
// when it lies outside the unzip folder, when two folders differ from the
// name only in letter case, and when name_refusal() refuses its name.
std::optional<std::string> find_package_folder(const std::string& unzip_path,
                                               const std::string& argument);

// The archives (ZIP, 7z, RAR) anywhere in a package folder, as the finder
// finds them, one kind after the other: those Install extracts into the
// package's "file_zip" before its steps.
std::vector<std::string> inner_archives(TFindFile& finder, const std::string& package);

// Throws Error "PATH: why" when name_refusal() refuses the path's last part.
void refuse_unusable_name(const std::string& path);

}  // namespace wingstow

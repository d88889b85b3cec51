#pragma once

// The airplane step of an install: every folder of the package that holds an
// "aircraft.cfg" is an airplane, copied into the simulator's aircraft folder
// and listed in the package's new installation record.

#include <functional>
#include <string>
#include <string_view>

#include "settings/shared.h"
#include "settings/ui.h"

namespace wingstow {

// package_path: the unzipped package folder, without trailing separator.
// Sets abort_flag when the package is refused (declined, already installed,
// no airplane). Throws Error when the record cannot be written.
void install_aircraft(Shared& shared, Ui& ui, const std::string& package_path);

// Copies the tree of source into target (both ending with the separator),
// never overwriting: existing files keep their content. Leaves out folders
// named "gauges", files ending in ".gau", ".GAU", ".zip", ".ZIP", hidden
// entries and names holding a line break. Failures are passed over.
// between_files runs between files (and chunks of large ones).
void copy_folder_tree(const std::string& source, const std::string& target, bool recurse,
                      const std::function<void()>& between_files = {});

}  // namespace wingstow

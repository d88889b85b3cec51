#pragma once

// The airplane step of an install: every folder of the package that holds an
// "aircraft.cfg" is an airplane, copied into the simulator's aircraft folder
// and listed in the package's new installation record.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "base/feedback.h"
#include "install/package_install.h"
#include "settings/shared.h"

namespace wingstow {

// package_path: the unzipped package folder, without trailing separator.
// Sets abort_flag when the package is refused (declined, already installed,
// no airplane). Throws Error when the record cannot be written.
//
// Ownership: a new airplane folder is recorded by its folder line. An
// existing folder that no record lists (a stock airplane, the user's own) is
// completed, and the record lists what the copy added instead. A folder that
// another record lists is left alone and the refusal goes into the package's
// install report.
void install_aircraft(Shared& shared, Feedback& ui, PackageInstall& install,
                      const std::string& package_path);

// A package with more than one aircraft.cfg installs several airplanes, and
// the step asks first (unless the window's batch mode is on).
inline bool several_airplanes(std::size_t aircraft_configs) { return aircraft_configs > 1; }
Question several_airplanes_question(const std::string& package_path);

// Copies the tree of source into target (both ending with the separator),
// never overwriting: existing files keep their content. Leaves out folders
// named "gauges", files ending in ".gau", ".GAU", ".zip", ".ZIP", hidden
// entries, links and names holding a line break. Failures go to failures
// when given, and the sums of the copies to sums. between_files runs between
// files (and chunks of large ones).
void copy_folder_tree(const std::string& source, const std::string& target, bool recurse,
                      const std::function<void()>& between_files = {},
                      InstallReport* failures = nullptr, CopiedSums* sums = nullptr);

}  // namespace wingstow

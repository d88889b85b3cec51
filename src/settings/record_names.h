#pragma once

// Which installation record a package name given by the user means, for
// every command that takes one (remove, files, verify, check): the record
// name without ".txt" (which may be given), spelled exactly, else with
// letter case ignored unless two records differ only by it.

#include <optional>
#include <string>
#include <vector>

namespace wingstow {

// Of records (paths, as list_records gives them), the one name means;
// nothing when none. Throws Error "NAME: names more than one installed
// package: A a" when the choice is open.
std::optional<std::string> record_named(const std::vector<std::string>& records,
                                        const std::string& name);

// The same, throwing Error "NAME: no such installed package in UNZIP" when
// there is none.
std::string find_record(const std::vector<std::string>& records, const std::string& name,
                        const std::string& unzip_path);

}  // namespace wingstow

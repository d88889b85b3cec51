#include "settings/record_airplanes.h"

#include <unordered_set>

#include "base/path_helpers.h"
#include "platform/ascii_case.h"
#include "platform/files.h"

namespace wingstow {

std::vector<std::string> airplanes_listed(const std::vector<std::string>& lines,
                                          const std::string& fs_path) {
  const std::string aircraft = fs_path + "aircraft" + platform::sep;
  std::vector<std::string> names;
  std::unordered_set<std::string> seen;
  for (const auto& line : lines) {
    if (!starts_with_ignoring_case(line, aircraft)) continue;
    const std::string rest = line.substr(aircraft.size());
    const std::string name = rest.substr(0, rest.find(platform::sep));
    if (name.empty() || name == "." || name == ".." || has_line_break(name)) continue;
    if (seen.insert(ascii_lower(name)).second) names.push_back(name);
  }
  return names;
}

}  // namespace wingstow

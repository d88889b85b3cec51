#pragma once

// The airplanes an installation record lists, as the catalogue counts them
// and the check looks at them: the folders directly below the simulator's
// aircraft folder that its lines lie in.

#include <string>
#include <vector>

namespace wingstow {

// Their folder names, each once (letter case ignored) in the spelling of its
// first line, in the order of the lines. "." and "..", which lead nowhere
// below the aircraft folder, and names with a line break are no airplane.
// fs_path: the simulator root, with its trailing separator.
std::vector<std::string> airplanes_listed(const std::vector<std::string>& lines,
                                          const std::string& fs_path);

}  // namespace wingstow

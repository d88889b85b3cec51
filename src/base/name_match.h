#pragma once

// How a name given by the user (on the command line, to the check) picks one
// of the names that exist: the one spelled exactly so, else the one that
// differs from it only in letter case. Two names that differ from it only
// in letter case, and none spelled exactly so, leave the choice open: the
// user is told, never one of them taken at random.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace wingstow {

// The indexes in names of what wanted means, in the order of names: one
// for a match, several when the choice is open, none when nothing matches.
std::vector<std::size_t> names_matching(const std::vector<std::string>& names,
                                        std::string_view wanted);

}  // namespace wingstow

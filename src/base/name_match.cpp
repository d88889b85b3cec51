#include "base/name_match.h"

#include "platform/ascii_case.h"

namespace wingstow {

std::vector<std::size_t> names_matching(const std::vector<std::string>& names,
                                        std::string_view wanted) {
  std::vector<std::size_t> found;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (names[i] == wanted) return {i};
    if (same_ignoring_case(names[i], wanted)) found.push_back(i);
  }
  return found;
}

}  // namespace wingstow

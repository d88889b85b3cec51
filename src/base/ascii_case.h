#pragma once

// Letter case as the 8-bit string routines of the records fold it: A to Z
// only, every other byte as it is.

#include <string>
#include <string_view>

namespace wingstow {

inline std::string ascii_lower(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

}  // namespace wingstow

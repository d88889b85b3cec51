#pragma once

// Letter case as the Windows file system and the 8-bit string routines of
// the records fold it: A to Z only, every other byte as it is (names on the
// simulator trees are ASCII; other UTF-8 bytes compare exactly).

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

namespace wingstow {

constexpr char ascii_lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

constexpr char ascii_upper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

inline std::string ascii_lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = ascii_lower(c);
  return out;
}

inline bool same_ignoring_case(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return ascii_lower(x) == ascii_lower(y);
         });
}

inline bool starts_with_ignoring_case(std::string_view text, std::string_view start) {
  return text.size() >= start.size() && same_ignoring_case(text.substr(0, start.size()), start);
}

inline bool ends_with_ignoring_case(std::string_view text, std::string_view end) {
  return text.size() >= end.size() &&
         same_ignoring_case(text.substr(text.size() - end.size()), end);
}

// The order NTFS lists names in: letter case ignored, compared in upper case
// ("A_B" after "AB"), ties broken by the exact bytes.
inline bool less_ignoring_case(std::string_view a, std::string_view b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const auto x = static_cast<unsigned char>(ascii_upper(a[i]));
    const auto y = static_cast<unsigned char>(ascii_upper(b[i]));
    if (x != y) return x < y;
  }
  if (a.size() != b.size()) return a.size() < b.size();
  return a < b;
}

}  // namespace wingstow

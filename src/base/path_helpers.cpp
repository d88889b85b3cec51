#include "base/path_helpers.h"

#include <filesystem>

#include "platform/files.h"

namespace wingstow {

std::string last_path_part(std::string_view path, std::size_t skip) {
  if (skip >= path.size()) return {};
  const std::size_t end = path.size() - skip;  // characters kept
  // The last kept character itself is never taken for the separator.
  if (end >= 2) {
    const std::size_t at = path.rfind(platform::sep, end - 2);
    if (at != std::string_view::npos) return std::string(path.substr(at + 1, end - at - 1));
  }
  return std::string(path.substr(0, end));
}

std::string parent_folder(std::string_view path) {
  if (path.size() < 2) return {};
  const std::size_t at = path.rfind(platform::sep, path.size() - 2);
  if (at == std::string_view::npos) return {};
  return std::string(path.substr(0, at + 1));
}

bool is_parent_entry(std::string_view path) {
  return path.size() >= 2 && path.substr(path.size() - 2) == "..";
}

std::string absolute_path(const std::string& given) {
  return platform::without_trailing_separators(
      std::filesystem::absolute(given).lexically_normal().string());
}

bool has_line_break(std::string_view text) {
  return text.find_first_of("\r\n") != std::string_view::npos;
}

}  // namespace wingstow

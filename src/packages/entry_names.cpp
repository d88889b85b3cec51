#include "packages/entry_names.h"

#include <algorithm>

#include "platform/ascii_case.h"
#include "platform/files.h"

namespace wingstow {
namespace {

bool is_separator(char c) { return c == '/' || c == '\\'; }
bool is_control(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }
bool is_letter(char c) { return ascii_lower(c) >= 'a' && ascii_lower(c) <= 'z'; }

}  // namespace

bool is_archive_name(std::string_view name) {
  return name.size() > 4 && ends_with_ignoring_case(name, ".zip");
}

bool window_takes_archive(std::string_view name) {
  return is_archive_name(name) && (name.ends_with("zip") || name.ends_with("ZIP"));
}

EntryName parse_entry_name(std::string_view name) {
  EntryName entry;
  if (std::any_of(name.begin(), name.end(), is_control)) {
    entry.refusal = "its name holds control characters";
    return entry;
  }
  if (!name.empty() && is_separator(name.front())) {
    entry.refusal = "its name is an absolute path";
    return entry;
  }
  if (name.size() >= 2 && is_letter(name[0]) && name[1] == ':') {
    entry.refusal = "its name carries a drive letter";
    return entry;
  }
  std::size_t start = 0;
  while (start <= name.size()) {
    std::size_t end = start;
    while (end < name.size() && !is_separator(name[end])) ++end;
    const std::string_view part = name.substr(start, end - start);
    if (part == "..") {
      entry.refusal = "its name leads out of the extract directory";
      return entry;
    }
    if (!part.empty() && part != ".") entry.parts.emplace_back(part);
    start = end + 1;
  }
  if (entry.parts.empty()) entry.refusal = "its name is empty";
  entry.folder = !name.empty() && is_separator(name.back());
  return entry;
}

std::string printable_entry_name(std::string_view name) {
  std::string text(name);
  std::replace_if(text.begin(), text.end(), is_control, '?');
  return text;
}

bool found_by_search(std::string_view path, std::string_view mask) {
  for (std::size_t start = 0; start < path.size();) {
    if (path[start] == '.') return false;
    const auto end = path.find(platform::sep, start);
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  const auto cut = path.rfind(platform::sep);
  return platform::wildcard_match(mask, cut == path.npos ? path : path.substr(cut + 1));
}

}  // namespace wingstow

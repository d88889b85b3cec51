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

namespace {

struct Ending {
  std::string_view text;
  ArchiveFormat format;
};
constexpr Ending endings[] = {
    {".zip", ArchiveFormat::zip}, {".7z", ArchiveFormat::seven_zip}, {".rar", ArchiveFormat::rar}};

}  // namespace

ArchiveFormat archive_format(std::string_view name) {
  while (!name.empty() && is_separator(name.back())) name.remove_suffix(1);
  const std::size_t cut = name.find_last_of("/\\");
  const std::string_view file = cut == std::string_view::npos ? name : name.substr(cut + 1);
  for (const auto& ending : endings)
    if (file.size() > ending.text.size() && ends_with_ignoring_case(file, ending.text))
      return ending.format;
  return ArchiveFormat::none;
}

bool is_archive_name(std::string_view name) { return archive_format(name) != ArchiveFormat::none; }

std::string_view format_name(ArchiveFormat format) {
  switch (format) {
    case ArchiveFormat::zip:
      return "ZIP";
    case ArchiveFormat::seven_zip:
      return "7z";
    case ArchiveFormat::rar:
      return "RAR";
    case ArchiveFormat::none:
      break;
  }
  return "";
}

bool has_signature(ArchiveFormat format, std::string_view first_bytes) {
  using namespace std::string_view_literals;
  switch (format) {
    case ArchiveFormat::zip:
      return first_bytes.starts_with("PK\x03\x04"sv) || first_bytes.starts_with("PK\x05\x06"sv);
    case ArchiveFormat::seven_zip:
      return first_bytes.starts_with("7z\xBC\xAF\x27\x1C"sv);
    case ArchiveFormat::rar:
      return first_bytes.starts_with("Rar!\x1A\x07"sv);
    case ArchiveFormat::none:
      break;
  }
  return false;
}

std::string without_archive_ending(std::string_view name) {
  for (const auto& ending : endings)
    if (name.size() > ending.text.size() && ends_with_ignoring_case(name, ending.text))
      return std::string(name.substr(0, name.size() - ending.text.size()));
  return std::string(name);
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

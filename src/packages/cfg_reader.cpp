#include "packages/cfg_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/ascii_case.h"
#include "platform/files.h"
#include "platform/regular_file.h"

namespace wingstow {
namespace {

void append_utf8(std::string& out, char32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// Windows editors save "Unicode" files as UTF-16 with a mark; the profile
// service reads them, so the simulator does too.
std::string from_utf16(std::string_view bytes, bool big_endian) {
  std::string out;
  out.reserve(bytes.size() / 2);
  const auto unit = [&](std::size_t i) -> char16_t {
    const auto a = static_cast<unsigned char>(bytes[i]);
    const auto b = static_cast<unsigned char>(bytes[i + 1]);
    return static_cast<char16_t>(big_endian ? (a << 8) | b : (b << 8) | a);
  };
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    char32_t code = unit(i);
    if (code >= 0xD800 && code < 0xDC00 && i + 3 < bytes.size()) {
      const char16_t low = unit(i + 2);
      if (low >= 0xDC00 && low < 0xE000) {
        code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        i += 2;
      }
    }
    append_utf8(out, code);
  }
  return out;
}

std::string decoded(std::string_view bytes) {
  if (bytes.starts_with("\xEF\xBB\xBF")) return std::string(bytes.substr(3));
  if (bytes.starts_with("\xFF\xFE")) return from_utf16(bytes.substr(2), false);
  if (bytes.starts_with("\xFE\xFF")) return from_utf16(bytes.substr(2), true);
  return std::string(bytes);
}

std::string_view without_comment(std::string_view line) {
  const std::size_t semicolon = line.find(';');
  const std::size_t slashes = line.find("//");
  return line.substr(0, std::min(semicolon, slashes));
}

}  // namespace

std::string_view trim_blanks(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const std::size_t last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

const CfgEntry* CfgSection::find(std::string_view key) const {
  for (const auto& entry : entries)
    if (same_ignoring_case(entry.key, key)) return &entry;
  return nullptr;
}

const CfgSection* CfgFile::section(std::string_view name) const {
  if (!first_section.empty() || sections.empty()) {
    const auto found = first_section.find(ascii_lower(name));
    return found == first_section.end() ? nullptr : &sections[found->second];
  }
  for (const auto& section : sections)
    if (same_ignoring_case(section.name, name)) return &section;
  return nullptr;
}

CfgFile parse_cfg(std::string_view bytes) {
  const std::string text = decoded(bytes);
  CfgFile file;
  int number = 0;
  std::size_t at = 0;
  while (at < text.size()) {
    // A line ends at CR LF, LF or a CR alone.
    std::size_t end = text.find_first_of("\r\n", at);
    if (end == std::string::npos) end = text.size();
    const std::string_view line =
        trim_blanks(without_comment(std::string_view(text).substr(at, end - at)));
    at = end;
    if (at < text.size()) at += text.compare(at, 2, "\r\n") == 0 ? 2 : 1;
    ++number;

    if (line.starts_with('[')) {
      const std::size_t close = line.find(']');
      if (close == std::string_view::npos) continue;
      file.sections.push_back({std::string(trim_blanks(line.substr(1, close - 1))), number, {}});
      continue;
    }
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos || file.sections.empty()) continue;
    file.sections.back().entries.push_back({std::string(trim_blanks(line.substr(0, equals))),
                                            std::string(trim_blanks(line.substr(equals + 1))),
                                            number});
  }
  for (std::size_t i = 0; i < file.sections.size(); ++i)
    file.first_section.emplace(ascii_lower(file.sections[i].name), i);
  return file;
}

CfgResult read_cfg(const std::string& path) {
  CfgResult result;
  // Only a regular file is read, never through a link (which may lead out
  // of the simulator) and never waiting on a pipe.
  platform::RegularFile file(platform::resolve(path));
  if (!file.is_open()) {
    // A folder of that name is no file the simulator reads either.
    if (file.error() == ENOENT || file.error() == ENOTDIR || file.error() == EISDIR) return result;
    result.status = CfgRead::failed;
    result.error = file.reason();
    return result;
  }
  std::string bytes;
  bytes.reserve(std::min<std::size_t>(static_cast<std::size_t>(file.size()), max_cfg_bytes));
  const int error = file.read_to(bytes, max_cfg_bytes);
  if (error != 0 && error != EFBIG) {
    result.status = CfgRead::failed;
    result.error = std::strerror(error);
    return result;
  }
  result.status = CfgRead::ok;
  result.file = parse_cfg(bytes);
  result.file.truncated = error == EFBIG;
  return result;
}

}  // namespace wingstow

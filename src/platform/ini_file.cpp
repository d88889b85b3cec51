#include "platform/ini_file.h"

#include "platform/ascii_case.h"
#include "platform/atomic_file.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/regular_file.h"

#include <cerrno>
#include <optional>
#include <vector>

#include <sys/stat.h>

namespace wingstow::platform {

namespace {

constexpr std::size_t max_value_length = 2047;

bool is_blank(char c) { return c == ' ' || c == '\t'; }

std::string_view trim(std::string_view s) {
  while (!s.empty() && is_blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && is_blank(s.back())) s.remove_suffix(1);
  return s;
}

struct Line {
  std::size_t begin = 0;  // first byte
  std::size_t end = 0;    // one past the text, before its line end
  std::size_t next = 0;   // one past the line end, if any
};

// CR LF, LF and a bare CR each end a line, as for the Windows reader; so
// CR CR LF is a line and an empty one.
std::vector<Line> split_lines(const std::string& text) {
  std::vector<Line> lines;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const auto brk = text.find_first_of("\r\n", pos);
    if (brk == std::string::npos) {
      lines.push_back({pos, text.size(), text.size()});
      break;
    }
    auto next = brk + 1;
    if (text[brk] == '\r' && next < text.size() && text[next] == '\n') ++next;
    lines.push_back({pos, brk, next});
    pos = next;
  }
  return lines;
}

// What a line means to the profile reader.
struct Parsed {
  enum Kind { other, section, entry } kind = other;
  std::string_view name;   // section or key name, trimmed
  std::string_view value;  // trimmed
};

Parsed parse(std::string_view text) {
  const auto t = trim(text);
  if (t.empty() || t.front() == ';') return {};
  if (t.front() == '[') {
    const auto close = t.rfind(']');
    if (close != std::string_view::npos) return {Parsed::section, trim(t.substr(1, close - 1)), {}};
  }
  const auto eq = t.find('=');
  if (eq == std::string_view::npos) return {};
  return {Parsed::entry, trim(t.substr(0, eq)), trim(t.substr(eq + 1))};
}

// Index of the first line of the section's body and one past its last line;
// nothing when the section is missing. The first section of that name counts.
std::optional<std::pair<std::size_t, std::size_t>> find_section(const std::string& text,
                                                                const std::vector<Line>& lines,
                                                                std::string_view section) {
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const auto p =
        parse(std::string_view(text).substr(lines[i].begin, lines[i].end - lines[i].begin));
    if (p.kind != Parsed::section || !same_ignoring_case(p.name, section)) continue;
    auto j = i + 1;
    while (
        j < lines.size() &&
        parse(std::string_view(text).substr(lines[j].begin, lines[j].end - lines[j].begin)).kind !=
            Parsed::section)
      ++j;
    return std::pair{i + 1, j};
  }
  return std::nullopt;
}

std::string_view line_text(const std::string& text, const Line& line) {
  return std::string_view(text).substr(line.begin, line.end - line.begin);
}

// Cut to the limit without leaving half of a UTF-8 sequence at the end.
std::string capped(std::string_view value) {
  if (value.size() <= max_value_length) return std::string(value);
  auto cut = max_value_length;
  std::size_t back = 0;
  while (back < 3 && cut - back > 0 &&
         (static_cast<unsigned char>(value[cut - back - 1]) & 0xC0) == 0x80)
    ++back;
  if (cut - back > 0) {
    const auto lead = static_cast<unsigned char>(value[cut - back - 1]);
    const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    if (length > back + 1) cut -= back + 1;
  }
  return std::string(value.substr(0, cut));
}

// What the reader gives for the key in text; nothing when the section or the
// key is missing.
std::optional<std::string> find_value(const std::string& text, std::string_view section,
                                      std::string_view key) {
  const auto lines = split_lines(text);
  const auto body = find_section(text, lines, trim(section));
  if (!body) return std::nullopt;
  const auto wanted = trim(key);
  for (auto i = body->first; i < body->second; ++i) {
    const auto p = parse(line_text(text, lines[i]));
    if (p.kind != Parsed::entry || !same_ignoring_case(p.name, wanted)) continue;
    auto value = p.value;
    // One pair of matching quotes goes, as the Windows reader does.
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
      value = value.substr(1, value.size() - 2);
    return capped(value);
  }
  return std::nullopt;
}

bool has_line_break(std::string_view s) { return s.find_first_of("\r\n") != s.npos; }

// The text with key set to value in section, every other byte kept.
std::string with_entry(std::string text, std::string_view section, std::string_view key,
                       std::string_view value) {
  const auto lines = split_lines(text);
  // New lines end as the file's first line does; CR LF unless that is LF.
  const std::string eol =
      !lines.empty() && lines[0].next == lines[0].end + 1 && text[lines[0].end] == '\n' ? "\n"
                                                                                        : "\r\n";
  const auto wanted_section = trim(section);
  const auto wanted_key = trim(key);
  const std::string entry = std::string(wanted_key) + "=" + std::string(value);

  const auto body = find_section(text, lines, wanted_section);
  if (!body) {
    if (!text.empty() && text.back() != '\n' && text.back() != '\r') text += eol;
    text += "[" + std::string(wanted_section) + "]" + eol + entry + eol;
    return text;
  }
  for (auto i = body->first; i < body->second; ++i) {
    const auto p = parse(line_text(text, lines[i]));
    if (p.kind != Parsed::entry || !same_ignoring_case(p.name, wanted_key)) continue;
    // The key keeps the spelling the file gives it, as on Windows.
    const std::string line = std::string(p.name) + "=" + std::string(value);
    text.replace(lines[i].begin, lines[i].end - lines[i].begin, line);
    return text;
  }
  // After the section's last non-blank line (its header at least).
  auto last = body->first - 1;
  for (auto i = body->first; i < body->second; ++i)
    if (!trim(line_text(text, lines[i])).empty()) last = i;
  const auto& line = lines[last];
  if (line.next > line.end)
    text.insert(line.next, entry + eol);
  else
    text.insert(line.next, eol + entry + eol);
  return text;
}

}  // namespace

IniFile::IniFile(std::string path) : path_(std::move(path)) {}

std::string IniFile::read(std::string_view section, std::string_view key,
                          std::string_view fallback) const {
  const auto file = read_regular_file(resolve(path_), max_settings_bytes);
  if (file.error == ENOENT) return capped(fallback);
  if (!file.ok()) throw Error("The settings file " + path_ + " cannot be read: " + file.reason);
  auto value = find_value(file.text, section, key);
  return value ? std::move(*value) : capped(fallback);
}

IniWrite IniFile::write(std::string_view section, std::string_view key, std::string_view value) {
  if (has_line_break(section) || has_line_break(key) || has_line_break(value))
    return IniWrite::line_break;
  const auto fail = [this]() { throw Error("Impossible d'écrire dans " + path_); };
  const std::string real = resolve(path_);
  auto existing = read_regular_file(real, max_settings_bytes);
  if (!existing.ok() && existing.error != ENOENT) fail();
  // A read-only file stays as it is, as on Windows; the rename below would
  // otherwise replace it.
  struct stat st;
  if (existing.ok() && ::stat(real.c_str(), &st) == 0 && (st.st_mode & S_IWUSR) == 0) fail();

  const std::string text = with_entry(std::move(existing.text), section, key, value);
  // Only what the reader gives back unchanged is stored.
  if (find_value(text, section, key) != value) return IniWrite::not_kept;

  // Through the fault seam, synced, never through a link at the file's place.
  if (write_file_atomically(real, text) != 0) fail();
  const auto written = read_regular_file(real, max_settings_bytes);
  if (!written.ok() || find_value(written.text, section, key) != value) fail();
  return IniWrite::written;
}

}  // namespace wingstow::platform

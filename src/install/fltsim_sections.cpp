#include "install/fltsim_sections.h"

#include <algorithm>
#include <charconv>

#include "packages/cfg_reader.h"
#include "platform/ascii_case.h"

namespace wingstow {
namespace {

// A line of the file: where it starts, where its text ends and where the
// next one starts. Lines end at CR LF, LF or a CR alone, as the reader of
// configuration files splits them, so that both count lines alike.
struct Line {
  std::size_t start = 0;
  std::size_t end = 0;
  std::size_t next = 0;
};

std::vector<Line> split_lines(std::string_view bytes) {
  std::vector<Line> lines;
  std::size_t at = 0;
  while (at < bytes.size()) {
    std::size_t end = bytes.find_first_of("\r\n", at);
    if (end == std::string_view::npos) end = bytes.size();
    std::size_t next = end;
    if (next < bytes.size()) next += bytes.compare(next, 2, "\r\n") == 0 ? 2 : 1;
    lines.push_back({at, end, next});
    at = next;
  }
  return lines;
}

std::string_view value_text(std::string_view line) {
  const std::size_t cut = std::min(line.find(';'), line.find("//"));
  return trim_blanks(line.substr(0, cut));
}

bool blank(std::string_view line) { return trim_blanks(line).empty(); }

// The number of a header such as "[fltsim.12]" ("[Fltsim.X]" has none):
// where its digits start and how many there are; nothing when the line is
// no fltsim header.
struct Header {
  int number = -1;
  std::size_t digits = 0;
  std::size_t digits_size = 0;
};

std::optional<Header> fltsim_header(std::string_view line, std::size_t line_start) {
  const std::size_t open = line.find_first_not_of(" \t");
  if (open == std::string_view::npos || line[open] != '[') return std::nullopt;
  const std::size_t close = line.find(']', open);
  if (close == std::string_view::npos) return std::nullopt;
  const std::string_view name = line.substr(open + 1, close - open - 1);
  const std::size_t name_start = name.find_first_not_of(" \t");
  if (name_start == std::string_view::npos) return std::nullopt;
  const std::string_view word = name.substr(name_start);
  if (word.size() < 7 || !same_ignoring_case(word.substr(0, 7), "fltsim.")) return std::nullopt;
  Header header;
  const std::size_t first = open + 1 + name_start + 7;
  std::size_t last = first;
  while (last < close && line[last] >= '0' && line[last] <= '9') ++last;
  header.digits = line_start + first;
  header.digits_size = last - first;
  const std::string_view rest = trim_blanks(line.substr(last, close - last));
  int number = -1;
  if (last > first && rest.empty() &&
      std::from_chars(line.data() + first, line.data() + last, number).ec == std::errc())
    header.number = number;
  return header;
}

bool is_header(std::string_view line) {
  const std::size_t open = line.find_first_not_of(" \t");
  return open != std::string_view::npos && line[open] == '[';
}

// The values the install and the check look at; the first of a key counts,
// as the simulator reads it.
class SectionValues {
 public:
  explicit SectionValues(FltsimSection& section) : section_(section) {}

  void take(std::string_view line) {
    const std::string_view text = value_text(line);
    const std::size_t equals = text.find('=');
    if (equals == std::string_view::npos) return;
    const std::string_view key = trim_blanks(text.substr(0, equals));
    const std::string_view value = trim_blanks(text.substr(equals + 1));
    std::string* const fields[] = {&section_.title,   &section_.sim,   &section_.model,
                                   &section_.texture, &section_.panel, &section_.sound};
    static constexpr std::string_view names[] = {"title",   "sim",   "model",
                                                 "texture", "panel", "sound"};
    for (std::size_t i = 0; i < std::size(names); ++i)
      if (!seen_[i] && same_ignoring_case(key, names[i])) {
        *fields[i] = std::string(value);
        seen_[i] = true;
      }
  }

 private:
  FltsimSection& section_;
  bool seen_[6] = {};
};

bool utf16(std::string_view bytes) {
  return bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF");
}

// The line end of the line starting at start: what follows its text.
std::string_view line_end_at(std::string_view bytes, std::size_t start) {
  for (const Line& line : split_lines(bytes.substr(start)))
    return bytes.substr(start + line.end, line.next - line.end);
  return {};
}

// Where the line end before position at starts, when at follows one.
std::optional<std::size_t> before_line_end(std::string_view bytes, std::size_t at) {
  if (at >= 2 && bytes.compare(at - 2, 2, "\r\n") == 0) return at - 2;
  if (at >= 1 && (bytes[at - 1] == '\n' || bytes[at - 1] == '\r')) return at - 1;
  return std::nullopt;
}

}  // namespace

std::string section_folder(std::string_view key, std::string_view value) {
  std::string folder(key);
  if (!value.empty()) folder += "." + std::string(value);
  return folder;
}

std::vector<FltsimSection> fltsim_sections(std::string_view bytes) {
  std::vector<FltsimSection> sections;
  if (utf16(bytes)) return sections;
  const std::size_t skip = bytes.starts_with("\xEF\xBB\xBF") ? 3 : 0;
  std::optional<SectionValues> values;
  bool in_fltsim = false;
  for (const Line& line : split_lines(bytes)) {
    const std::size_t start = line.start == 0 ? skip : line.start;
    const std::string_view text = bytes.substr(start, line.end - start);
    if (is_header(text)) {
      in_fltsim = false;
      if (const auto header = fltsim_header(text, start)) {
        FltsimSection section;
        section.number = header->number;
        section.header = line.start;
        section.end = line.end;
        section.digits = header->digits;
        section.digits_size = header->digits_size;
        sections.push_back(std::move(section));
        values.emplace(sections.back());
        in_fltsim = true;
      }
      continue;
    }
    if (!in_fltsim) continue;
    if (!blank(text)) sections.back().end = line.end;
    values->take(text);
  }
  return sections;
}

const FltsimSection* section_titled(const std::vector<FltsimSection>& sections,
                                    std::string_view title) {
  const std::string_view wanted = trim_blanks(title);
  for (const auto& section : sections)
    if (section.title == wanted) return &section;
  return nullptr;
}

int next_fltsim_number(const std::vector<FltsimSection>& sections) {
  int highest = -1;
  for (const auto& section : sections) highest = std::max(highest, section.number);
  return highest + 1;
}

std::optional<std::string> with_section_added(std::string_view bytes,
                                              const std::vector<std::string>& lines, int* number) {
  const auto sections = fltsim_sections(bytes);
  if (sections.empty()) return std::nullopt;
  const FltsimSection& last = sections.back();
  const int next = next_fltsim_number(sections);
  std::string_view eol = line_end_at(bytes, last.header);
  if (eol.empty()) eol = "\r\n";
  // The header is spelled as the last one is ("[Fltsim." stays so).
  const std::size_t open = bytes.find('[', last.header);
  std::string header = last.number >= 0 && last.digits > open
                           ? std::string(bytes.substr(open, last.digits - open))
                           : std::string("[fltsim.");
  header += std::to_string(next) + "]";
  // After the section's last line: a blank line, the header, its lines; the
  // file's own line end (or its end) follows as before.
  std::string added;
  added += eol;
  added += eol;
  added += header;
  for (const auto& line : lines) {
    added += eol;
    added += line;
  }
  std::string result(bytes.substr(0, last.end));
  result += added;
  result += bytes.substr(last.end);
  if (number) *number = next;
  return result;
}

std::optional<std::string> with_section_removed(std::string_view bytes, std::string_view title) {
  auto sections = fltsim_sections(bytes);
  const std::string_view wanted = trim_blanks(title);
  // The last of that title: an added section lies after the airplane's own.
  const auto found = std::find_if(sections.rbegin(), sections.rend(),
                                  [&](const FltsimSection& s) { return s.title == wanted; });
  if (found == sections.rend()) return std::nullopt;
  const FltsimSection removed = *found;
  std::size_t from = removed.header;
  std::size_t to = removed.end;
  // What adding put before the header: the line end of the line above and a
  // blank line. A section the user wrote otherwise goes with its own line end.
  const auto blank_line = before_line_end(bytes, removed.header);
  const auto above = blank_line ? before_line_end(bytes, *blank_line) : std::nullopt;
  if (above) {
    from = *above;
  } else {
    for (const Line& line : split_lines(bytes.substr(removed.end))) {
      to = removed.end + line.next;
      break;
    }
  }
  std::string result(bytes.substr(0, from));
  result += bytes.substr(to);
  if (removed.number < 0) return result;
  // The later numbers move down, so that none is missing.
  const auto after = fltsim_sections(result);
  for (auto it = after.rbegin(); it != after.rend(); ++it)
    if (it->number > removed.number)
      result.replace(it->digits, it->digits_size, std::to_string(it->number - 1));
  return result;
}

std::vector<SectionSnippet> fltsim_snippets(std::string_view text) {
  std::vector<SectionSnippet> snippets;
  std::optional<SectionValues> values;
  bool open = false;
  for (const Line& line : split_lines(text)) {
    const std::string_view row = text.substr(line.start, line.end - line.start);
    if (fltsim_header(row, line.start)) {
      snippets.emplace_back();
      values.emplace(snippets.back().values);
      open = true;
      continue;
    }
    if (!open) continue;
    const std::string_view trimmed = trim_blanks(row);
    const bool comment = trimmed.starts_with("//") || trimmed.starts_with(";");
    if (trimmed.empty() || is_header(row) ||
        (!comment && trimmed.find('=') == std::string_view::npos)) {
      open = false;
      continue;
    }
    snippets.back().lines.emplace_back(row);
    values->take(row);
  }
  std::erase_if(snippets, [](const SectionSnippet& s) { return s.values.title.empty(); });
  return snippets;
}

std::vector<std::string> with_title(const std::vector<std::string>& lines, std::string_view title) {
  std::vector<std::string> result = lines;
  for (auto& line : result) {
    const std::string_view text = trim_blanks(line);
    const std::size_t equals = text.find('=');
    if (equals == std::string_view::npos ||
        !same_ignoring_case(trim_blanks(text.substr(0, equals)), "title"))
      continue;
    line = line.substr(0, line.find('=') + 1) + std::string(title);
    break;
  }
  return result;
}

}  // namespace wingstow

#pragma once

// The [fltsim.N] sections of an aircraft.cfg, edited as bytes: a livery's
// section goes in after the last one under the next free number, and comes
// out again with the later numbers moved down, so that the file is byte for
// byte what it was once every section added is gone. Nothing else of the
// file is touched: its encoding (these files are Windows-1252 or Latin-1,
// never re-encoded), its line ends, comments, blank lines and the letter
// case of its headers.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wingstow {

// One [fltsim.N] section as the simulator reads it.
struct FltsimSection {
  int number = -1;  // -1: not a number ("X", "XX", a typing slip)
  std::string title, sim, model, texture, panel, sound;
  // Byte offsets in the file: the start of the header line, and the end of
  // the section's last line that is not blank (before its line end).
  std::size_t header = 0;
  std::size_t end = 0;
  std::size_t digits = 0;  // where the number's digits start in the header
  std::size_t digits_size = 0;
};

// The folder a section's key names: "texture" for an empty value,
// "texture.red" for "red".
std::string section_folder(std::string_view key, std::string_view value);

// The sections of a file, in file order. A file with a byte-order mark of
// UTF-16 has none here: it is not edited.
std::vector<FltsimSection> fltsim_sections(std::string_view bytes);

// The section of that title (blanks around it ignored), or nothing.
const FltsimSection* section_titled(const std::vector<FltsimSection>& sections,
                                    std::string_view title);

// The number the next section gets: one above the highest.
int next_fltsim_number(const std::vector<FltsimSection>& sections);

// The file with a section added after the last [fltsim.N] one, numbered
// next_fltsim_number(); lines are the section's lines below its header, as
// written, without line ends. Nothing when the file has no such section to
// place it after.
std::optional<std::string> with_section_added(std::string_view bytes,
                                              const std::vector<std::string>& lines,
                                              int* number = nullptr);

// The file without the section of that title, the later numbers moved down
// by one; nothing when no section has that title.
std::optional<std::string> with_section_removed(std::string_view bytes, std::string_view title);

// A section of a text file of a package (a readme, a snippet): the lines
// from a [fltsim.N] header (N may be a placeholder such as X) up to the first
// line that is blank or no "key=value" line.
struct SectionSnippet {
  std::vector<std::string> lines;  // below the header, without line ends
  FltsimSection values;
};
std::vector<SectionSnippet> fltsim_snippets(std::string_view text);

// A section's lines with its title replaced.
std::vector<std::string> with_title(const std::vector<std::string>& lines, std::string_view title);

}  // namespace wingstow

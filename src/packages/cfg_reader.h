#pragma once

// A reader of the simulator's configuration files (aircraft.cfg, panel.cfg,
// sound.cfg) as add-on authors write them: CR LF or LF, a byte-order mark or
// none (UTF-16 included), comments after ";" or "//", blanks around "=",
// section and key names in any letter case. Only the first max_cfg_bytes of
// a file are read, so a huge or binary file costs little.

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace wingstow {

inline constexpr std::size_t max_cfg_bytes = 4 * 1024 * 1024;

struct CfgEntry {
  std::string key;    // as written, blanks trimmed
  std::string value;  // comment cut off, blanks trimmed
  int line = 0;       // 1-based
};

struct CfgSection {
  std::string name;  // between the brackets, as written, blanks trimmed
  int line = 0;
  std::vector<CfgEntry> entries;

  // The first entry of key, letter case ignored; nullptr when none.
  const CfgEntry* find(std::string_view key) const;
};

struct CfgFile {
  std::vector<CfgSection> sections;  // in file order; entries before any section are dropped
  bool truncated = false;            // longer than max_cfg_bytes

  // The first section of that name, letter case ignored (as the profile
  // service finds it); nullptr when none.
  const CfgSection* section(std::string_view name) const;

  // Section names with A to Z folded, to the index of their first section:
  // a file of thousands of sections is looked up without a scan each time.
  // Made by parse_cfg; without it, section() scans.
  std::unordered_map<std::string, std::size_t> first_section;
};

CfgFile parse_cfg(std::string_view bytes);

enum class CfgRead { ok, missing, failed };

struct CfgResult {
  CfgRead status = CfgRead::missing;
  CfgFile file;
  std::string error;  // why it could not be read, for failed
};

// Reads the file at path, found without regard to letter case. A special
// file (pipe, device) is never opened and a link never followed: either
// counts as failed.
CfgResult read_cfg(const std::string& path);

// Blanks (spaces and tabs) taken off both ends.
std::string_view trim_blanks(std::string_view text);

}  // namespace wingstow

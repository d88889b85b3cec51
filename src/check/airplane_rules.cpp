#include "check/airplane_rules.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <optional>
#include <tuple>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "base/path_helpers.h"
#include "packages/cfg_reader.h"
#include "platform/ascii_case.h"
#include "platform/files.h"

namespace wingstow {
namespace {

constexpr char sep = platform::sep;

std::string quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

// "Window00" for prefix "window": the prefix, then digits only.
bool numbered(std::string_view name, std::string_view prefix) {
  if (name.size() <= prefix.size() || !starts_with_ignoring_case(name, prefix)) return false;
  return name.substr(prefix.size()).find_first_not_of("0123456789") == std::string_view::npos;
}

// A name a configuration file gives, "\" or "/" between its parts, as a
// path below some folder: nothing when it is absolute, names a drive or
// climbs with ".." (Windows also takes ". ." and "..." for it), so that the
// check never looks outside the simulator.
std::optional<std::string> inside(std::string_view name) {
  if (name.empty() || name.front() == '/' || name.front() == '\\') return std::nullopt;
  if (name.size() >= 2 && name[1] == ':') return std::nullopt;
  if (name.find('\0') != std::string_view::npos) return std::nullopt;
  std::string path;
  std::size_t at = 0;
  while (at <= name.size()) {
    std::size_t end = name.find_first_of("/\\", at);
    if (end == std::string_view::npos) end = name.size();
    const std::string_view part = name.substr(at, end - at);
    at = end + 1;
    if (part.find_first_not_of(". ") == std::string_view::npos) {
      if (std::count(part.begin(), part.end(), '.') >= 2) return std::nullopt;
      continue;  // "" and "." stay where they are
    }
    if (!path.empty()) path += sep;
    path += part;
  }
  if (path.empty()) return std::nullopt;
  return path;
}

bool holds_anything(const std::string& folder) {
  for (const auto& entry :
       platform::find_entries(folder, "*", platform::attr_any, platform::Detail::kinds))
    if (entry.name != "." && entry.name != "..") return true;
  return false;
}

// The [fltsim.N] sections as the simulator reads them: from 0 upward, up to
// the first number missing.
std::vector<const CfgSection*> fltsim_sections(const CfgFile& cfg) {
  std::vector<const CfgSection*> read;
  for (int n = 0;; ++n) {
    const CfgSection* section = cfg.section("fltsim." + std::to_string(n));
    if (!section) return read;
    read.push_back(section);
  }
}

// The number of a [fltsim.N] section; nothing for other sections.
std::optional<int> fltsim_number(std::string_view name) {
  if (!numbered(name, "fltsim.") || name.size() > 7 + 6) return std::nullopt;
  int n = 0;
  std::from_chars(name.data() + 7, name.data() + name.size(), n);
  return n;
}

constexpr const char* same_title_meaning =
    "the simulator lists only one of the two airplanes: give one of them another title= in "
    "its aircraft.cfg";

constexpr const char* unsafe_meaning =
    "the simulator would look for it outside the airplane, and so the check did not: make it "
    "a name inside the airplane folder, or ask the airplane's author";

// What a missing model, panel, sound or texture folder does, and what helps.
std::string missing_folder_meaning(const std::string& kind, const std::string& key) {
  const char* does = kind == "model"   ? "the simulator cannot show this airplane"
                     : kind == "panel" ? "the airplane has no panel"
                     : kind == "sound" ? "the airplane makes no sound"
                                       : "the airplane shows without its paint";
  const char* comes =
      kind == "texture" ? "the airplane's package or its repaint" : "the airplane's full package";
  return std::string(does) + ": the " + kind + " folder comes with " + comes +
         "; install that, or make " + key + "= in aircraft.cfg name a folder the airplane has";
}

// "Main Panel, GPS and the virtual cockpit": where the gauge would show.
std::string where_shown(const std::vector<std::string>& windows, bool virtual_cockpit) {
  std::vector<std::string> parts = windows;
  if (!parts.empty()) parts.front() = "the panel's " + parts.front();
  if (virtual_cockpit) parts.push_back("the virtual cockpit");
  std::string text;
  for (std::size_t i = 0; i < parts.size(); ++i)
    text += (i == 0 ? "" : i + 1 == parts.size() ? " and " : ", ") + parts[i];
  return text + (parts.size() > 1 ? " stay blank" : " stays blank");
}

}  // namespace

struct TitleUse {
  std::string airplane_key;  // the airplane folder, lower case, as on disk
  std::string file;
  std::string section;
  std::string title;
};

class AirplaneRules::Impl {
 public:
  // Without a simulator (none chosen yet) only the airplane and its
  // package are looked at: a relative path would lead anywhere.
  Impl(const std::string& fs_path, const PackageContent* package)
      : aircraft_(fs_path.empty()
                      ? std::string()
                      : platform::with_trailing_separator(shown_path(fs_path + "aircraft" + sep))),
        gauges_(fs_path.empty()
                    ? std::string()
                    : platform::with_trailing_separator(shown_path(fs_path + "gauges" + sep))),
        modules_(fs_path.empty()
                     ? std::string()
                     : platform::with_trailing_separator(shown_path(fs_path + "modules" + sep))),
        package_(package) {}

  void airplane(const std::string& airplane, CheckReport& report) {
    const std::string folder = platform::with_trailing_separator(shown_path(airplane));
    report.airplanes.push_back(folder);
    const std::size_t first = report.findings.size();
    Airplane plane{folder, completed(folder), report, {}};
    check_aircraft_cfg(plane);
    // In the order of the files and their lines, as one reads them.
    std::stable_sort(report.findings.begin() + static_cast<std::ptrdiff_t>(first),
                     report.findings.end(), [](const Finding& a, const Finding& b) {
                       return std::tie(a.file, a.line) < std::tie(b.file, b.line);
                     });
  }

 private:
  struct Airplane {
    std::string folder;
    // The simulator's airplane folder that Install completes with this one,
    // which then has what that one has; empty when there is none.
    std::string completes;
    CheckReport& report;
    std::unordered_set<std::string> folders_done;  // panel and sound folders, by key

    Finding& add(Problem problem, const std::string& file, int line, std::string section,
                 std::string missing, std::vector<std::string> looked_in = {},
                 std::string meaning = {}) {
      Finding& finding = report.findings.emplace_back();
      finding.problem = problem;
      finding.airplane = folder;
      finding.file = file;
      finding.line = line;
      finding.section = std::move(section);
      finding.missing = std::move(missing);
      finding.looked_in = std::move(looked_in);
      finding.meaning = std::move(meaning);
      return report.findings.back();
    }
  };

  std::string completed(const std::string& folder) const {
    if (!package_ || aircraft_.empty()) return {};
    for (const auto& airplane : package_->airplanes) {
      if (key_of(airplane.source) != key_of(folder)) continue;
      const std::string target = aircraft_ + airplane.name + sep;
      return platform::folder_exists(target) ? target : std::string();
    }
    return {};
  }

  // A folder or file that is there, or that the completed airplane has.
  static bool there(const Airplane& plane, const std::string& relative, bool folder) {
    for (const std::string* base : {&plane.folder, &plane.completes}) {
      if (base->empty()) continue;
      const std::string path = *base + relative;
      if (folder ? platform::folder_exists(path) : platform::file_exists(path)) return true;
    }
    return false;
  }

  static std::string key_of(const std::string& folder) {
    return ascii_lower(platform::with_trailing_separator(shown_path(folder)));
  }

  // A file that is not there, cannot be read, or is read only in part.
  // True when there is something to check.
  static bool readable(Airplane& plane, const CfgResult& read, const std::string& path,
                       std::string_view name) {
    if (read.status == CfgRead::failed) {
      plane.add(Problem::unreadable, path, 0, {},
                std::string(name) + " cannot be read: " + read.error, {},
                "the simulator cannot use it either: make it a plain file you may read, or take it "
                "again from the airplane's package");
      return false;
    }
    if (read.status == CfgRead::ok && read.file.truncated)
      plane.report.notes.push_back("Only the first " + std::to_string(max_cfg_bytes / 1024 / 1024) +
                                   " MiB of " + path + " were checked.");
    return read.status == CfgRead::ok;
  }

  void check_aircraft_cfg(Airplane& plane) {
    const std::string path = plane.folder + "aircraft.cfg";
    const CfgResult read = read_cfg(path);
    if (read.status == CfgRead::missing) {
      plane.add(
          Problem::missing_cfg, path, 0, {},
          "aircraft.cfg is missing: the simulator does not list this airplane", {shown_path(path)},
          "the airplane is not in the simulator's list: aircraft.cfg comes with the airplane's "
          "package; install the whole package again");
      return;
    }
    if (!readable(plane, read, path, "aircraft.cfg")) return;
    const std::string file = shown_path(path);
    const auto sections = fltsim_sections(read.file);
    report_unread_sections(plane, read.file, file, sections.size());

    std::map<std::string, const CfgSection*> own_titles;
    for (const CfgSection* section : sections) {
      const CfgEntry* title = section->find("title");
      if (!title || title->value.empty()) {
        plane.add(Problem::missing_title, file, section->line, section->name,
                  "title= is missing: the simulator does not list this entry", {},
                  "this entry is not in the simulator's list: give it a title= line of its own in "
                  "aircraft.cfg");
      } else {
        check_title(plane, file, *section, *title, own_titles);
      }
      for (const char* kind : {"model", "panel", "sound", "texture"})
        if (const CfgEntry* entry = section->find(kind))
          check_folder(plane, file, *section, *entry, kind);
      if (const CfgEntry* sim = section->find("sim"); sim && !sim->value.empty())
        check_air_file(plane, file, *section, *sim);
    }
  }

  static void report_unread_sections(Airplane& plane, const CfgFile& cfg, const std::string& file,
                                     std::size_t read) {
    std::unordered_set<int> seen;
    for (const auto& section : cfg.sections) {
      const auto n = fltsim_number(section.name);
      if (!n) continue;
      if (!seen.insert(*n).second) {
        plane.add(Problem::unread_section, file, section.line, section.name,
                  "a second [" + section.name + "] is never read", {},
                  "this entry is not in the simulator's list: give it the next free number in "
                  "aircraft.cfg");
      } else if (static_cast<std::size_t>(*n) >= read) {
        plane.add(Problem::unread_section, file, section.line, section.name,
                  "[" + section.name + "] is never read: there is no [fltsim." +
                      std::to_string(read) + "]",
                  {},
                  "this entry is not in the simulator's list: number the [fltsim.N] sections of "
                  "aircraft.cfg from 0 without a gap");
      }
    }
  }

  // The simulator tells airplanes apart by title; blanks around it do not
  // count and, as its look-ups of titles go, neither does letter case.
  void check_title(Airplane& plane, const std::string& file, const CfgSection& section,
                   const CfgEntry& title, std::map<std::string, const CfgSection*>& own_titles) {
    const std::string key = ascii_lower(title.value);
    if (const auto it = own_titles.find(key); it != own_titles.end()) {
      plane.add(Problem::duplicate_title, file, title.line, section.name,
                "title " + quoted(title.value) + " is also the title of [" + it->second->name +
                    "] of this file: the simulator lists only one of them",
                {}, same_title_meaning);
      return;
    }
    own_titles.emplace(key, &section);
    const std::string self = key_of(plane.folder);
    const auto [begin, end] = titles().equal_range(key);
    for (auto it = begin; it != end; ++it) {
      if (it->second.airplane_key == self) continue;
      plane.add(Problem::duplicate_title, file, title.line, section.name,
                "title " + quoted(title.value) + " is also the title of [" + it->second.section +
                    "] in " + it->second.file + ": the simulator lists only one of them",
                {}, same_title_meaning);
      return;
    }
  }

  // Every title of the simulator's airplanes but those the package would
  // complete rather than install, and of the package's airplanes; read once.
  const std::unordered_multimap<std::string, TitleUse>& titles() {
    if (titles_) return *titles_;
    titles_.emplace();
    std::unordered_set<std::string> replaced;
    if (package_)
      for (const auto& airplane : package_->airplanes) replaced.insert(ascii_lower(airplane.name));
    const auto simulator = aircraft_.empty()
                               ? std::vector<platform::DirEntry>()
                               : platform::find_entries(aircraft_, "*", platform::attr_directory,
                                                        platform::Detail::kinds);
    for (const auto& entry : simulator) {
      if (!(entry.attributes & platform::attr_directory) || entry.name == "." ||
          entry.name == ".." || replaced.contains(ascii_lower(entry.name)))
        continue;
      add_titles(aircraft_ + entry.name + sep);
    }
    if (package_)
      for (const auto& airplane : package_->airplanes) add_titles(airplane.source);
    return *titles_;
  }

  void add_titles(const std::string& folder) {
    const std::string path = folder + "aircraft.cfg";
    const CfgResult read = read_cfg(path);
    if (read.status != CfgRead::ok) return;
    const std::string key = key_of(folder);
    const std::string file = shown_path(path);
    for (const CfgSection* section : fltsim_sections(read.file))
      if (const CfgEntry* title = section->find("title"); title && !title->value.empty())
        titles_->emplace(ascii_lower(title->value),
                         TitleUse{key, file, section->name, title->value});
  }

  // model=X names the folder model.X (model when X is empty), and so on.
  void check_folder(Airplane& plane, const std::string& file, const CfgSection& section,
                    const CfgEntry& entry, const std::string& kind) {
    const std::string name = entry.value.empty() ? kind : kind + "." + entry.value;
    const auto relative = inside(name);
    const std::string named = entry.key + "=" + entry.value;
    if (!relative) {
      plane.add(Problem::unsafe_name, file, entry.line, section.name,
                "folder " + quoted(name) + " (" + named +
                    ") lies outside the airplane folder: not looked up",
                {}, unsafe_meaning);
      return;
    }
    const std::string folder = plane.folder + *relative + sep;
    if (!there(plane, *relative, true)) {
      plane.add(Problem::missing_folder, file, entry.line, section.name,
                "folder " + quoted(name) + " (" + named + ") is missing", {shown_path(folder)},
                missing_folder_meaning(kind, entry.key));
      return;
    }
    // One the completed airplane brings is that airplane's, checked with it.
    if (!platform::folder_exists(folder)) return;
    if (kind != "panel" && kind != "sound") return;
    if (!plane.folders_done.insert(key_of(folder)).second) return;
    if (kind == "panel")
      check_panel(plane, folder);
    else
      check_sound(plane, folder);
  }

  void check_air_file(Airplane& plane, const std::string& file, const CfgSection& section,
                      const CfgEntry& sim) {
    const std::string name = sim.value + ".air";
    const auto relative = inside(name);
    if (!relative) {
      plane.add(Problem::unsafe_name, file, sim.line, section.name,
                "file " + quoted(name) + " (sim=" + sim.value +
                    ") lies outside the airplane folder: not looked up",
                {}, unsafe_meaning);
      return;
    }
    const std::string path = plane.folder + *relative;
    if (!there(plane, *relative, false))
      plane.add(Problem::missing_air_file, file, sim.line, section.name,
                "file " + quoted(name) + " (sim=" + sim.value + ") is missing", {shown_path(path)},
                "the simulator cannot fly this airplane: the .air file comes with the airplane's "
                "package; install the whole package, or make sim= name the .air file the airplane "
                "folder holds");
  }

  // A panel.cfg or sound.cfg; nothing when there is none to check. A folder
  // that holds files but not its configuration is reported: the simulator
  // shows no panel (plays no sound) then. An empty one is left alone, as AI
  // airplanes have them.
  static std::optional<CfgFile> read_folder_cfg(Airplane& plane, const std::string& folder,
                                                const char* name, const char* consequence) {
    const std::string path = folder + name;
    const CfgResult read = read_cfg(path);
    if (read.status == CfgRead::missing) {
      if (holds_anything(folder))
        plane.add(Problem::missing_cfg, shown_path(folder) + name, 0, {},
                  std::string(name) + " is missing: " + consequence, {shown_path(path)},
                  std::string(consequence) + ": " + name +
                      " comes with the airplane's package; install the whole package again");
      return std::nullopt;
    }
    if (!readable(plane, read, path, name)) return std::nullopt;
    return read.file;
  }

  // [fltsim] alias=Folder\sub: the panel or sound of another airplane.
  // True when the file is an alias (its own content is then not used).
  bool check_alias(Airplane& plane, const CfgFile& cfg, const std::string& file) {
    const CfgSection* section = cfg.section("fltsim");
    const CfgEntry* alias = section ? section->find("alias") : nullptr;
    if (!alias || alias->value.empty()) return false;
    const auto relative = inside(alias->value);
    if (!relative) {
      plane.add(Problem::unsafe_name, file, alias->line, section->name,
                "alias " + quoted(alias->value) +
                    " lies outside the simulator's aircraft folder: not looked up",
                {}, unsafe_meaning);
      return true;
    }
    const std::string target = aircraft_ + *relative + sep;
    if ((!aircraft_.empty() && platform::folder_exists(target)) || package_brings(*relative))
      return true;
    const bool panel = same_ignoring_case(last_path_part(file, 0), "panel.cfg");
    const std::string airplane = alias->value.substr(0, alias->value.find_first_of("/\\"));
    plane.add(Problem::missing_alias_target, file, alias->line, section->name,
              "alias target " + quoted(alias->value) + " is missing", {shown_path(target)},
              std::string(panel ? "the airplane has no panel" : "the airplane has no sound") +
                  ": it borrows the " + (panel ? "panel" : "sound") + " of the airplane " +
                  quoted(airplane) + "; install that airplane first (its author names it)");
    return true;
  }

  // A path below the aircraft folder that one of the package's airplanes
  // will give once installed.
  bool package_brings(const std::string& relative) const {
    if (!package_) return false;
    const auto cut = relative.find(sep);
    const std::string first = relative.substr(0, cut);
    for (const auto& airplane : package_->airplanes) {
      if (!same_ignoring_case(airplane.name, first)) continue;
      if (cut == std::string::npos) return true;
      if (platform::folder_exists(airplane.source + relative.substr(cut + 1))) return true;
    }
    return false;
  }

  void check_sound(Airplane& plane, const std::string& folder) {
    const auto cfg = read_folder_cfg(plane, folder, "sound.cfg", "the airplane has no sound");
    if (cfg) check_alias(plane, *cfg, shown_path(folder + "sound.cfg"));
  }

  void check_panel(Airplane& plane, const std::string& folder) {
    const auto cfg = read_folder_cfg(plane, folder, "panel.cfg", "the simulator shows no panel");
    if (!cfg) return;
    const std::string file = shown_path(folder + "panel.cfg");
    // An aliased panel is the other airplane's, gauges and all.
    if (check_alias(plane, *cfg, file)) return;
    // [Window Titles] window00=Main Panel: the names the simulator's menu
    // gives the windows.
    std::unordered_map<std::string, std::string> titles;
    if (const CfgSection* names = cfg->section("window titles"))
      for (const auto& entry : names->entries)
        if (numbered(entry.key, "window") && !entry.value.empty())
          titles.emplace(ascii_lower(entry.key), entry.value);
    // One finding a gauge, however many lines use it.
    struct Use {
      std::size_t finding;
      int lines = 1;
      std::vector<std::string> windows;
      bool virtual_cockpit = false;
    };
    std::map<std::string, Use> missing;
    std::unordered_set<std::string> found;
    for (const auto& section : cfg->sections) {
      const bool cockpit = numbered(section.name, "vcockpit");
      if (!numbered(section.name, "window") && !cockpit) continue;
      const auto title = titles.find(ascii_lower(section.name));
      const std::string window = title != titles.end() ? title->second : section.name;
      for (const auto& entry : section.entries) {
        if (!numbered(entry.key, "gauge")) continue;
        const std::string_view value = entry.value;
        const std::string name(trim_blanks(value.substr(0, value.find_first_of("!,"))));
        if (name.empty()) continue;
        const std::string key = ascii_lower(name);
        if (found.contains(key)) continue;
        auto it = missing.find(key);
        if (it != missing.end()) {
          ++it->second.lines;
        } else if (check_gauge(plane, folder, file, section, entry, name)) {
          found.insert(key);
          continue;
        } else {
          it = missing.emplace(key, Use{plane.report.findings.size() - 1, 1, {}, false}).first;
        }
        Use& use = it->second;
        if (cockpit) {
          use.virtual_cockpit = true;
        } else if (std::find(use.windows.begin(), use.windows.end(), window) == use.windows.end()) {
          use.windows.push_back(window);
        }
      }
    }
    for (const auto& [key, use] : missing) {
      Finding& finding = plane.report.findings[use.finding];
      if (use.lines > 1) finding.missing += " (used on " + std::to_string(use.lines) + " lines)";
      if (finding.problem != Problem::unsafe_name)
        finding.meaning = where_shown(use.windows, use.virtual_cockpit) + ": " + finding.meaning;
    }
  }

  // The gauges folder as the report names it: "Gauges", as on disk.
  std::string gauges_name() const {
    if (gauges_.empty()) return "Gauges";
    return last_path_part(platform::without_trailing_separators(gauges_), 0);
  }

  // Where the simulator looks for gauge name: name.gau, name.dll, name.cab,
  // then a folder name, in the panel folder and then in the gauges folder.
  // True when found; otherwise the finding is the last one added, its
  // meaning still to be led by where the gauge would show.
  bool check_gauge(Airplane& plane, const std::string& panel, const std::string& file,
                   const CfgSection& section, const CfgEntry& entry, const std::string& name) {
    const auto relative = inside(name);
    if (!relative) {
      plane.add(
          Problem::unsafe_name, file, entry.line, section.name,
          "gauge " + quoted(name) + " lies outside the panel and gauges folders: not looked up", {},
          unsafe_meaning);
      return false;
    }
    static constexpr const char* kinds[] = {".gau", ".dll", ".cab"};
    std::vector<std::string> looked_in, places;
    for (const std::string& folder : {panel, gauges_}) {
      if (folder.empty()) continue;
      const std::string base = folder + *relative;
      for (const char* kind : kinds)
        if (platform::file_exists(base + kind)) return true;
      if (platform::folder_exists(base)) return true;
      for (const char* kind : kinds) looked_in.push_back(shown_path(base + kind));
      looked_in.push_back(shown_path(base + sep));
      places.push_back(shown_path(folder));
    }
    const auto cut = relative->rfind(sep);
    const std::string file_name = relative->substr(cut == std::string::npos ? 0 : cut + 1);
    const std::string subfolder = cut == std::string::npos ? "" : relative->substr(0, cut);
    const std::string target = gauges_name() + (subfolder.empty() ? "" : sep + subfolder);
    // Install puts the package's gauges into the gauges folder, flat, and
    // every .dll into the modules folder, where the panel does not look.
    bool bound_for_modules = false;
    if (package_ && subfolder.empty()) {
      const std::string key = ascii_lower(*relative);
      if (package_->gauges.contains(key + ".gau") || package_->gauges.contains(key + ".cab"))
        return true;
      bound_for_modules = package_->dlls.contains(key + ".dll");
      if (bound_for_modules) places.push_back(package_->folder);
    }
    const std::string dll = file_name + ".dll";
    const bool in_modules = !modules_.empty() && subfolder.empty() &&
                            platform::file_exists(modules_ + *relative + ".dll");
    if (bound_for_modules || in_modules) {
      Finding& finding =
          plane.add(Problem::gauge_in_modules, file, entry.line, section.name,
                    "gauge " + quoted(name) + " is there only as " + dll + ", which " +
                        (in_modules ? "lies in Modules" : "Install puts in Modules") +
                        ", where the panel does not look for gauges",
                    std::move(looked_in));
      finding.places = std::move(places);
      finding.tried_as = file_name + ".gau, .dll, .cab or a folder";
      finding.meaning = "the simulator loads " + dll +
                        " as a gauge only from the panel folder or " + target + "; " +
                        (in_modules ? "" : "once installed, ") + "copy " + dll +
                        " from Modules into " + target;
      return false;
    }
    Finding& finding = plane.add(Problem::missing_gauge, file, entry.line, section.name,
                                 "gauge " + quoted(name) + " is missing", std::move(looked_in));
    if (package_ && subfolder.empty()) places.push_back(package_->folder);
    finding.places = std::move(places);
    finding.tried_as = file_name + ".gau, .dll, .cab or a folder";
    finding.meaning = "the gauge file " + file_name +
                      ".gau comes with the airplane's full package or its gauge pack; put it in " +
                      target;
    return false;
  }

  const std::string aircraft_;
  const std::string gauges_;
  const std::string modules_;
  const PackageContent* package_;
  std::optional<std::unordered_multimap<std::string, TitleUse>> titles_;
};

AirplaneRules::AirplaneRules(const std::string& fs_path, const PackageContent* package)
    : impl_(std::make_unique<Impl>(fs_path, package)) {}

AirplaneRules::~AirplaneRules() = default;

void AirplaneRules::check(const std::string& airplane, CheckReport& report) {
  impl_->airplane(airplane, report);
}

}  // namespace wingstow

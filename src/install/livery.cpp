#include "install/livery.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>

#include "base/path_helpers.h"
#include "install/install_aircraft.h"
#include "install/livery_record.h"
#include "install/ownership.h"
#include "install/plan.h"
#include "packages/cfg_reader.h"
#include "platform/ascii_case.h"
#include "platform/atomic_file.h"
#include "platform/control_text.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/regular_file.h"
#include "settings/record.h"

namespace wingstow {
namespace {

// Text files of a package read for sections, and how deep the package is
// searched for them.
constexpr std::size_t max_text_bytes = 1024 * 1024;
constexpr int max_depth = 8;
// Files compared to tell a folder already there from the livery's own.
constexpr std::size_t max_compared_bytes = 256 * 1024 * 1024;

std::vector<platform::DirEntry> subfolders(const std::string& folder) {
  std::vector<platform::DirEntry> found;
  for (auto& entry : platform::find_entries(folder, "*.*", platform::attr_directory))
    if ((entry.attributes & platform::attr_directory) && !entry.link && entry.name != "." &&
        entry.name != "..")
      found.push_back(std::move(entry));
  return found;
}

std::vector<platform::DirEntry> files_of(const std::string& folder) {
  std::vector<platform::DirEntry> found;
  for (auto& entry : platform::find_entries(folder, "*.*", platform::attr_archive))
    if (!(entry.attributes & platform::attr_directory) && !entry.link) found.push_back(entry);
  return found;
}

bool texture_folder_name(std::string_view name) {
  return name.size() > 8 && same_ignoring_case(name.substr(0, 8), "texture.");
}

// The folder of that name in folder, as the disk spells it; empty when none.
std::string subfolder_named(const std::string& folder, const std::string& name) {
  for (const auto& entry : subfolders(folder))
    if (same_ignoring_case(entry.name, name)) return entry.name;
  return {};
}

std::optional<std::string> read_text(const std::string& path, std::size_t max_bytes) {
  auto file = platform::read_regular_file(path, max_bytes);
  if (!file.ok()) return std::nullopt;
  return std::move(file.text);
}

// A livery of source when its texture folder lies there: the folders its
// section names that source holds. Names with control characters or tabs
// are none: they would pass into the record and its sidecar.
std::optional<Livery> livery_of(const std::string& source, std::vector<std::string> lines,
                                const FltsimSection& values) {
  if (values.texture.empty() || values.title.empty() ||
      platform::has_control_character(values.title) || values.title.find('\t') != std::string::npos)
    return std::nullopt;
  Livery livery{std::move(lines), values, source, {}};
  const std::string texture = subfolder_named(source, section_folder("texture", values.texture));
  if (texture.empty()) return std::nullopt;
  livery.folders.push_back(texture);
  for (const auto& [key, value] :
       {std::pair<std::string_view, const std::string&>{"model", values.model},
        {"panel", values.panel},
        {"sound", values.sound}}) {
    if (value.empty()) continue;
    const std::string folder = subfolder_named(source, section_folder(key, value));
    if (!folder.empty()) livery.folders.push_back(folder);
  }
  return livery;
}

// The lines of a section of a file, below its header, without line ends.
std::vector<std::string> section_lines(std::string_view bytes, const FltsimSection& section) {
  std::vector<std::string> lines;
  std::size_t at = bytes.find_first_of("\r\n", section.header);
  while (at != std::string_view::npos && at < section.end) {
    at += bytes.compare(at, 2, "\r\n") == 0 ? 2 : 1;
    std::size_t end = bytes.find_first_of("\r\n", at);
    if (end == std::string_view::npos) end = bytes.size();
    if (at <= section.end) lines.emplace_back(bytes.substr(at, std::min(end, section.end) - at));
    at = end;
  }
  // Blank lines inside the section stay; those after its last line are no part of it.
  return lines;
}

bool same_file(const std::string& a, const std::string& b) {
  const auto first = read_text(a, max_compared_bytes);
  const auto second = read_text(b, max_compared_bytes);
  return first && second && *first == *second;
}

// Whether the folder there holds what the livery's does, no more, no less.
bool same_tree(const std::string& from, const std::string& to) {
  const auto from_files = files_of(from);
  const auto to_files = files_of(to);
  if (from_files.size() != to_files.size()) return false;
  for (const auto& file : from_files) {
    const auto match = std::find_if(to_files.begin(), to_files.end(), [&](const auto& other) {
      return same_ignoring_case(other.name, file.name);
    });
    if (match == to_files.end() || match->size != file.size ||
        !same_file(from + file.name, to + match->name))
      return false;
  }
  const auto from_folders = subfolders(from);
  if (from_folders.size() != subfolders(to).size()) return false;
  for (const auto& folder : from_folders) {
    const std::string there = subfolder_named(to, folder.name);
    if (there.empty() || !same_tree(from + folder.name + platform::sep, to + there + platform::sep))
      return false;
  }
  return true;
}

void find_snippets(const std::string& folder, int depth, std::vector<SectionSnippet>& found) {
  for (const auto& file : files_of(folder)) {
    const std::string lower = ascii_lower(file.name);
    if (!lower.ends_with(".txt") && !lower.ends_with(".cfg") && !lower.starts_with("readme"))
      continue;
    if (lower == "aircraft.cfg" || file.size > max_text_bytes) continue;
    if (const auto text = read_text(folder + file.name, max_text_bytes))
      for (auto& snippet : fltsim_snippets(*text)) found.push_back(std::move(snippet));
  }
  if (depth >= max_depth) return;
  for (const auto& sub : subfolders(folder))
    find_snippets(folder + sub.name + platform::sep, depth + 1, found);
}

// Folders of the package that hold texture folders, found anywhere in it.
void find_texture_holders(const std::string& folder, int depth, std::vector<std::string>& found) {
  bool holds = false;
  for (const auto& sub : subfolders(folder)) {
    if (texture_folder_name(sub.name)) {
      holds = true;
    } else if (depth < max_depth) {
      find_texture_holders(folder + sub.name + platform::sep, depth + 1, found);
    }
  }
  if (holds) found.push_back(folder);
}

std::optional<std::string> cfg_bytes(const std::string& cfg) {
  return read_text(cfg, max_cfg_bytes);
}

std::string aircraft_folder(const std::string& fs_path) {
  return platform::resolve(fs_path + "aircraft") + platform::sep;
}

// A title the base does not have yet: the texture's name added in brackets,
// and a count after it should that be taken too.
std::string unique_title(const std::vector<FltsimSection>& sections, const Livery& livery) {
  std::string title = livery.values.title + " (" + livery.values.texture + ")";
  for (int n = 2; section_titled(sections, title); ++n)
    title = livery.values.title + " (" + livery.values.texture + " " + std::to_string(n) + ")";
  return title;
}

struct Placed {
  const Livery* livery;
  std::string title;
};

}  // namespace

std::optional<LiveryPackage> livery_folder(const std::string& folder) {
  const std::string base = platform::with_trailing_separator(folder);
  const auto bytes = cfg_bytes(base + "aircraft.cfg");
  if (!bytes) return std::nullopt;
  const auto sections = fltsim_sections(*bytes);
  bool textures = false;
  for (const auto& sub : subfolders(base)) textures = textures || texture_folder_name(sub.name);
  if (!textures || sections.empty()) return std::nullopt;
  for (const auto& section : sections)
    if (!subfolder_named(base, section_folder("model", section.model)).empty())
      return std::nullopt;  // it brings its model: an airplane
  LiveryPackage package;
  for (const auto& section : sections) {
    if (auto livery = livery_of(base, section_lines(*bytes, section), section))
      package.liveries.push_back(std::move(*livery));
    else if (!section.title.empty())
      package.base_titles.push_back(section.title);
  }
  if (package.liveries.empty()) return std::nullopt;
  return package;
}

std::optional<LiveryPackage> loose_liveries(const std::string& package_path) {
  const std::string root = platform::with_trailing_separator(package_path);
  std::vector<std::string> holders;
  find_texture_holders(root, 0, holders);
  if (holders.empty()) return std::nullopt;
  std::vector<SectionSnippet> snippets;
  find_snippets(root, 0, snippets);
  LiveryPackage package;
  std::set<std::string> textures;  // one section per texture folder
  for (auto& snippet : snippets)
    for (const auto& holder : holders) {
      if (textures.contains(ascii_lower(holder + snippet.values.texture))) break;
      if (auto livery = livery_of(holder, snippet.lines, snippet.values)) {
        textures.insert(ascii_lower(holder + snippet.values.texture));
        package.liveries.push_back(std::move(*livery));
        break;
      }
    }
  if (package.liveries.empty()) return std::nullopt;
  return package;
}

std::optional<LiveryPackage> package_liveries(const std::string& package_path) {
  TFindFile finder;
  finder.setPath(package_path);
  finder.FileMask = "aircraft.cfg";
  finder.FileAttr = {};
  finder.InSubFolders = true;
  const auto configs = finder.Search();
  if (configs.empty()) return loose_liveries(package_path);
  LiveryPackage all;
  for (const auto& config : configs) {
    auto one = livery_folder(parent_folder(config));
    if (!one) return std::nullopt;  // an airplane of its own
    for (auto& livery : one->liveries) all.liveries.push_back(std::move(livery));
    for (auto& title : one->base_titles) all.base_titles.push_back(std::move(title));
  }
  return all;
}

std::vector<BaseAirplane> base_candidates(const std::string& fs_path,
                                          const LiveryPackage& package) {
  std::vector<BaseAirplane> by_titles, by_model;
  const std::string aircraft = aircraft_folder(fs_path);
  for (const auto& entry : subfolders(aircraft)) {
    const std::string folder = aircraft + entry.name + platform::sep;
    const std::string cfg_name = [&] {
      for (const auto& file : files_of(folder))
        if (same_ignoring_case(file.name, "aircraft.cfg")) return file.name;
      return std::string();
    }();
    if (cfg_name.empty()) continue;
    const auto bytes = cfg_bytes(folder + cfg_name);
    if (!bytes) continue;
    const auto sections = fltsim_sections(*bytes);
    const BaseAirplane airplane{folder, entry.name, folder + cfg_name};
    if (!package.known_base.empty()) {
      if (same_ignoring_case(folder, package.known_base)) return {airplane};
      continue;
    }
    const bool repeats = std::any_of(
        package.base_titles.begin(), package.base_titles.end(),
        [&](const std::string& title) { return section_titled(sections, title) != nullptr; });
    if (repeats) by_titles.push_back(airplane);
    const bool fits =
        std::all_of(package.liveries.begin(), package.liveries.end(), [&](const Livery& livery) {
          const auto& wanted = livery.values;
          return !wanted.sim.empty() &&
                 std::any_of(sections.begin(), sections.end(),
                             [&](const FltsimSection& s) {
                               return same_ignoring_case(s.sim, wanted.sim);
                             }) &&
                 !subfolder_named(folder, section_folder("model", wanted.model)).empty();
        });
    if (fits) by_model.push_back(airplane);
  }
  return by_titles.empty() ? by_model : by_titles;
}

std::string livery_mark(const std::string& fs_path, const LiveryPackage& package) {
  const auto candidates = base_candidates(fs_path, package);
  std::string text = "livery for ";
  if (candidates.empty()) {
    const auto& first = package.liveries.front().values;
    return text + (first.sim.empty() ? first.title : first.sim) + " (not installed)";
  }
  for (std::size_t i = 0; i < candidates.size(); ++i) text += (i ? ", " : "") + candidates[i].name;
  return text;
}

Question livery_base_question(const std::string& package_path) {
  return {"livery base", package_path, MessageKind::confirmation,
          "The liveries of " + last_path_part(package_path, 0) +
              " fit several airplanes: which one do they go into?",
          Buttons::ok_cancel};
}

std::vector<std::string> base_choices(const std::vector<BaseAirplane>& candidates) {
  std::vector<std::string> choices;
  for (const auto& candidate : candidates)
    choices.push_back(platform::without_trailing_separators(candidate.folder));
  return choices;
}

std::optional<std::string> choice_named(const std::vector<std::string>& choices,
                                        const std::string& named) {
  if (named.empty()) return std::nullopt;
  for (const auto& choice : choices)
    if (same_path(choice, named) || same_ignoring_case(last_path_part(choice, 0), named))
      return choice;
  return std::nullopt;
}

std::string no_base_text(const std::string& fs_path, const LiveryPackage& package) {
  const auto& wanted = package.liveries.front().values;
  return "The livery " + wanted.title + " needs the airplane it repaints: a folder in " +
         aircraft_folder(fs_path) + " whose aircraft.cfg has sim=" + wanted.sim +
         " and which holds " + section_folder("model", wanted.model) +
         ". Install that airplane first; nothing was installed";
}

std::optional<LiveryPackage> sections_missing_from(const std::string& source,
                                                   const std::string& target) {
  const std::string from = platform::with_trailing_separator(source);
  const auto package_bytes = cfg_bytes(from + "aircraft.cfg");
  const auto bytes = cfg_bytes(platform::resolve(target + "aircraft.cfg"));
  if (!package_bytes || !bytes) return std::nullopt;
  const auto there = fltsim_sections(*bytes);
  LiveryPackage package;
  package.known_base = platform::with_trailing_separator(target);
  for (const auto& section : fltsim_sections(*package_bytes)) {
    if (section_titled(there, section.title)) continue;
    if (auto livery = livery_of(from, section_lines(*package_bytes, section), section))
      package.liveries.push_back(std::move(*livery));
  }
  if (package.liveries.empty()) return std::nullopt;
  return package;
}

void install_liveries(Shared& shared, Feedback& ui, PackageInstall& install,
                      const std::string& package_path, const LiveryPackage& package, bool batch) {
  auto candidates = base_candidates(shared.fs_path, package);
  if (candidates.empty()) {
    ui.message(MessageKind::warning, no_base_text(shared.fs_path, package), Buttons::ok);
    shared.abort_flag = 1;
    return;
  }
  BaseAirplane base = candidates.front();
  if (candidates.size() > 1) {
    const auto chosen = ui.choose(livery_base_question(package_path), base_choices(candidates));
    const auto match = !chosen ? candidates.end()
                               : std::find_if(candidates.begin(), candidates.end(), [&](auto& c) {
                                   return same_path(c.folder, *chosen);
                                 });
    if (match == candidates.end()) {
      shared.abort_flag = 1;
      return;
    }
    base = *match;
  }
  const auto bytes = cfg_bytes(base.cfg);
  if (!bytes) {
    install.report.refusals.push_back("The liveries were not installed: " + base.cfg +
                                      " could not be read");
    return;
  }
  const auto sections = fltsim_sections(*bytes);
  const std::string record = record_path(shared);
  const auto recorded = read_added_sections(record);
  std::vector<AddedSections> added = recorded.files;
  const auto ours = [&](const std::string& title) {
    for (const auto& file : added)
      if (same_path(file.cfg, base.cfg) &&
          std::find(file.titles.begin(), file.titles.end(), title) != file.titles.end())
        return true;
    return false;
  };

  StepRecord step = step_record_of(shared, install, false);
  std::vector<Placed> placed;
  struct Copy {
    std::string source, target, line;
  };
  std::vector<Copy> copies;
  for (const Livery& livery : package.liveries) {
    std::string title = livery.values.title;
    if (const FltsimSection* there = section_titled(sections, title); there && !ours(title)) {
      if (same_ignoring_case(there->texture, livery.values.texture)) {
        if (!batch)
          ui.message(MessageKind::information,
                     "The livery " + title + " is installed in " + base.name + " already",
                     Buttons::ok);
        continue;
      }
      title = unique_title(sections, livery);
      ui.message(MessageKind::information,
                 "The livery " + livery.values.title + " goes into " + base.name + " as " + title +
                     ": " + base.name + " has a livery of that title already",
                 Buttons::ok);
    }
    bool refused = false;
    std::vector<Copy> own;
    if (package.known_base.empty()) {
      for (const auto& name : livery.folders) {
        const std::string existing = subfolder_named(base.folder, name);
        const std::string target = base.folder + (existing.empty() ? name : existing);
        const std::string source = livery.source + name + platform::sep;
        if (existing.empty() || step.lists(target)) {
          own.push_back({source, target + platform::sep, target});
        } else if (!same_tree(source, target + platform::sep)) {
          install.report.refusals.push_back("The livery " + title + " was not installed: " +
                                            target + " is there already with other content");
          refused = true;
          break;
        }
      }
    }
    if (refused) continue;
    for (auto& copy : own) {
      step.add(copy.line);
      copies.push_back(std::move(copy));
    }
    placed.push_back({&livery, title});
  }
  // Every livery there already: nothing to record. Refused ones are recorded
  // as the airplane step records them, so that the install ends the same way.
  if (placed.empty() && install.report.refusals.empty()) {
    shared.abort_flag = 1;
    return;
  }

  if (InstallPlan* dry = install.dry_run) {
    step.write(true);
    for (const auto& copy : copies)
      for (const auto& file : files_of(copy.source))
        dry->copy(copy.source + file.name, copy.target + file.name);
    std::string text = *bytes;
    for (const auto& one : placed) {
      if (ours(one.title) && section_titled(fltsim_sections(text), one.title)) continue;
      int number = 0;
      const auto lines = with_title(one.livery->lines, one.title);
      if (auto next = with_section_added(text, lines, &number)) text = std::move(*next);
      dry->sections.push_back({base.cfg, number, one.title, lines});
    }
    return;
  }

  begin_install(step, record, platform::file_exists(record));
  const auto pump = [&ui] { ui.pump(); };
  for (const auto& copy : copies)
    copy_folder_tree(copy.source, copy.target, true, pump, &install.report, &install.copied);
  step.finish();

  // The sections are noted before they go in: a removal after a crash in
  // between finds one of them missing, which counts as removed.
  for (const auto& one : placed) note_added_section(added, base.cfg, one.title);
  if (const int error = write_added_sections(record, added)) {
    report_copy_failure(install.report, sections_path(record), error);
    return;
  }
  auto text = cfg_bytes(base.cfg);
  if (!text) {
    report_copy_failure(install.report, base.cfg, EIO);
    return;
  }
  bool changed = false;
  if (placed.empty()) return;
  for (const auto& one : placed) {
    if (section_titled(fltsim_sections(*text), one.title)) continue;  // a resumed install's
    if (auto next = with_section_added(*text, with_title(one.livery->lines, one.title))) {
      *text = std::move(*next);
      changed = true;
    }
  }
  if (changed)
    if (const int error = platform::write_file_atomically(base.cfg, *text))
      report_copy_failure(install.report, base.cfg, error);
}

}  // namespace wingstow

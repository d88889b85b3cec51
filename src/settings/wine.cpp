#include "settings/wine.h"

#include <algorithm>
#include <array>
#include <set>
#include <utility>

#include "platform/ascii_case.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "platform/folder_listing.h"
#include "platform/regular_file.h"

namespace wingstow {

namespace {

using platform::ListedEntry;
using platform::sep;

// The folders in folder, hidden ones included (the places below are dot
// folders and may hold dot folders), linked ones followed: a prefix kept on
// another disk is often linked in. One level only, so a link cannot loop.
std::vector<std::string> subfolders(const std::string& folder) {
  std::vector<std::string> names;
  for (auto& entry : platform::list_folder(folder))
    if (entry.folder) names.push_back(std::move(entry.name));
  return names;
}

// Spelled exactly as Wine writes them; links followed.
bool is_prefix(const std::string& folder) {
  bool drive_c = false;
  bool registry = false;
  for (const auto& entry : platform::list_folder(folder)) {
    drive_c = drive_c || (entry.folder && entry.name == "drive_c");
    registry = registry || (entry.file && entry.name == "system.reg");
  }
  return drive_c && registry;
}

// A KeyValues text as Steam writes it: quoted or bare tokens, braces,
// "//" comments, backslash escapes inside quotes.
class KeyValuesReader {
 public:
  enum class Kind { text, open, close, end };
  struct Token {
    Kind kind = Kind::end;
    std::string text;
  };

  explicit KeyValuesReader(std::string_view text) : text_(text) {}

  Token next() {
    for (;;) {
      while (pos_ < text_.size() && is_blank(text_[pos_])) ++pos_;
      if (pos_ >= text_.size()) return {};
      if (text_.substr(pos_, 2) == "//") {
        const auto end = text_.find('\n', pos_);
        pos_ = end == std::string_view::npos ? text_.size() : end;
        continue;
      }
      const char c = text_[pos_];
      if (c == '{' || c == '}') {
        ++pos_;
        return {c == '{' ? Kind::open : Kind::close, {}};
      }
      if (c == '"') return quoted();
      return bare();
    }
  }

 private:
  static bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

  Token quoted() {
    Token token{Kind::text, {}};
    ++pos_;
    while (pos_ < text_.size() && text_[pos_] != '"') {
      char c = text_[pos_++];
      if (c == '\\' && pos_ < text_.size()) {
        const char escaped = text_[pos_++];
        c = escaped == 'n' ? '\n' : escaped == 't' ? '\t' : escaped;
      }
      token.text += c;
    }
    ++pos_;  // the closing quote, when there is one
    return token;
  }

  Token bare() {
    const auto start = pos_;
    while (pos_ < text_.size() && !is_blank(text_[pos_]) && text_[pos_] != '{' &&
           text_[pos_] != '}' && text_[pos_] != '"')
      ++pos_;
    return {Kind::text, std::string(text_.substr(start, pos_ - start))};
  }

  std::string_view text_;
  std::size_t pos_ = 0;
};

bool all_digits(std::string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The library folders a libraryfolders.vdf lists: the "path" values, and in
// the older layout the numbered values right inside "LibraryFolders".
std::vector<std::string> steam_library_paths(std::string_view text) {
  using Kind = KeyValuesReader::Kind;
  std::vector<std::string> paths;
  std::vector<std::string> blocks;  // the keys of the open blocks
  KeyValuesReader reader(text);
  for (;;) {
    auto key = reader.next();
    if (key.kind == Kind::end) break;
    if (key.kind == Kind::close) {
      if (!blocks.empty()) blocks.pop_back();
      continue;
    }
    if (key.kind == Kind::open) {
      blocks.emplace_back();
      continue;
    }
    auto value = reader.next();
    if (value.kind == Kind::end) break;
    if (value.kind == Kind::open) {
      blocks.push_back(std::move(key.text));
      continue;
    }
    if (value.kind == Kind::close) {
      if (!blocks.empty()) blocks.pop_back();
      continue;
    }
    const bool old_layout = blocks.size() == 1 && same_ignoring_case(blocks[0], "libraryfolders") &&
                            all_digits(key.text);
    if ((same_ignoring_case(key.text, "path") || old_layout) && value.text.starts_with(sep))
      paths.push_back(std::move(value.text));
  }
  return paths;
}

class PrefixSearch {
 public:
  explicit PrefixSearch(const WineEnvironment& environment)
      : home_(platform::without_trailing_separators(environment.home)) {}

  std::vector<WinePrefix> run(const std::string& wineprefix) {
    // Wine itself refuses a relative WINEPREFIX.
    if (wineprefix.starts_with(sep)) consider(wineprefix, "C: of " + tilde(wineprefix));
    // Without a home, nothing below would be in a home.
    if (home_.empty()) return std::move(found_);

    consider(at(".wine"), "C: of ~/.wine");
    each(at(".local/share/wineprefixes/"), "C: of wineprefix ");
    steam();
    each(at(".local/share/bottles/bottles/"), "C: of Bottles ");
    each(at(".var/app/com.usebottles.bottles/data/bottles/bottles/"), "C: of Bottles ");
    // Lutris often keeps the prefix inside the game's folder.
    const std::string games = at("Games/");
    for (const auto& name : subfolders(games)) {
      const std::string game = games + name + sep;
      if (consider(game, "C: of Lutris " + name)) continue;
      for (const auto& inner : subfolders(game)) consider(game + inner, "C: of Lutris " + name);
    }
    each(at(".PlayOnLinux/wineprefix/"), "C: of PlayOnLinux ");
    each(at(".cxoffice/"), "C: of CrossOver ");
    each(at("Library/Application Support/CrossOver/Bottles/"), "C: of CrossOver ");
    return std::move(found_);
  }

 private:
  std::string at(std::string_view relative) const {
    return platform::with_trailing_separator(home_) + std::string(relative);
  }

  // The path with the home shown as "~".
  std::string tilde(const std::string& path) const {
    std::string shown = platform::without_trailing_separators(path);
    if (home_.empty() || home_ == "/") return shown;
    if (shown == home_) return "~";
    if (shown.starts_with(home_) && shown[home_.size()] == sep)
      return "~" + shown.substr(home_.size());
    return shown;
  }

  // True when folder is a prefix, whether or not it was listed before.
  bool consider(const std::string& folder, std::string caption) {
    if (!is_prefix(folder)) return false;
    const std::string real = platform::real_path(folder);
    if (real.empty()) return false;
    if (seen_.insert(real).second) {
      const std::string prefix = platform::with_trailing_separator(real);
      found_.push_back({std::move(caption), prefix, prefix + "drive_c" + sep});
    }
    return true;
  }

  void each(const std::string& place, const std::string& caption) {
    for (const auto& name : subfolders(place)) consider(place + name, caption + name);
  }

  void steam() {
    std::vector<std::string> libraries{at(".steam/steam"), at(".local/share/Steam")};
    for (std::size_t i = 0; i < 2; ++i) {
      // Steam's own file: a link to it is followed.
      const auto vdf = platform::read_regular_file(
          platform::resolve(platform::with_trailing_separator(libraries[i]) +
                            "steamapps/libraryfolders.vdf"),
          1 << 20, platform::Links::followed);
      if (!vdf.ok()) continue;
      for (auto& path : steam_library_paths(vdf.text)) libraries.push_back(std::move(path));
    }
    std::set<std::string> seen;
    for (const auto& library : libraries) {
      const std::string real = platform::real_path(library);
      if (real.empty() || !seen.insert(real).second) continue;
      // Older Steam spelled it "SteamApps".
      const std::string compatdata =
          platform::resolve(platform::with_trailing_separator(real) + "steamapps/compatdata/");
      for (const auto& app : subfolders(compatdata))
        consider(compatdata + app + sep + "pfx", "C: of Steam " + app);
    }
  }

  std::string home_;
  std::set<std::string> seen_;  // real paths of the prefixes listed
  std::vector<WinePrefix> found_;
};

constexpr std::array<const char*, 6> simulator_folders{"aircraft", "gauges",  "sound",
                                                       "effects",  "modules", "flights"};

bool holds_simulator_folders(const std::vector<ListedEntry>& entries) {
  return std::all_of(simulator_folders.begin(), simulator_folders.end(), [&](const char* name) {
    return std::any_of(entries.begin(), entries.end(), [&](const ListedEntry& entry) {
      return entry.folder && same_ignoring_case(entry.name, name);
    });
  });
}

bool holds_file(const std::vector<ListedEntry>& entries, std::string_view name) {
  return std::any_of(entries.begin(), entries.end(), [&](const ListedEntry& entry) {
    return entry.file && same_ignoring_case(entry.name, name);
  });
}

// "fs2004", "fs2002", or nullptr when entries are not those of a root.
const char* simulator_tag(const std::vector<ListedEntry>& entries) {
  if (!holds_simulator_folders(entries)) return nullptr;
  if (holds_file(entries, "fs9.exe")) return "fs2004";
  if (holds_file(entries, "fs2002.exe")) return "fs2002";
  return nullptr;
}

// Prefixes hold thousands of folders: the search asks each folder once for
// its listing, and nothing more of its entries.
class RootSearch {
 public:
  void prefix(const WinePrefix& prefix) {
    const std::string& drive_c = prefix.drive_c;
    const auto top = platform::list_folder(drive_c);
    for (const auto& entry : top)
      if (walkable(entry) && starts_with_ignoring_case(entry.name, "Program Files")) {
        const std::string start = drive_c + entry.name + sep;
        below(start, platform::list_folder(start), depth);
      }
    below(drive_c, top, depth, true);
  }

  std::vector<SimulatorRoot> roots;

 private:
  // Enough for "Program Files (x86)/Microsoft Games/Flight Simulator 9" from
  // drive_c, and one level more below each "Program Files".
  static constexpr int depth = 3;

  // Hidden folders are left alone, and links: a link may lead anywhere, "z:"
  // to the whole file system.
  static bool walkable(const ListedEntry& entry) {
    return entry.folder && !entry.link && entry.name.front() != '.';
  }

  // Tests the folders below folder, levels deep, entries being its own.
  void below(const std::string& folder, const std::vector<ListedEntry>& entries, int levels,
             bool drive_c = false) {
    for (const auto& entry : entries) {
      if (!walkable(entry)) continue;
      // The system's own folders and the users' profiles hold no simulator;
      // "Program Files" had its own search.
      if (drive_c &&
          (same_ignoring_case(entry.name, "windows") || same_ignoring_case(entry.name, "users") ||
           starts_with_ignoring_case(entry.name, "Program Files")))
        continue;
      const std::string child = folder + entry.name + sep;
      const auto inside = platform::list_folder(child);
      if (const char* tag = simulator_tag(inside)) {
        // A root's own folders are not searched: nothing nests in them.
        const std::string real = platform::real_path(child);
        if (seen_.insert(real.empty() ? child : real).second) roots.push_back({tag, child});
      } else if (levels > 1) {
        below(child, inside, levels - 1);
      }
    }
  }

  std::set<std::string> seen_;
};

}  // namespace

WineEnvironment wine_environment_of_process() {
  return {platform::home_folder(), platform::environment_variable("WINEPREFIX")};
}

std::vector<WinePrefix> find_wine_prefixes(const WineEnvironment& environment) {
  return PrefixSearch(environment).run(environment.wineprefix);
}

std::vector<SimulatorRoot> find_simulator_roots(const std::vector<WinePrefix>& prefixes) {
  RootSearch search;
  for (const auto& prefix : prefixes) search.prefix(prefix);
  return std::move(search.roots);
}

std::string found_caption(const std::string& root, const std::vector<WinePrefix>& prefixes) {
  const std::string folder = platform::without_trailing_separators(root);
  for (const WinePrefix& prefix : prefixes)
    if (root.starts_with(prefix.drive_c))
      return folder.substr(folder.rfind(sep) + 1) + " (" + prefix.caption + ")";
  return folder;
}

bool is_simulator_root(std::string_view folder) {
  if (folder.empty()) return false;
  return holds_simulator_folders(platform::list_folder(platform::resolve(folder)));
}

}  // namespace wingstow

#pragma once

// Where the simulators live on Linux: inside Wine prefixes, nearly all of
// them in hidden folders of the home (~/.wine, Steam/Proton's compatdata,
// Bottles, Lutris, PlayOnLinux, CrossOver). Found once per start, without a
// deep walk of the home, and offered in the drives list and the chooser.

#include <string>
#include <string_view>
#include <vector>

namespace wingstow {

struct WinePrefix {
  std::string caption;  // what a person knows it by: "C: of ~/.wine", "C: of Steam 6100"
  std::string prefix;   // the prefix folder, with trailing separator
  std::string drive_c;  // its drive_c, with trailing separator
};

struct SimulatorRoot {
  std::string tag;   // "fs2002" or "fs2004"
  std::string root;  // as spelled on disk, with trailing separator
};

// Where to look: the home folder and the WINEPREFIX variable (empty when
// unset). Explicit so that tests use a fake home.
struct WineEnvironment {
  std::string home;
  std::string wineprefix;
};

WineEnvironment wine_environment_of_process();

// The prefixes (folders holding drive_c and system.reg) found in the usual
// places, each once, in a stable order. Their paths are real paths (links
// followed), so that ~/.steam/steam and the ~/.local/share/Steam it leads to
// give one prefix, and nothing is later written through a link.
std::vector<WinePrefix> find_wine_prefixes(const WineEnvironment& environment);

// The simulator roots inside the prefixes: folders that pass the chooser's
// six-folder test and hold fs9.exe (fs2004) or fs2002.exe (fs2002), letter
// case as found, under drive_c/Program Files*/ and drive_c/ to a small fixed
// depth.
std::vector<SimulatorRoot> find_simulator_roots(const std::vector<WinePrefix>& prefixes);

// How a find is shown: "Flight Simulator 9 (C: of ~/.wine)", the prefix
// that holds it named by its caption; the folder itself when no prefix does.
std::string found_caption(const std::string& root, const std::vector<WinePrefix>& prefixes);

// The chooser's test: folder (with or without trailing separator) holds the
// folders aircraft, gauges, sound, effects, modules and flights, letter case
// ignored.
bool is_simulator_root(std::string_view folder);

}  // namespace wingstow

#pragma once

// What an unzipped package brings, read as Install will find it: its
// airplane folders and the gauges it puts into the gauges folder, inner
// archives included.

#include <string>
#include <unordered_set>
#include <vector>

namespace wingstow {

// What a package brings besides its airplane folders, as Install takes it.
struct PackageContent {
  std::string folder;  // with its trailing separator
  struct Airplane {
    std::string source;  // the folder holding the aircraft.cfg, with separator
    std::string name;    // its folder name in the simulator
  };
  std::vector<Airplane> airplanes;
  // Lower-case names of the .gau and .cab files anywhere in the package,
  // inner archives included: Install puts them all into the gauges folder.
  std::unordered_set<std::string> gauges;
  // Lower-case names of its .dll files, likewise: Install puts them into the
  // modules folder, where no panel looks for a gauge.
  std::unordered_set<std::string> dlls;
  std::vector<std::string> inner_archives_with_airplanes;
};

// One walk through the package folder, and a look into its inner archives
// the way every part of the program opens archives; an empty content when
// the folder is gone.
PackageContent read_package(const std::string& package);

}  // namespace wingstow

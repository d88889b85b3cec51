#pragma once

// Liveries (repaints): a texture folder and the [fltsim.N] section that makes
// the simulator list it, for an airplane that is installed already. A
// package is one when it brings texture folders and their sections but not
// the airplane itself:
//   - texture folders, no aircraft.cfg, and the sections in a text file of
//     the package (a readme: the number may be a placeholder such as X);
//   - a folder with an aircraft.cfg and texture folders but none of the
//     model folders its sections name;
//   - an airplane folder of the name of one in the simulator, whose sections
//     that airplane lacks.
// Its folders go into the base airplane's folder and its sections into that
// airplane's aircraft.cfg (install/fltsim_sections.h), recorded beside the
// package's record (install/livery_record.h).

#include <optional>
#include <string>
#include <vector>

#include "base/feedback.h"
#include "install/fltsim_sections.h"
#include "install/package_install.h"
#include "settings/shared.h"

namespace wingstow {

struct Livery {
  std::vector<std::string> lines;  // the section below its header, as the package wrote it
  FltsimSection values;
  std::string source;                // the package folder holding its folders, with separator
  std::vector<std::string> folders;  // the folders it names that source holds (texture.X, ...)
};

struct LiveryPackage {
  std::vector<Livery> liveries;
  // Titles of the package's aircraft.cfg that are no livery of it: the
  // base airplane's own, which the file repeats.
  std::vector<std::string> base_titles;
  // The base is known (an airplane folder of the same name): its folder,
  // with separator; the folders are copied as the airplane's are.
  std::string known_base;
};

// An airplane folder of the simulator a livery can go into.
struct BaseAirplane {
  std::string folder;  // with separator
  std::string name;    // the folder's name
  std::string cfg;     // its aircraft.cfg
};

// Whether a folder of the package holding an aircraft.cfg is a livery for
// an airplane elsewhere: it has texture folders and none of the model
// folders its sections name. Its liveries when it is.
std::optional<LiveryPackage> livery_folder(const std::string& folder);

// The liveries of a package without aircraft.cfg: texture folders whose
// sections a text file of the package holds. Nothing when it has none.
std::optional<LiveryPackage> loose_liveries(const std::string& package_path);

// The liveries of a package folder in any of the forms; nothing for a
// package that brings its airplane.
std::optional<LiveryPackage> package_liveries(const std::string& package_path);

// The airplanes of the simulator the liveries fit: those whose sections
// repeat base_titles, else those with a section of the same sim= that hold
// the model folder the livery's model= names.
std::vector<BaseAirplane> base_candidates(const std::string& fs_path, const LiveryPackage& package);

// "livery for Jodel DR-1050": the mark of such a package in the file list.
std::string livery_mark(const std::string& fs_path, const LiveryPackage& package);

// Which airplane the package's liveries go into, when several fit, and the
// folders to choose from.
Question livery_base_question(const std::string& package_path);
std::vector<std::string> base_choices(const std::vector<BaseAirplane>& candidates);

// The choice that named means, given ahead (wingstow-cli's --into): an
// airplane folder by its path, or by its name in the aircraft folder,
// letter case ignored; nothing when it is none of them.
std::optional<std::string> choice_named(const std::vector<std::string>& choices,
                                        const std::string& named);

// What is told when no airplane of the simulator fits.
std::string no_base_text(const std::string& fs_path, const LiveryPackage& package);

// Installs the liveries of the package into their base airplane, asking
// which when several fit; with known_base set, the folders are there
// already and only the sections go in. Sets abort_flag when nothing is
// installed (no base, none chosen, every livery there already). Throws
// Error when the record cannot be written.
void install_liveries(Shared& shared, Feedback& ui, PackageInstall& install,
                      const std::string& package_path, const LiveryPackage& package, bool batch);

// The sections of an airplane folder of a package (source) that the airplane
// folder of that name in the simulator (target) lacks, each with its texture
// folder in source: the liveries the completed airplane gains.
std::optional<LiveryPackage> sections_missing_from(const std::string& source,
                                                   const std::string& target);

}  // namespace wingstow

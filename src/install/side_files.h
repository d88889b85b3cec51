#pragma once

// The side-file installers: each finds one kind of file anywhere in the
// package, copies it flat into a shared folder of the simulator, never
// overwriting, and lists it in the package's record. A file already there is
// listed only when another record lists it too (a shared file); otherwise it
// belongs to the simulator or the user and is neither touched nor listed. A
// failed copy goes into the package's install report and the next file
// follows.

#include <optional>
#include <string>
#include <string_view>

#include "base/feedback.h"
#include "base/find_file.h"
#include "install/package_install.h"
#include "settings/shared.h"

namespace wingstow {

struct SideFileKind {
  std::string_view mask;
  // Target below fs_path: a folder and, where there is one, its subfolder.
  std::string_view folder;
  std::string_view subfolder;
  // Attributes of the search; nothing leaves the finder's as they are.
  std::optional<TFileAttr> attributes;
};

extern const SideFileKind gauges_kind;
extern const SideFileKind cab_gauges_kind;
extern const SideFileKind sounds_kind;
extern const SideFileKind modules_kind;
extern const SideFileKind flights_kind;
extern const SideFileKind weather_kind;
extern const SideFileKind effects_kind;
extern const SideFileKind textures_kind;

// The pattern of the family: search the package for kind.mask and install
// what is found. skip_folder: files lying directly in this folder are left
// alone.
void install_side_files(Shared& shared, Feedback& ui, PackageInstall& install,
                        const std::string& package_path, const SideFileKind& kind,
                        const std::string& skip_folder = {});

// What the installers would find in a package, searched as they search it:
// the contents of a package without an airplane (a gauge pack, an effects
// pack, ...).
struct SideFileCount {
  std::size_t gauges = 0;  // gauges and gauge cabinets
  std::size_t sounds = 0;
  std::size_t modules = 0;
  std::size_t flights = 0;
  std::size_t weather = 0;
  std::size_t effects = 0;
  std::size_t textures = 0;  // the effects' textures
  std::size_t total() const {
    return gauges + sounds + modules + flights + weather + effects + textures;
  }
};
// The finder is left as the airplane step leaves it.
SideFileCount count_side_files(Shared& shared, const std::string& package_path);

// "3 gauges, 12 effects": what a package without airplane brings.
std::string side_files_text(const SideFileCount& count);

void install_gauges(Shared& shared, Feedback& ui, PackageInstall& install,
                    const std::string& package_path);
void install_cab_gauges(Shared& shared, Feedback& ui, PackageInstall& install,
                        const std::string& package_path);
// Sound files of the airplane's own sound folder (the one folder holding a
// "sound.cfg") travel with the airplane and are left out.
void install_sounds(Shared& shared, Feedback& ui, PackageInstall& install,
                    const std::string& package_path);
void install_modules(Shared& shared, Feedback& ui, PackageInstall& install,
                     const std::string& package_path);
void install_flights(Shared& shared, Feedback& ui, PackageInstall& install,
                     const std::string& package_path);
void install_weather(Shared& shared, Feedback& ui, PackageInstall& install,
                     const std::string& package_path);
// Effects, and the textures of the effects folder unless that folder is an
// airplane folder itself.
void install_effects(Shared& shared, Feedback& ui, PackageInstall& install,
                     const std::string& package_path);

}  // namespace wingstow

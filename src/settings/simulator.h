#pragma once

// The simulator switch: working folders, the simulator's root folder and the
// displays that follow a change of simulator or of disk content.

#include <cstdint>
#include <string>
#include <string_view>

#include "base/ui.h"
#include "settings/shared.h"

namespace wingstow {

inline constexpr std::string_view settings_section = "main_path";
inline constexpr std::string_view settings_default = "valeur";
inline constexpr std::string_view key_fs_start = "fs_start";

// Creates the working folders, fills the paths of the simulator named by tag
// ("fs2002" or "fs2004") and either makes the window ready or asks for the
// simulator's folder with the chooser. A folder that the settings file cannot
// hold as it is (a line break in its name, ...) is refused with a warning and
// the setting left as it was. Throws Error when a working folder cannot be
// created or the settings file cannot be written.
void setup_simulator(Shared& shared, Ui& ui, std::string_view tag);

// What a radio button does once its caption and colour are set: remember the
// simulator, set it up, and store it as the one to start with.
void select_simulator(Shared& shared, Ui& ui, std::string_view tag);

// "Set main FS path": sets up the simulator of the checked radio button
// again; does nothing while no simulator has been selected.
void set_main_fs_path(Shared& shared, Ui& ui);

// Free kibibytes on the file system that holds the simulator folder; 0 when
// it cannot be asked.
std::int64_t free_space_kb(const Shared& shared);

// Kibibytes shown as whole mebibytes: "1023 Mb".
std::string size_text(std::int64_t kib);

// The text of Edit2: size_text(free_space_kb()).
std::string free_space_text(const Shared& shared);

// Rebuilds the catalogue ListBox2 from the records lying in unzip_path.
void refresh_catalogue(Shared& shared, Ui& ui);

}  // namespace wingstow

#pragma once

// The simulator switch of the window: working folders, the simulator's root
// folder chosen or confirmed, and the controls that follow.

#include <string_view>

#include "base/ui.h"
#include "settings/shared.h"

namespace wingstow {

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

}  // namespace wingstow

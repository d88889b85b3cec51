#pragma once

// "Delete from FS": removes the airplanes checked in the catalogue, record
// by record, line by line, and the records of those removed completely.

#include <optional>
#include <string>
#include <string_view>

#include "settings/shared.h"
#include "settings/ui.h"

namespace wingstow {

// The command. Every failure is written to the record's error log (the
// record's path + ".err"); the first of a record is shown in a box, the
// others on the status line. A record with a failure stays; a line whose
// path is gone already counts as removed, so an interrupted run can be run
// again to its end. A file that another record lists stays until the last
// record listing it goes. A folder that no trash takes is deleted for good
// only when the user agrees, asked once per run.
// Throws Error when a record cannot be read or its log cannot be written,
// after putting the window back as it was.
void SpeedButton8Click(Shared& shared, Ui& ui);

// The question before a removal: "Are you really sure ? ", then a line naming
// the checked airplanes and what becomes of their files.
std::string removal_question(Ui& ui, std::string_view tag);

// What a record line may remove: the path of the entry it names, with its
// folder's links and "." and ".." resolved, when that entry lies below the
// simulator folder fs_path, strictly below one of the folders the installers
// write to (aircraft, gauges, sound, modules, flights/myflts, effects,
// effects/texture; letter case ignored), and is none of the standard
// folders. Nothing for any other line: records are plain text files that
// anyone can drop into the unzip folder.
std::optional<std::string> removable_path(std::string_view fs_path, std::string_view line);

}  // namespace wingstow

#pragma once

// "Delete from FS": removes the airplanes checked in the catalogue, record
// by record, line by line, and the records of those removed completely.

#include <optional>
#include <string>
#include <string_view>

#include "settings/shared.h"
#include "settings/ui.h"

namespace wingstow {

// The command. Each failure is shown at once and written to the record's
// error log (the record's path + ".err"); a record with a failure stays.
// Throws Error when a record cannot be read or its log cannot be written,
// after putting the window back as it was.
void SpeedButton8Click(Shared& shared, Ui& ui);

// What a record line may remove: the path of the entry it names, with its
// folder's links and "." and ".." resolved, when that entry lies below the
// simulator folder fs_path and is neither fs_path nor one of its standard
// subfolders (letter case ignored). Nothing for any other line: records are
// plain text files that anyone can drop into the unzip folder.
std::optional<std::string> removable_path(std::string_view fs_path, std::string_view line);

}  // namespace wingstow

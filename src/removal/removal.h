#pragma once

// "Delete from FS": removes installed packages, record by record, line by
// line, and the records of those removed completely. The window removes the
// airplanes checked in the catalogue, wingstow-cli the packages it is given.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/feedback.h"
#include "settings/shared.h"

namespace wingstow {

// Told once for each record the run reached, by its index in the records
// given: removed is false when something listed stayed, and the record with it.
using RemovalDone = std::function<void(std::size_t index, bool removed)>;

// The command over records (full paths in unzip_path), after the question
// removal_question() asks; false when the answer was not Yes and nothing was
// done. Every failure is written to the record's error log (the record's
// path + ".err"); the first of a record is shown in a box, the others on the
// status line. A record with a failure stays; a line whose path is gone
// already counts as removed, so an interrupted run can be run again to its
// end. A file that another record lists stays until the last record listing
// it goes. A folder that no trash takes is deleted for good only when the
// user agrees, asked once per run.
// Throws Error when a record cannot be read or its log cannot be written,
// after putting the window back as it was.
bool remove_records(Shared& shared, Feedback& ui, const std::vector<std::string>& records,
                    const RemovalDone& done = {});

// The records of other packages whose liveries lie in the airplane folders
// the records list: they go with them.
std::vector<std::string> livery_dependents(const std::vector<std::string>& records);

// The question before a removal: "Are you really sure ? ", then a line naming
// the airplanes of the records and what becomes of their files.
std::string removal_question(const std::vector<std::string>& records, std::string_view tag);
Question removal_confirmation(const std::vector<std::string>& records, std::string_view tag);

// The question when a folder cannot go to the trash, asked once per run.
Question delete_for_good_question(const std::string& folder);

// That question when the run may meet it, known before anything is removed:
// a folder the records list lies on another file system than the user's
// trash, which may then refuse it. A record that cannot be read is left to
// the removal, which reports it.
std::optional<Question> delete_for_good_ahead(const Shared& shared,
                                              const std::vector<std::string>& records);

// What a record line may remove: the path of the entry it names, with its
// folder's links and "." and ".." resolved, when that entry lies below the
// simulator folder fs_path, strictly below one of the folders the installers
// write to (aircraft, gauges, sound, modules, flights/myflts, effects,
// effects/texture; letter case ignored), and is none of the standard
// folders. Nothing for any other line: records are plain text files that
// anyone can drop into the unzip folder.
std::optional<std::string> removable_path(std::string_view fs_path, std::string_view line);

}  // namespace wingstow

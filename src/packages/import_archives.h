#pragma once

// Archives handed to the program from outside (its command line, a second
// start, a drop on the window) join the download folder of the selected
// simulator.

#include <functional>
#include <string>
#include <vector>

#include "base/feedback.h"

namespace wingstow {

struct ImportOutcome {
  // The archives' paths in the download folder, as they lie on disk: copied
  // now, or already there with the same content.
  std::vector<std::string> arrived;
  std::size_t copied = 0;
  std::vector<std::string> failures;  // "path: reason", one per archive refused
};

// Copies each archive into download_folder: never moved, never over an
// existing file. A name taken by a file of the same content counts as
// arrived; a name taken by another file, a name holding a control character
// (see name_refusal), a missing file, a folder, a file that is not a ZIP
// archive or a failed copy is a failure naming its path, control bytes
// written out.
// between_chunks runs during long copies, so that the window stays live.
ImportOutcome import_archives(const std::string& download_folder,
                              const std::vector<std::string>& archives,
                              const std::function<void()>& between_chunks = {});

// The status line after an import, and one warning listing the failures.
void report_import(Feedback& ui, const std::string& download_folder, const ImportOutcome& outcome);

// Said when archives arrive before a simulator is chosen.
inline constexpr const char* choose_simulator_first =
    "Choose the simulator first (FS 2002 or FS 2004, and its folder): the archives are then "
    "copied into its download folder.";

}  // namespace wingstow

#pragma once

#include <string>

#include "base/ui.h"
#include "settings/shared.h"

namespace wingstow {

// What a click on an entry of the file list means: Unzip applies to a ZIP
// package of the download folder, Install to a package folder of the unzip
// folder (whose size, pictures and checks are then shown), any folder shows
// its size, anything else clears the display.
void LsFilelistView_utilClick(Shared& shared, Ui& ui);

// "12 Mb": the highlighted folders' sizes, each cut to whole kibibytes.
std::string selection_size_text(Ui& ui);

}  // namespace wingstow

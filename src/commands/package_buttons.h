#pragma once

// The file list's package commands: Unzip and its Cancel over the highlighted
// archives of the download folder, Install to FS over the highlighted package
// folders of the unzip folder. The engine commands they run take their
// archives and packages as arguments, as wingstow-cli gives them.

#include "base/ui.h"
#include "packages/zip_master.h"
#include "settings/shared.h"

namespace wingstow {

// Unzip: each archive unzipped loses its highlight, the others keep it for
// another try.
void SpeedButton5Click(Shared& shared, Ui& ui, ZipMaster& zip);
// Cancel of a running Unzip.
void SpeedButton10Click(Shared& shared, Ui& ui, ZipMaster& zip);

// Install to FS: each entry loses its highlight as it is done, and the last
// one is highlighted again in the list read afresh.
void SpeedButton7Click(Shared& shared, Ui& ui, ZipMaster& zip);

}  // namespace wingstow

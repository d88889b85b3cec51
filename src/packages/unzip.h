#pragma once

// The Unzip command: every highlighted archive of the download folder goes
// into a package folder of its own under the unzip folder, with progress in
// ProgressBar1 and a Cancel button that stays live.

#include <cstdint>
#include <string>

#include "packages/zip_master.h"
#include "settings/shared.h"
#include "settings/ui.h"

namespace wingstow {

// "spitfire.mk2.zip" -> "spitfire_mk2".
std::string package_name_for_archive(const std::string& archive_path);

// Throws Error "Directory could not be created !" when a package folder
// cannot be made; the window is restored first. A package folder whose
// extraction fails as a whole (cancelled, not an archive, disk full) is
// removed again, and its archive stays highlighted, so that the next Unzip
// extracts it afresh.
void SpeedButton5Click(Shared& shared, Ui& ui, ZipMaster& zip);
void SpeedButton10Click(Shared& shared, Ui& ui, ZipMaster& zip);

// Progress events of the archive component, shown in ProgressBar1.
void ZipMaster1Progress(Shared& shared, Ui& ui, int kind, std::uint64_t size);

// An entry with a wrong checksum is never extracted.
void ZipMaster1CRC32Error(bool& do_extract);

}  // namespace wingstow

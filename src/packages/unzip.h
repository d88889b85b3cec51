#pragma once

// The Unzip command: each archive goes into a package folder of its own
// under the unzip folder, with progress in ProgressBar1 and a Cancel button
// that stays live. The window unzips its highlighted archives
// (commands/package_buttons.h), wingstow-cli the archives it is given.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/feedback.h"
#include "packages/zip_master.h"
#include "settings/shared.h"

namespace wingstow {

// "spitfire.mk2.zip" -> "spitfire_mk2", "Pack.7Z" -> "Pack".
std::string package_name_for_archive(const std::string& archive_path);

// Why an archive or package folder of this name is not taken: a control
// character (a line break above all) would pass into the package folder's
// name, its record's lines and the user's terminal. Empty when it is taken.
std::string name_refusal(std::string_view name);

// Whether the archive's package folder lies complete in unzip_path; one that
// an interrupted Unzip left is not, and the next Unzip extracts it again.
bool unzipped_already(const Shared& shared, const std::string& archive_path);

// Whether a package folder is what an interrupted Unzip left: it still holds
// the mark an extraction keeps there until it is done.
bool unzip_interrupted(const std::string& package_folder);

// What Install says of such a folder instead of taking part of a package
// for the whole.
std::string unzip_interrupted_text(const std::string& package_folder);

// What became of one archive of a run.
enum class UnzipResult { unzipped, already_unzipped, failed, cancelled };

// Told once for each archive the run reached, by its index in the archives
// given; the archives after a cancel are not reached.
using UnzipDone = std::function<void(std::size_t index, UnzipResult result)>;

// Unzips the archives (full paths) into unzip_path, in order, and ends with a
// count on the status line. An archive whose name name_refusal() refuses is
// named in a warning and fails, with no package folder made. Throws Error "Directory could not be
// created !" when a package folder cannot be made; the window is restored first. A package folder
// whose extraction fails as a whole (cancelled, not an archive, disk full) is removed again, so
// that the next Unzip extracts it afresh.
void unzip_archives(Shared& shared, Feedback& ui, ZipMaster& zip,
                    const std::vector<std::string>& archives, const UnzipDone& done = {});

// Progress events of the archive component, shown in ProgressBar1.
void ZipMaster1Progress(Shared& shared, Feedback& ui, int kind, std::uint64_t size);

// An entry with a wrong checksum is never extracted.
void ZipMaster1CRC32Error(bool& do_extract);

}  // namespace wingstow

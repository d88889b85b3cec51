#pragma once

// "Install to FS": installs the highlighted package folders of the unzip
// folder, package by package, step by step, skipping the rest of a package
// as soon as a step refuses it.

#include <string>

#include "packages/zip_master.h"
#include "settings/shared.h"
#include "settings/ui.h"

namespace wingstow {

void SpeedButton7Click(Shared& shared, Ui& ui, ZipMaster& zip);

// The one message of a package whose install was not whole: the first failed
// copy in the usual words, how many files failed with the first few paths and
// reasons, and the airplanes refused.
std::string install_problems_text(const InstallReport& report, const std::string& package_name);

// Shows that message when the package's install report holds anything, and
// writes every failure into the log beside the package's record. stopped: the
// error that ended the install, told in the same message.
void report_install_problems(Shared& shared, Ui& ui, const std::string& package_path,
                             const std::string& stopped = {});

// Warns when the highlighted packages need more room than the simulator's
// file system has left; the install goes on all the same.
void check_free_space(Shared& shared, Ui& ui);

// Sets abort_flag when the package brings its own installer program.
void check_self_installer(Shared& shared, Ui& ui, const std::string& package_path);

// Extracts the ZIP files found in the package into its "file_zip" folder.
// Throws Error "Impossible de créer le directory" when that folder cannot be
// made.
void extract_inner_archives(Shared& shared, ZipMaster& zip, const std::string& package_path);

}  // namespace wingstow

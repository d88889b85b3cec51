#pragma once

// "Install to FS": installs package folders of the unzip folder, package by
// package, step by step, skipping the rest of a package as soon as a step
// refuses it. The window installs its highlighted entries, wingstow-cli the
// packages it is given.

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "base/feedback.h"
#include "install/package_install.h"
#include "packages/zip_master.h"
#include "settings/shared.h"

namespace wingstow {

// What became of one package of a run: everything copied; installed in
// part (the package's message tells what failed or was refused); or nothing
// done (no package folder, its own installer, no airplane, already
// installed, or the user said no).
enum class InstallResult { installed, incomplete, not_installed };

// Told once for each package the run reached, by its index in the packages
// given; a record that cannot be written ends the run there.
using InstallDone = std::function<void(std::size_t index, InstallResult result)>;

// Installs the packages (full paths of package folders) into fs_path, warns
// first when they need more room than is left, and ends with the catalogue
// read again and the end on the status line. A folder whose name
// name_refusal() refuses is named in a warning and not installed.
void install_packages(Shared& shared, Feedback& ui, ZipMaster& zip,
                      const std::vector<std::string>& packages, const InstallDone& done = {});

// The questions installing a package (a path as install_packages() gets it)
// would ask, known before anything is done, so that a front end can ask
// them first. archive: the archive the package is still to be unzipped from,
// whose table of contents then stands for the folder; empty when the package
// folder is there. Inner archives count as Install extracts them.
std::vector<Question> install_questions(const std::string& package_path,
                                        const std::string& archive = {},
                                        const std::string& fs_path = {});

// The one message of a package whose install was not whole: the first failed
// copy in the usual words, how many files failed with the first few paths and
// reasons, and the airplanes refused.
std::string install_problems_text(const InstallReport& report, const std::string& package_name);

// Shows that message when the package's install report holds anything, and
// writes every failure into the log beside the package's record. stopped: the
// error that ended the install, told in the same message.
void report_install_problems(Shared& shared, Feedback& ui, const InstallReport& report,
                             const std::string& package_path, const std::string& stopped = {});

// Warns when the packages need more room than the simulator's file system
// has left; the install goes on all the same.
void check_free_space(Shared& shared, Feedback& ui, const std::vector<std::string>& packages);

// Sets abort_flag when the package brings its own installer program.
void check_self_installer(Shared& shared, Feedback& ui, const std::string& package_path);

// Extracts the ZIP files found in the package into its "file_zip" folder.
// Throws Error "Impossible de créer le directory" when that folder cannot be
// made.
void extract_inner_archives(Shared& shared, ZipMaster& zip, const std::string& package_path);

}  // namespace wingstow

#pragma once

// The airplane check: why an airplane would have a blank panel or be missing
// from the simulator. It reads an airplane's aircraft.cfg, panel.cfg and
// sound.cfg and looks up what they name where the simulator looks for it,
// letter case ignored, never outside the simulator or the airplane. It
// changes nothing; its findings are warnings.

#include <optional>
#include <string>
#include <vector>

#include "check/check_report.h"

namespace wingstow {

// One airplane folder. fs_path: the simulator root, with its trailing
// separator. package: for an airplane of an unzipped package before
// install, that package's folder: the gauges it brings count as found, and
// so do alias targets among its airplanes. Titles are compared with every
// other airplane of the simulator's aircraft folder (and of the package).
CheckReport check_airplane(const std::string& airplane, const std::string& fs_path,
                           const std::string& package = {});

// Every airplane of an unzipped package folder, found as the installer finds
// them (every folder holding an aircraft.cfg). An airplane inside an inner
// archive is only named in a note: Install extracts it first.
CheckReport check_package_folder(const std::string& package, const std::string& fs_path);

// The airplanes an installed package brought: its record's lines below the
// simulator's aircraft folder. Throws Error when the record cannot be read.
CheckReport check_record(const std::string& record, const std::string& fs_path);

// A folder of the file list: an airplane of the simulator's aircraft folder,
// or else a package folder.
CheckReport check_folder(const std::string& folder, const std::string& fs_path);

// The command line's: argument is an unzipped package folder given by its
// path, or an installed package of records by its record name (with or
// without ".txt", see record_named()), or failing that a package folder of
// the unzip folder; both as install and remove take them. Throws Error when
// it is none of them, or names more than one.
CheckReport check_package(const std::string& argument, const std::string& fs_path,
                          const std::string& unzip_path, const std::vector<std::string>& records);
// The same over the records list_records() finds in unzip_path.
CheckReport check_package(const std::string& argument, const std::string& fs_path,
                          const std::string& unzip_path);

// The check of a package folder before Install, and the question to ask
// about it: nothing when the check finds nothing, or when Install refuses
// the package anyway (installed already, or bringing its own installer).
struct InstallCheck {
  CheckReport report;
  std::optional<Question> question;
};
InstallCheck check_before_install(const std::string& package, const std::string& fs_path);

}  // namespace wingstow

#pragma once

// The airplane check: why an airplane would have a blank panel or be missing
// from the simulator. It reads an airplane's aircraft.cfg, panel.cfg and
// sound.cfg and looks up what they name where the simulator looks for it,
// letter case ignored, never outside the simulator or the airplane. It
// changes nothing; its findings are warnings.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace wingstow {

enum class Problem {
  missing_folder,        // a model, panel, sound or texture folder aircraft.cfg names
  missing_air_file,      // the .air file of sim=
  missing_title,         // a [fltsim.N] without title=
  duplicate_title,       // the simulator would show only one of the two
  unread_section,        // a [fltsim.N] after a gap in the numbers, never read
  missing_alias_target,  // panel.cfg or sound.cfg points to an airplane that is not there
  missing_gauge,         // in the panel folder, the gauges folder and the package alike
  missing_cfg,           // aircraft.cfg, or panel.cfg / sound.cfg of a folder that holds files
  missing_airplane,      // an installed airplane folder that is gone
  unsafe_name,           // ".." or an absolute path: not looked up
  unreadable,            // a file that could not be read
};

// "missing_folder", ... as the command line's JSON names them.
std::string_view problem_name(Problem problem);

struct Finding {
  Problem problem = Problem::missing_folder;
  std::string airplane;                // the airplane folder, with its trailing separator
  std::string file;                    // the file it comes from, a full path
  int line = 0;                        // 1-based; 0 for the file or section as a whole
  std::string section;                 // without brackets; empty for the file as a whole
  std::string missing;                 // what is missing, in a few words
  std::vector<std::string> looked_in;  // where the simulator would have looked
};

struct CheckReport {
  std::string subject;                 // the folder checked, or the installed package's name
  std::vector<std::string> airplanes;  // the airplane folders checked
  std::vector<Finding> findings;
  std::vector<std::string> notes;  // what was not checked, and why; never a fault
};

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
// path, or an installed package by its record name (with or without
// ".txt"), or failing that a package folder of the unzip folder. Throws
// Error when it is none of them.
CheckReport check_package(const std::string& argument, const std::string& fs_path,
                          const std::string& unzip_path);

// "N problem(s) found", or "No problem found".
std::string problems_found_text(std::size_t count);

// One finding on a line of its own (the file relative to the airplane),
// then the places looked in, one a line.
std::string finding_text(const Finding& finding);

// The whole report as the window shows it and the command line prints it.
std::string report_text(const CheckReport& report);

}  // namespace wingstow

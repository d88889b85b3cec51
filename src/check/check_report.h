#pragma once

// What the airplane check finds, as values, and the report the window shows
// and the command line prints.

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

// The spelling on disk, for the places a finding names.
std::string shown_path(const std::string& path);

// "N problem(s) found", or "No problem found".
std::string problems_found_text(std::size_t count);

// One finding on a line of its own (the file relative to the airplane),
// then the places looked in, one a line.
std::string finding_text(const Finding& finding);

// The whole report as the window shows it and the command line prints it.
std::string report_text(const CheckReport& report);

}  // namespace wingstow

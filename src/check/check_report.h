#pragma once

// What the airplane check finds, as values, and the report the window shows
// and the command line prints: findings grouped by what is missing, each
// with what it means for the airplane and what to do.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/feedback.h"

namespace wingstow {

enum class Problem {
  missing_folder,        // a model, panel, sound or texture folder aircraft.cfg names
  missing_air_file,      // the .air file of sim=
  missing_title,         // a [fltsim.N] without title=
  duplicate_title,       // the simulator would show only one of the two
  unread_section,        // a [fltsim.N] after a gap in the numbers, never read
  missing_alias_target,  // panel.cfg or sound.cfg points to an airplane that is not there
  missing_gauge,         // in the panel folder, the gauges folder and the package alike
  gauge_in_modules,      // only a .dll in the modules folder (or bound for it) has its name
  missing_cfg,           // aircraft.cfg, or panel.cfg / sound.cfg of a folder that holds files
  missing_airplane,      // an installed airplane folder that is gone
  unsafe_name,           // ".." or an absolute path: not looked up
  unreadable,            // a file that could not be read
};

// "missing_folder", ... as the command line's JSON names them.
std::string_view problem_name(Problem problem);

// The heading a finding is told under: "Missing gauges", ...; the report
// gives the groups in the order of the Problem values.
std::string_view problem_group(Problem problem);

struct Finding {
  Problem problem = Problem::missing_folder;
  std::string airplane;                // the airplane folder, with its trailing separator
  std::string file;                    // the file it comes from, a full path
  int line = 0;                        // 1-based; 0 for the file or section as a whole
  std::string section;                 // without brackets; empty for the file as a whole
  std::string missing;                 // what is missing, in a few words
  std::vector<std::string> looked_in;  // every path the simulator would have tried
  std::string meaning;                 // what it does to the airplane, and what to do
  // The folders looked in, each once (a gauge is tried under several names in
  // each); empty when looked_in names the one place.
  std::vector<std::string> places;
  std::string tried_as;  // for places: the names tried in each, "X.gau, .dll, ..."
};

struct CheckReport {
  std::string subject;    // the folder checked, or the installed package's name
  std::string simulator;  // its root as on disk, with separator; empty when none is chosen
  std::string package;    // a package folder checked before install, with separator
  std::vector<std::string> airplanes;  // the airplane folders checked
  std::vector<Finding> findings;
  std::vector<std::string> notes;  // what was not checked, and why; never a fault
};

// The spelling on disk, for the places a finding names.
std::string shown_path(const std::string& path);

// A path as the report shows it: below the simulator folder relative to it,
// below a package's unzip folder relative to that (so it starts with the
// package's name), otherwise whole. Without trailing separator.
std::string relative_path(const CheckReport& report, const std::string& path);

// "N problem(s) found", or "No problem found".
std::string problems_found_text(std::size_t count);

// The finding's one line: the file relative as above, its line and
// section, what is missing.
std::string finding_line(const CheckReport& report, const Finding& finding);

// That line, then what it means and what to do, then where it was looked
// for, each place once.
std::string finding_text(const CheckReport& report, const Finding& finding);

// The findings in the report's order: by group, then as found.
std::vector<const Finding*> grouped_findings(const CheckReport& report);

// The whole report as the window shows it and the command line prints it.
std::string report_text(const CheckReport& report);

// The question Install to FS asks before installing a package with
// findings; its topic.
inline constexpr std::string_view check_question_topic = "airplane check";

// That question about a package folder whose check found something.
Question install_question(const CheckReport& report, const std::string& package);

}  // namespace wingstow

#pragma once

// A dry run of Install: the install's own steps decide what they would copy,
// list and leave alone, and note it here instead of writing anything.

#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

#include "install/ownership.h"
#include "settings/shared.h"

namespace wingstow {

struct PlannedCopy {
  std::string source;
  std::string target;
  std::int64_t bytes = 0;
};

// A target that is there already and is not copied.
struct KeptTarget {
  std::string target;
  // The records listing it (it is shared: listed, not copied); empty: the
  // simulator's or the user's, left alone and not recorded.
  std::vector<std::string> owners;
  bool folder = false;  // an airplane folder completed with what it lacks
};

// A section a livery adds to an airplane's aircraft.cfg.
struct PlannedSection {
  std::string cfg;
  int number = 0;
  std::string title;
  std::vector<std::string> lines;  // below the header
};

struct InstallPlan {
  std::string package;             // the package folder
  std::string record;              // its record's path
  bool resumed = false;            // an unfinished install of it is completed
  bool refused = false;            // the install would stop before copying anything
  std::vector<std::string> lines;  // the record as the install leaves it
  std::vector<PlannedCopy> copies;
  std::vector<KeptTarget> kept;
  std::vector<PlannedSection> sections;
  std::vector<std::string> refusals;             // airplanes that would not be installed, and why
  std::vector<InstallReport::Failure> failures;  // targets that could not be written
  std::vector<std::string> notes;                // what the install would say or ask
  std::int64_t bytes_needed = 0;
  std::int64_t bytes_free = 0;
  std::unordered_set<std::string> planned_targets;  // letter case folded

  // For the steps.
  void copy(const std::string& source, const std::string& target);
  void keep(const std::string& target, std::vector<std::string> owners, bool folder = false);
};

// Notes a file target that a step does not copy: one already there, shared
// (planned list_only) or foreign (skipped though the package did not list it
// before); a second file of the same name in the package is no news. below:
// the install folder it lies in, above which no line counts.
void note_kept(InstallPlan& plan, const RecordIndex& others, const std::string& target,
               const std::string& below, FilePlan planned, bool listed_before);

// The text for a kept target's owners.
std::string kept_owner_text(const KeptTarget& kept);

// Plans the install of one unzipped package folder (without trailing
// separator) into shared's simulator, as Install with Multi select would
// run it: questions are taken as answered yes and noted. Nothing on disk
// changes. Inner archives are not extracted: the plan notes them. into: the
// airplane folder a livery goes into when several fit.
InstallPlan plan_install(Shared& shared, const std::string& package_folder,
                         const std::string& into = {});

// The plan as text, one line per item, for a terminal.
std::vector<std::string> plan_text(const InstallPlan& plan);

}  // namespace wingstow

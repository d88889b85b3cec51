#pragma once

// Who owns a target in the simulator, and the record writes of one install
// step. A record lists only what its install brought, plus existing targets
// that another record already lists (shared files, spared until their last
// owner goes). Lines are written before the copies they describe, in one
// record write per step, and lines whose copy did not happen are dropped
// when the step ends.

#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "install/package_install.h"
#include "platform/files.h"
#include "settings/record_index.h"
#include "settings/shared.h"

namespace wingstow {

enum class TargetState {
  free,     // nothing there: copy it and list it
  shared,   // there, and another record lists it: list it, copy nothing
  foreign,  // there, and no record lists it: the simulator's or the user's; leave it be
};

// Judged on the disk without following a link at target.
TargetState target_state(const RecordIndex& others, const std::string& target);

// True when target itself is a symbolic link (nothing is written through one).
bool is_link(const std::string& target);

class StepRecord {
 public:
  // The record as it stands; an absent record starts empty when
  // must_exist is false, and is an Error otherwise.
  StepRecord(std::string record, bool must_exist);
  // A dry run's record: it starts from and writes to lines in memory.
  explicit StepRecord(std::vector<std::string>* memory);

  // Whether the record lists line already (letter case ignored).
  bool lists(std::string_view line) const;
  // Whether this step added line (rather than an earlier, interrupted run).
  bool added(std::string_view line) const;
  // Adds line unless the record lists it already; true when added.
  bool add(const std::string& line);
  // Takes back a line added by this step.
  void drop(const std::string& line);

  // Writes the record with the lines added so far, when they changed it or
  // when always is set (a new record is written even when empty). Throws
  // Error.
  void write(bool always = false);
  // Writes again when lines were dropped since the last write; a record
  // that cannot be written then keeps its extra lines.
  void finish();

 private:
  std::string record_;
  std::vector<std::string>* memory_ = nullptr;
  std::vector<std::string> lines_;
  std::unordered_set<std::string> keys_;
  std::unordered_set<std::string> added_;
  bool changed_ = false;
};

// What a step does with a file target: copy it and list it, list it only,
// or leave it be. Lines an earlier, interrupted run of this install listed
// are this package's own: copied when still missing. A target that is there
// is shared when another record lists it or a folder above it (below
// below, the install folder it goes into): it stays while they do.
enum class FilePlan { copy, list_only, skip };
FilePlan plan_file(StepRecord& step, const RecordIndex& others, const std::string& target,
                   const std::string& below);
// The same for the file name of an open folder (target is its path): the
// folder answers whether something is there.
FilePlan plan_file(StepRecord& step, const RecordIndex& others, const std::string& target,
                   const std::string& below, platform::Folder& folder, std::string_view name);

// Removes the temporary files that a killed copy left in folder (those of
// processes that no longer run), so that a resumed install leaves none.
void remove_stale_temporaries(const std::string& folder);

// The records other than the package's own, read once per package (the
// install command forgets them when the next package starts).
const RecordIndex& other_records(Shared& shared, PackageInstall& install);

// The step record of an install, or of its dry run.
StepRecord step_record_of(Shared& shared, PackageInstall& install, bool must_exist);

// Writes the step's record (a new one even when empty) with its install
// marked as begun, so that an install killed from here on is resumed; when
// the write fails, an install that had not begun before is unmarked again.
// resumed: the record was there before. Throws Error.
void begin_install(StepRecord& step, const std::string& record, bool resumed);

// Adds a copy failure to the package's report.
void report_copy_failure(InstallReport& report, const std::string& target, int error);

}  // namespace wingstow

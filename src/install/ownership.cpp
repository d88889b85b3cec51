#include "install/ownership.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include <algorithm>
#include <memory>
#include <utility>

#include "install/plan.h"
#include "platform/ascii_case.h"
#include "platform/atomic_file.h"
#include "platform/error.h"
#include "platform/files.h"
#include "settings/record.h"

namespace wingstow {
namespace {

bool present(const std::string& target) {
  const std::string real = platform::without_trailing_separators(platform::resolve(target));
  struct stat st;
  return ::lstat(real.c_str(), &st) == 0;
}

}  // namespace

bool is_link(const std::string& target) {
  const std::string real = platform::without_trailing_separators(platform::resolve(target));
  struct stat st;
  return ::lstat(real.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

TargetState target_state(const RecordIndex& others, const std::string& target) {
  if (!present(target)) return TargetState::free;
  return others.listed(target) ? TargetState::shared : TargetState::foreign;
}

StepRecord::StepRecord(std::string record, bool must_exist) : record_(std::move(record)) {
  if (must_exist || platform::exists(record_)) lines_ = record_lines(record_);
  for (const auto& line : lines_) keys_.insert(ascii_lower(line));
}

StepRecord::StepRecord(std::vector<std::string>* memory) : memory_(memory), lines_(*memory) {
  for (const auto& line : lines_) keys_.insert(ascii_lower(line));
}

StepRecord step_record_of(Shared& shared, PackageInstall& install, bool must_exist) {
  if (install.dry_run) return StepRecord(&install.dry_run->lines);
  return StepRecord(record_path(shared), must_exist);
}

bool StepRecord::lists(std::string_view line) const { return keys_.count(ascii_lower(line)) != 0; }

bool StepRecord::added(std::string_view line) const { return added_.count(ascii_lower(line)) != 0; }

bool StepRecord::add(const std::string& line) {
  if (!keys_.insert(ascii_lower(line)).second) return false;
  added_.insert(ascii_lower(line));
  lines_.push_back(line);
  changed_ = true;
  return true;
}

void StepRecord::drop(const std::string& line) {
  const auto at = std::find(lines_.rbegin(), lines_.rend(), line);
  if (at == lines_.rend()) return;
  lines_.erase(std::next(at).base());
  keys_.erase(ascii_lower(line));
  changed_ = true;
}

void StepRecord::write(bool always) {
  if (!changed_ && !always) return;
  if (memory_)
    *memory_ = lines_;
  else
    write_record(record_, lines_);
  changed_ = false;
}

void StepRecord::finish() {
  try {
    write();
  } catch (const Error&) {
    // The record keeps lines of copies that did not happen: removal counts
    // a missing path as removed and a resumed install copies it, and the
    // failed copies themselves are in the install report.
  }
}

namespace {

FilePlan plan_present(StepRecord& step, const RecordIndex& others, const std::string& target,
                      const std::string& below, bool there) {
  if (step.lists(target)) {
    // The first file of that name in the package wins; a line of an earlier
    // run whose copy never happened is copied now.
    if (step.added(target) || there) return FilePlan::skip;
    return FilePlan::copy;
  }
  if (!there) {
    step.add(target);
    return FilePlan::copy;
  }
  if (others.covered(target, below)) {
    step.add(target);
    return FilePlan::list_only;
  }
  return FilePlan::skip;
}

}  // namespace

FilePlan plan_file(StepRecord& step, const RecordIndex& others, const std::string& target,
                   const std::string& below) {
  return plan_present(step, others, target, below, present(target));
}

FilePlan plan_file(StepRecord& step, const RecordIndex& others, const std::string& target,
                   const std::string& below, platform::Folder& folder, std::string_view name) {
  return plan_present(step, others, target, below, folder.find(name).has_value());
}

void remove_stale_temporaries(const std::string& folder) {
  const std::string real = platform::resolve(folder);
  for (const auto& entry : platform::find_entries(real, ".wingstow-*", platform::attr_any)) {
    if (!platform::is_temporary_name(entry.name) || (entry.attributes & platform::attr_directory))
      continue;
    // ".wingstow-PID-N.tmp": only a dead process's file is stale.
    const auto pid = std::atol(entry.name.c_str() + 10);
    if (pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)
      ::unlink((real + (real.ends_with('/') ? "" : "/") + entry.name).c_str());
  }
}

const RecordIndex& other_records(Shared& shared, PackageInstall& install) {
  const std::string record = record_path(shared);
  if (!install.other_records || install.other_records_of != record) {
    install.other_records =
        std::make_shared<const RecordIndex>(RecordIndex::load(shared.unzip_path, record));
    install.other_records_of = record;
  }
  return *install.other_records;
}

void begin_install(StepRecord& step, const std::string& record, bool resumed) {
  mark_install_started(record);
  try {
    step.write(true);
  } catch (const Error&) {
    if (!resumed) mark_install_finished(record);  // nothing began
    throw;
  }
}

void report_copy_failure(InstallReport& report, const std::string& target, int error) {
  report.failures.push_back({platform::without_trailing_separators(target), error});
}

}  // namespace wingstow

#pragma once

// What one package's install carries from step to step: what went wrong, the
// other records as read when it began, and, in a dry run, the plan the steps
// fill instead of writing.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/files.h"
#include "settings/record_index.h"

namespace wingstow {

struct InstallPlan;  // install/plan.h

// What went wrong while one package was installed: files that could not be
// copied, and airplanes that were not installed, told in one message when the
// package is done.
struct InstallReport {
  struct Failure {
    std::string path;  // the target in the simulator
    int error = 0;     // the system's errno
  };
  std::vector<Failure> failures;
  std::vector<std::string> refusals;  // complete sentences

  bool empty() const { return failures.empty() && refusals.empty(); }
  // Whether a failure may go away (a full disk, a read-only folder, a
  // process killed): then the install stays unfinished and the next Install
  // completes it. A failure the package itself brings (a folder where a file
  // is looked for, a name no file system takes) never goes away by trying
  // again.
  static bool may_pass(int error);
  bool any_may_pass() const;
  void clear() {
    failures.clear();
    refusals.clear();
  }
};

// The sizes and CRC-32s of the files this install copied, by target path
// (letter case and doubled separators aside): the record's sums are written
// from them, not from a second read of every file.
class CopiedSums {
 public:
  // Keeps the sum of a copy that has one.
  void add(const std::string& target, const platform::CopyResult& copied);
  // The sum of the file at path, when this install copied it and it still
  // has the size and modification time the copy gave it.
  std::optional<std::uint32_t> crc_of(const std::string& path, std::uint64_t size,
                                      std::int64_t mtime_sec, std::int64_t mtime_nsec) const;
  std::size_t size() const { return by_path_.size(); }
  // Called with the size of each file as it is copied: the install's
  // progress in bytes.
  std::function<void(std::uint64_t bytes)> on_copied;

 private:
  std::unordered_map<std::string, platform::FileSum> by_path_;
};

struct PackageInstall {
  InstallReport report;
  CopiedSums copied;
  // The other records, read once per package: they do not change while one
  // package goes in. other_records_of names the record they leave out.
  std::shared_ptr<const RecordIndex> other_records;
  std::string other_records_of;
  // Set during a dry run: the steps decide as they would and note here what
  // they would do, writing nothing anywhere.
  InstallPlan* dry_run = nullptr;
  // What a package without airplane brings ("3 gauges"); empty for others.
  std::string brings;
};

}  // namespace wingstow

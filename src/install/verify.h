#pragma once

// Questions about what is installed: which package brought a path, and
// whether everything a package listed is still there as it was installed.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "install/package_install.h"
#include "settings/shared.h"

namespace wingstow {

struct OwnerAnswer {
  std::string path;                  // as asked, made absolute
  std::vector<std::string> records;  // the records listing it; empty: not installed by Wingstow
  std::string listed_as;             // the line that covers it (itself or a folder above)
};

// For each path (absolute, or relative to the simulator root; either
// separator), the records listing it or a folder above it below the
// simulator root, letter case ignored. Throws Error when a record cannot be
// read.
std::vector<OwnerAnswer> owners_of(const Shared& shared, const std::vector<std::string>& paths);

// The sizes and checksums of what a record lists, beside it: record +
// ".sums", one "size<TAB>crc32<TAB>path" line per regular file (the files of
// a listed folder included; links are never followed), ended by one
// "end<TAB>count" line that counts them, so that a file cut short shows.
// The record itself keeps its format.
std::string sums_path(const std::string& record);
// The most the sums of a record of that many lines may take; a larger file
// is neither written nor read.
std::uint64_t max_sums_bytes(std::size_t record_lines);
// Written once an install of the record copied everything; 0 or the errno
// (EFBIG beyond max_sums_bytes, or that of a file that could not be read),
// and then no sums are left, so that verify checks presence only.
// between_files runs after each file read, so that a window stays live.
// The files copied is the install's own sums: those still as copied are not
// read again.
int write_install_sums(const std::string& record, const std::function<void()>& between_files = {},
                       const CopiedSums* copied = nullptr);
// Files write_install_sums has read so far, for the tests: one read per
// installed file is the copy's own.
std::uint64_t install_sums_reads();

struct VerifyProblem {
  std::string path;
  std::string what;  // "missing", "size changed (A -> B bytes)", "content changed"
};

struct VerifyResult {
  std::string record;
  std::size_t lines = 0;
  bool has_sums = false;  // installed before sums were kept: only presence is checked
  std::vector<VerifyProblem> problems;
  // Set when not every sum could be compared (an unfinished install; sums
  // that are no regular file, cut short, malformed, too large or naming a
  // path the record does not list); it names the sums file and says why.
  // problems then holds what was found until then.
  std::string failure;
};

// Whether paths exist, letter case aside, over many records in a row: a
// path missing as written costs a listing of its folder once per cache, not
// once per path, so that a folder of thousands of gauges is read once.
class PresenceCache {
 public:
  bool exists(const std::string& path);

 private:
  // Folder as written -> its names, letter case folded; empty when unreadable.
  std::unordered_map<std::string, std::unordered_set<std::string>> names_;
};

// Every listed path that is gone, and every file whose size or content
// changed since its install. Only files at or below a record line are
// opened, never through a link below that line. Sums written before they
// had an end line count only when every file now below the record's lines
// has a sum in them. Throws Error when a record cannot be read.
// unfinished, when given, is what the caller's one listing of the unzip
// folder told of the record's install (RecordFolder::install_unfinished);
// presence, when given, is shared by the records of one command.
VerifyResult verify_record(const std::string& record, std::optional<bool> unfinished = {},
                           PresenceCache* presence = nullptr);

}  // namespace wingstow

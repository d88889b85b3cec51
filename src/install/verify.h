#pragma once

// Questions about what is installed: which package brought a path, and
// whether everything a package listed is still there as it was installed.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

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
// a listed folder included; links are never followed). The record itself
// keeps its format.
std::string sums_path(const std::string& record);
// Written once an install of the record copied everything; 0 or the errno.
// between_files runs after each file read, so that a window stays live.
int write_install_sums(const std::string& record, const std::function<void()>& between_files = {});

struct VerifyProblem {
  std::string path;
  std::string what;  // "missing", "size changed (A -> B bytes)", "content changed"
};

struct VerifyResult {
  std::string record;
  std::size_t lines = 0;
  bool has_sums = false;  // installed before sums were kept: only presence is checked
  std::vector<VerifyProblem> problems;
};

// Every listed path that is gone, and every file whose size or content
// changed since its install. Throws Error when a record cannot be read.
VerifyResult verify_record(const std::string& record);

}  // namespace wingstow

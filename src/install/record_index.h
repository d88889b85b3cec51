#pragma once

// Which installation records list which paths: every record of the unzip
// folder read once, so that ownership questions ("does another package own
// this gauge?") cost a look-up instead of a read of every record.

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace wingstow {

class RecordIndex {
 public:
  RecordIndex() = default;

  // The records lying directly in unzip_path ("*.txt" regular files, links
  // left out), all but except (the record being written or removed,
  // compared exactly). Throws Error when a record cannot be read.
  static RecordIndex load(const std::string& unzip_path, const std::string& except = {});

  // The record paths that list path, letter case ignored for ASCII letters,
  // in file-name order; empty when none does.
  const std::vector<std::string>& owners(std::string_view path) const;
  bool listed(std::string_view path) const { return !owners(path).empty(); }

  // Adds a record's lines, or drops a record that is gone.
  void add(const std::string& record, const std::vector<std::string>& lines);
  void forget(const std::string& record);

  // Every record's path, in file-name order.
  const std::vector<std::string>& records() const { return records_; }

 private:
  std::vector<std::string> records_;
  std::unordered_map<std::string, std::vector<std::string>> owners_;
  // Each record's keys, so that forgetting one touches only its lines.
  std::unordered_map<std::string, std::vector<std::string>> keys_of_;
};

// The record's file name without ".txt": the package name users know.
std::string package_of_record(std::string_view record_path);

}  // namespace wingstow

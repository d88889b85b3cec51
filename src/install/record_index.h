#pragma once

// Which installation records list which paths: every record of the unzip
// folder read once, so that ownership questions ("does another package own
// this gauge?") cost a look-up instead of a read of every record.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace wingstow {

class RecordIndex {
 public:
  RecordIndex() = default;
  // Each record keeps pointers into the index's own table: moved, never
  // copied.
  RecordIndex(RecordIndex&&) = default;
  RecordIndex& operator=(RecordIndex&&) = default;
  RecordIndex(const RecordIndex&) = delete;
  RecordIndex& operator=(const RecordIndex&) = delete;

  // The records lying directly in unzip_path ("*.txt" regular files, links
  // left out), all but except (the record being written or removed,
  // compared exactly). Throws Error when a record cannot be read.
  static RecordIndex load(const std::string& unzip_path, const std::string& except = {});

  // The record paths that list path, letter case ignored for ASCII letters,
  // in file-name order; empty when none does.
  std::vector<std::string> owners(std::string_view path) const;
  // How many records list path; a record listing it twice counts once.
  std::size_t count(std::string_view path) const;
  bool listed(std::string_view path) const { return count(path) != 0; }
  // How many records other than record list path.
  std::size_t listed_by_others(std::string_view path, std::string_view record) const;

  // Adds a record's lines, or drops a record that is gone; either costs the
  // record's lines, whatever the number of records.
  void add(const std::string& record, const std::vector<std::string>& lines);
  void forget(const std::string& record);

  // Every record's path, in file-name order.
  std::vector<std::string> records() const;

 private:
  using Id = std::uint32_t;
  struct Path {
    std::uint32_t records = 0;  // how many list it
  };
  using PathEntry = std::pair<const std::string, Path>;

  Id begin_record(const std::string& record);
  void add_line(Id id, std::string_view line);
  void end_record(Id id);
  bool lists(Id id, const PathEntry* entry) const;

  // Records by number; a forgotten record keeps its number with no paths.
  std::vector<std::string> names_;
  std::vector<bool> present_;
  std::unordered_map<std::string, Id> ids_;
  // Paths by their lower-case spelling.
  std::unordered_map<std::string, Path> paths_;
  // Each record's paths, in address order, so that forgetting one touches
  // only its lines and whether it lists a path is a binary search.
  std::vector<std::vector<PathEntry*>> paths_of_;
  std::string key_;  // the lower-case spelling of the line being added
};

// The record's file name without ".txt": the package name users know.
std::string package_of_record(std::string_view record_path);

}  // namespace wingstow

#pragma once

// Which installation records list which paths: every record of the unzip
// folder read once, so that ownership questions ("does another package own
// this gauge?") cost a look-up instead of a read of every record.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace wingstow {

// The "*.txt" regular files lying directly in an unzip folder (links left
// out), in the listing's order (by name, letter case ignored): the records,
// and the text files among them that are none.
std::vector<std::string> record_candidates(const std::string& unzip_path);

struct NotRecord {
  std::string path;
  std::string reason;  // names the file
};

// What the catalogue lists: the records of the unzip folder, each read once
// to tell it from a text file that is no record.
struct RecordFolder {
  std::vector<std::string> records;
  std::vector<NotRecord> not_records;
  // The records whose install is unfinished (install_unfinished()), by
  // their names with letter case folded: found in the same listing, so that
  // asking costs no look-up in the folder.
  std::unordered_set<std::string> unfinished;
  bool install_unfinished(const std::string& record) const;
  // The folders (package folders) by their names with letter case folded,
  // each to its name on disk: from the same listing.
  std::unordered_map<std::string, std::string> folders;
};
class RecordIndex;

// A record that cannot be read at all is listed: the commands that read it
// tell why. read_already: an index of the same folder this command loaded
// and kept up to date; the files it took as records, or found to be none,
// are not read again.
RecordFolder list_records(const std::string& unzip_path, const RecordIndex* read_already = nullptr);

// The one line naming the text files that are no record; empty for none.
std::string not_records_text(const std::vector<NotRecord>& not_records);

class RecordIndex {
 public:
  RecordIndex() = default;
  // Each record keeps pointers into the index's own table: moved, never
  // copied.
  RecordIndex(RecordIndex&&) = default;
  RecordIndex& operator=(RecordIndex&&) = default;
  RecordIndex(const RecordIndex&) = delete;
  RecordIndex& operator=(const RecordIndex&) = delete;

  // The records lying directly in unzip_path (record_candidates that read
  // as records), all but except (the record being written or removed,
  // compared exactly). Throws Error when a record cannot be read.
  static RecordIndex load(const std::string& unzip_path, const std::string& except = {});

  // The text files load() found to be no record.
  const std::vector<NotRecord>& not_records() const { return not_records_; }

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
  // Whether record (a path as load() found it) is one of them.
  bool holds(const std::string& record) const;

  // Ownership through folders. A path belongs to the record whose deepest
  // line covers it: a record listing a file or folder inside another
  // record's folder owns that part, the other record the rest.
  struct Cover {
    std::string line;                  // the covering line, spelled as the path asked
    std::vector<std::string> records;  // the records listing it
  };
  // The deepest line at path or above it, no higher than below (a folder
  // path: lines at it or above never count); nothing when none covers it.
  std::optional<Cover> cover(std::string_view path, std::string_view below) const;
  // Whether a line lists path or a folder above it, no higher than below:
  // cover() without naming the records, at a look-up per level.
  bool covered(std::string_view path, std::string_view below) const;
  // How many lines of all records lie strictly inside folder, a record
  // listing a path twice counting once.
  std::size_t count_inside(std::string_view folder) const;

 private:
  using Id = std::uint32_t;
  struct Path {
    std::uint32_t records = 0;  // how many list it
  };
  using PathEntry = std::pair<const std::string, Path>;

  Id begin_record(const std::string& record);
  void add_line(Id id, std::string_view line);
  void end_record(Id id);
  void abandon_record(Id id);
  // The entry of the deepest line at path or above it, no higher than below.
  const PathEntry* deepest_line(std::string_view path, std::string_view below) const;
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
  // Looked up by views of the paths' own keys, with no string made each time.
  struct KeyHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view key) const {
      return std::hash<std::string_view>{}(key);
    }
  };
  // Lines strictly inside each folder that holds one, by the folder's
  // lower-case spelling.
  std::unordered_map<std::string, std::uint32_t, KeyHash, std::equal_to<>> inside_;
  std::vector<NotRecord> not_records_;
};

// A line as the index compares it: ASCII letters in lower case, repeated
// separators as one, "." parts and a trailing separator left out.
std::string record_key(std::string_view line);

// The folders above a path, as prefixes of it without a trailing separator,
// deepest first: "/a/b/c" gives "/a/b", "/a". A trailing separator of path
// is not a folder of its own.
std::vector<std::string_view> folders_above(std::string_view path);

// The record's file name without ".txt": the package name users know.
std::string package_of_record(std::string_view record_path);

}  // namespace wingstow

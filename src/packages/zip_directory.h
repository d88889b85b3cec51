#pragma once

// A ZIP archive's central directory read in pieces, never held whole, so
// that an extraction of 100,000 entries keeps a few dozen bytes for each
// rather than the few hundred a libzip handle keeps.
//
// It vouches only for plain archives: one end record, no data before or
// after the archive, every local header agreeing with its directory entry,
// no duplicate name, names in UTF-8, entries stored or deflated and not
// encrypted, no per-entry ZIP64 fields. For anything else read() gives
// nothing and libzip, with its consistency check, decides: whatever this
// reader takes, libzip takes too, with the same figures.

#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wingstow {

// One entry as zip_stat_index() with ZIP_FL_ENC_GUESS tells it.
struct ZipEntryFigures {
  std::uint64_t index = 0;
  std::string_view name;  // valid only during the call
  std::uint64_t size = 0;
  std::uint64_t packed_size = 0;
  std::int32_t method = -1;  // -1 when unknown
  std::uint32_t crc = 0;
  std::time_t mtime = 0;
  bool encrypted = false;
  bool link = false;  // a symbolic link made on Unix
  // Where its local header lies, when the directory was read directly.
  std::uint64_t header = 0;
};

class ZipDirectory {
 public:
  // Checks the whole directory and every local header; nothing when the
  // archive is not one this reader vouches for, or cannot be read.
  static std::optional<ZipDirectory> read(int fd, std::uint64_t file_size);

  std::uint64_t count() const { return count_; }
  // The compressed data of all entries, counted apart.
  std::uint64_t packed_total() const { return packed_total_; }
  // The bytes of all names together.
  std::uint64_t name_bytes() const { return name_bytes_; }

  // Calls each for every entry in archive order; false when the directory
  // no longer reads as it did (the file changed).
  bool for_each(const std::function<void(const ZipEntryFigures&)>& each) const;

 private:
  ZipDirectory(int fd, std::uint64_t offset, std::uint64_t size, std::uint64_t count)
      : fd_(fd), offset_(offset), size_(size), count_(count) {}

  int fd_;
  std::uint64_t offset_;  // of the directory in the file
  std::uint64_t size_;
  std::uint64_t count_;
  std::uint64_t packed_total_ = 0;
  std::uint64_t name_bytes_ = 0;
};

// The start of an entry's data behind its local header at offset; nothing
// when the header cannot be read.
std::optional<std::uint64_t> zip_data_offset(int fd, std::uint64_t header);

}  // namespace wingstow

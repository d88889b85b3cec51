#pragma once

// RAR archive writers for the tests, written from the published formats:
// RAR 5 (blocks each with the CRC-32 of its header, sizes as variable-length
// integers) and RAR 4 (fixed-size headers with a 16-bit header CRC). Files
// are stored (no compression), so that no RAR packer is needed. They write
// what real archives hold and what hostile ones do: folders, links, any name
// at all.

#include <cstdint>
#include <string>
#include <vector>

namespace wingstow::test {

struct RarEntry {
  enum class Kind { file, folder, symlink };
  std::string name;     // as stored: "/" between parts, nothing checked
  std::string content;  // a file's bytes; a link's target
  Kind kind = Kind::file;
  bool bad_crc = false;  // the stored CRC-32 of the data is wrong
};

struct RarOptions {
  bool volume = false;  // the main header says: one volume of a set
};

// The archive's bytes.
std::string rar5_archive(const std::vector<RarEntry>& entries, RarOptions options = {});
std::string rar4_archive(const std::vector<RarEntry>& entries, RarOptions options = {});

// Writes them to path; throw std::runtime_error when they cannot.
void write_rar5(const std::string& path, const std::vector<RarEntry>& entries,
                RarOptions options = {});
void write_rar4(const std::string& path, const std::vector<RarEntry>& entries,
                RarOptions options = {});

}  // namespace wingstow::test

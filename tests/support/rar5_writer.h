#pragma once

// A RAR 5 archive writer for the tests, written from the published format:
// the signature, then blocks each with the CRC-32 of its header and sizes as
// variable-length integers; files stored (no compression), so that no RAR
// packer is needed. It writes what real archives hold and what hostile ones
// do: folders, links, any name at all.

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

// The archive's bytes.
std::string rar5_archive(const std::vector<RarEntry>& entries);

// Writes them to path; throws std::runtime_error when it cannot.
void write_rar5(const std::string& path, const std::vector<RarEntry>& entries);

}  // namespace wingstow::test

#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <optional>

namespace wingstow::platform {

// CRC-32s known for files as they are: the extraction tells those of the
// files it wrote, and a copier that keeps sums takes them instead of reading
// the file through, so that the kernel may copy it. A file is known by its
// device, inode, size and modification and change times: any write, or a
// time set back, moves the change time, which no program can set. Only
// files of some size are worth it; the oldest are forgotten first.
bool worth_remembering(std::uint64_t size);
void remember_crc(const struct stat& st, std::uint32_t crc);
std::optional<std::uint32_t> known_crc(const struct stat& st);
// How many look-ups found a CRC: for tests.
std::uint64_t known_crcs_taken();

}  // namespace wingstow::platform

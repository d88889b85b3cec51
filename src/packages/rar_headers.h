#pragma once

// The RAR file headers read directly, for what libarchive does not give:
// each file's CRC-32, which libarchive does not check for stored data.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace wingstow {

// One file or folder header, in the order libarchive returns its entries.
struct RarHeader {
  std::uint64_t size = 0;            // unpacked size
  std::optional<std::uint32_t> crc;  // a file's CRC-32 when the header has one
};

// The file headers of a RAR 4 or RAR 5 archive; empty when its headers
// cannot be walked (encrypted headers, a self-extractor's prefix, damage):
// the data is then checked only as far as libarchive checks it.
std::vector<RarHeader> rar_headers(int fd);

// The header volume flag (RAR 4 and 5): every volume of a set carries it.
bool rar_volume_flag(int fd);

}  // namespace wingstow

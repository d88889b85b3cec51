// RAR 4: after the 7-byte signature, blocks with a fixed 7-byte start (CRC16,
// type, flags, size), a file header's sizes and CRC-32 at fixed places, and
// data (or, for other blocks with the long-block flag, an added size) after
// the header. RAR 5: after the 8-byte signature, blocks of CRC-32, then
// variable-length integers: header size, type, flags, extra and data sizes
// as the flags say, then the block's own fields.

#include "packages/rar_headers.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <string_view>

namespace wingstow {
namespace {

constexpr std::string_view rar4_signature("Rar!\x1A\x07\x00", 7);
constexpr std::string_view rar5_signature("Rar!\x1A\x07\x01\x00", 8);
constexpr std::size_t max_blocks = 1'000'000;

// Bytes at a place in the file, read on demand.
class Bytes {
 public:
  explicit Bytes(int fd) : fd_(fd) {}
  // Reads up to size bytes at offset; false when none could be read.
  bool load(std::uint64_t offset, std::size_t size = 256) {
    const ssize_t n =
        ::pread(fd_, buffer_.data(), std::min(size, buffer_.size()), static_cast<off_t>(offset));
    length_ = n > 0 ? static_cast<std::size_t>(n) : 0;
    return length_ > 0;
  }
  bool has(std::size_t at, std::size_t count) const { return at + count <= length_; }
  unsigned byte(std::size_t at) const { return at < length_ ? buffer_[at] : 0u; }
  std::uint64_t le(std::size_t at, int count) const {
    std::uint64_t value = 0;
    for (int i = count - 1; i >= 0; --i)
      value = value << 8 | byte(at + static_cast<std::size_t>(i));
    return value;
  }
  std::string_view view(std::size_t count) const {
    return {reinterpret_cast<const char*>(buffer_.data()), std::min(count, length_)};
  }
  // A RAR 5 variable-length integer at at, which moves past it; nothing
  // when it runs past what was read.
  std::optional<std::uint64_t> vint(std::size_t& at) const {
    std::uint64_t value = 0;
    for (int shift = 0; shift < 70; shift += 7) {
      if (!has(at, 1)) return std::nullopt;
      const unsigned b = byte(at++);
      value |= static_cast<std::uint64_t>(b & 0x7F) << shift;
      if (!(b & 0x80)) return value;
    }
    return std::nullopt;
  }

 private:
  int fd_;
  std::array<unsigned char, 4096> buffer_{};
  std::size_t length_ = 0;
};

std::vector<RarHeader> rar4_headers(Bytes& bytes) {
  std::vector<RarHeader> headers;
  std::uint64_t at = rar4_signature.size();
  for (std::size_t n = 0; n < max_blocks; ++n) {
    if (!bytes.load(at, 64) || !bytes.has(0, 7)) return {};
    const unsigned type = bytes.byte(2);
    const auto flags = bytes.le(3, 2);
    const auto size = bytes.le(5, 2);
    if (size < 7) return {};
    if (type == 0x7B) return headers;                 // end of archive
    if (type == 0x73 && (flags & 0x0080)) return {};  // encrypted headers
    std::uint64_t added = 0;
    if (type == 0x74) {
      if (!bytes.has(0, 32)) return {};
      added = bytes.le(7, 4);
      std::uint64_t unpacked = bytes.le(11, 4);
      if (flags & 0x0100) {  // sizes of 4 GiB and more
        if (!bytes.has(0, 40)) return {};
        added |= bytes.le(32, 4) << 32;
        unpacked |= bytes.le(36, 4) << 32;
      }
      RarHeader header{unpacked, {}};
      if ((flags & 0x00E0) != 0x00E0) header.crc = static_cast<std::uint32_t>(bytes.le(16, 4));
      headers.push_back(header);
    } else if (flags & 0x8000) {
      if (!bytes.has(0, 11)) return {};
      added = bytes.le(7, 4);
    }
    at += size + added;
  }
  return {};
}

std::vector<RarHeader> rar5_headers(Bytes& bytes) {
  std::vector<RarHeader> headers;
  std::uint64_t at = rar5_signature.size();
  for (std::size_t n = 0; n < max_blocks; ++n) {
    if (!bytes.load(at)) return {};
    std::size_t p = 4;
    const auto size = bytes.vint(p);
    if (!size) return {};
    const std::size_t fields_start = p;
    const auto type = bytes.vint(p);
    const auto flags = bytes.vint(p);
    if (!type || !flags) return {};
    if (*type == 5) return headers;  // end of archive
    if (*type == 4) return {};       // encrypted headers
    if (*flags & 0x01 && !bytes.vint(p)) return {};
    std::uint64_t data = 0;
    if (*flags & 0x02) {
      const auto d = bytes.vint(p);
      if (!d) return {};
      data = *d;
    }
    if (*type == 2) {
      const auto file_flags = bytes.vint(p);
      const auto unpacked = bytes.vint(p);
      if (!file_flags || !unpacked || !bytes.vint(p)) return {};  // attributes
      if (*file_flags & 0x02) p += 4;                             // mtime
      RarHeader header{*unpacked, {}};
      if (*file_flags & 0x04) {
        if (!bytes.has(p, 4)) return {};
        header.crc = static_cast<std::uint32_t>(bytes.le(p, 4));
      }
      headers.push_back(header);
    }
    at += fields_start + *size + data;
  }
  return {};
}

}  // namespace

std::vector<RarHeader> rar_headers(int fd) {
  Bytes bytes(fd);
  if (!bytes.load(0, 8)) return {};
  if (bytes.view(8) == rar5_signature) return rar5_headers(bytes);
  if (bytes.view(7) == rar4_signature) return rar4_headers(bytes);
  return {};
}

bool rar_volume_flag(int fd) {
  Bytes bytes(fd);
  if (!bytes.load(0, 64)) return false;
  if (bytes.view(7) == rar4_signature) return bytes.byte(9) == 0x73 && (bytes.byte(10) & 0x01);
  if (bytes.view(8) != rar5_signature) return false;
  std::size_t p = 12;
  const auto size = bytes.vint(p);
  const auto type = bytes.vint(p);
  const auto flags = bytes.vint(p);
  if (!size || !type || *type != 1 || !flags) return false;
  if (*flags & 0x01 && !bytes.vint(p)) return false;
  if (*flags & 0x02 && !bytes.vint(p)) return false;
  const auto archive_flags = bytes.vint(p);
  return archive_flags && (*archive_flags & 0x01);
}

}  // namespace wingstow

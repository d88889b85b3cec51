#include "support/rar5_writer.h"

#include <zlib.h>

#include <fstream>
#include <stdexcept>

namespace wingstow::test {
namespace {

void vint(std::string& out, std::uint64_t value) {
  do {
    unsigned char byte = value & 0x7F;
    value >>= 7;
    if (value) byte |= 0x80;
    out += static_cast<char>(byte);
  } while (value);
}

void u32(std::string& out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::uint32_t crc_of(const std::string& bytes) {
  return static_cast<std::uint32_t>(
      ::crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

// A block: CRC-32 of what follows it, the header's size, then the header
// (type onwards).
std::string block(const std::string& header) {
  std::string sized;
  vint(sized, header.size());
  sized += header;
  std::string out;
  u32(out, crc_of(sized));
  return out + sized;
}

constexpr std::uint64_t header_extra = 0x0001;
constexpr std::uint64_t header_data = 0x0002;

std::string file_block(const RarEntry& entry) {
  const bool folder = entry.kind == RarEntry::Kind::folder;
  const bool link = entry.kind == RarEntry::Kind::symlink;
  const std::string data = entry.kind == RarEntry::Kind::file ? entry.content : std::string();
  std::string extra;
  if (link) {
    // File system redirection: a Unix symbolic link to content.
    std::string record;
    vint(record, 5);  // its type
    vint(record, 1);  // Unix symlink
    vint(record, 0);  // flags
    vint(record, entry.content.size());
    record += entry.content;
    vint(extra, record.size());
    extra += record;
  }
  std::string header;
  vint(header, 2);  // file header
  vint(header, (extra.empty() ? 0 : header_extra) | header_data);
  if (!extra.empty()) vint(header, extra.size());
  vint(header, data.size());
  vint(header, (folder ? 0x0001 : 0) | 0x0002 | (folder ? 0 : 0x0004));  // folder, mtime, CRC
  vint(header, data.size());                                             // unpacked size
  vint(header, folder ? 040755 : link ? 0120777 : 0100644);              // Unix attributes
  u32(header, 1600000000);                                               // mtime
  if (!folder) u32(header, crc_of(data) ^ (entry.bad_crc ? 0xFFFFFFFFu : 0));
  vint(header, 0);  // stored, version 0
  vint(header, 1);  // made on Unix
  vint(header, entry.name.size());
  header += entry.name;
  header += extra;
  return block(header) + data;
}

}  // namespace

std::string rar5_archive(const std::vector<RarEntry>& entries) {
  std::string out("Rar!\x1A\x07\x01\x00", 8);
  std::string main;
  vint(main, 1);  // main archive header
  vint(main, 0);  // header flags
  vint(main, 0);  // archive flags: one volume, not solid
  out += block(main);
  for (const auto& entry : entries) out += file_block(entry);
  std::string end;
  vint(end, 5);  // end of archive
  vint(end, 0);
  vint(end, 0);  // the last volume
  return out + block(end);
}

void write_rar5(const std::string& path, const std::vector<RarEntry>& entries) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  const std::string bytes = rar5_archive(entries);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!file) throw std::runtime_error("cannot write " + path);
}

}  // namespace wingstow::test

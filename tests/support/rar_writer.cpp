#include "support/rar_writer.h"

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

void u16(std::string& out, std::uint32_t value) {
  out += static_cast<char>(value & 0xFF);
  out += static_cast<char>((value >> 8) & 0xFF);
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

// A RAR 4 block: the low 16 bits of the CRC-32 of the header from its type
// on, then the header. fields start at the type; size is filled in here.
std::string block4(unsigned type, std::uint32_t flags, const std::string& fields,
                   const std::string& after = {}) {
  std::string header;
  header += static_cast<char>(type);
  u16(header, flags);
  u16(header, static_cast<std::uint32_t>(fields.size() + 7));
  header += fields;
  std::string out;
  u16(out, crc_of(header) & 0xFFFF);
  return out + header + after;
}

std::string file_block4(const RarEntry& entry) {
  const bool folder = entry.kind == RarEntry::Kind::folder;
  const bool link = entry.kind == RarEntry::Kind::symlink;
  const std::string data = folder ? std::string() : entry.content;  // a link's data: its target
  std::string fields;
  u32(fields, static_cast<std::uint32_t>(data.size()));  // packed size
  u32(fields, static_cast<std::uint32_t>(data.size()));  // unpacked size
  fields += '\x03';                                      // made on Unix
  u32(fields, crc_of(data) ^ (entry.bad_crc ? 0xFFFFFFFFu : 0));
  u32(fields, (40u << 25) | (9u << 21) | (13u << 16));  // 2020-09-13, DOS time
  fields += '\x14';                                     // version 2.0 to extract
  fields += '\x30';                                     // stored
  u16(fields, static_cast<std::uint32_t>(entry.name.size()));
  u32(fields, folder ? 040755 : link ? 0120777 : 0100644);  // Unix attributes
  fields += entry.name;
  // Data follows (0x8000); a folder has all the dictionary bits set.
  return block4(0x74, 0x8000 | (folder ? 0x00E0 : 0), fields, data);
}

}  // namespace

std::string rar4_archive(const std::vector<RarEntry>& entries, RarOptions options) {
  std::string out("Rar!\x1A\x07\x00", 7);
  out += block4(0x73, options.volume ? 0x0001 : 0, std::string(6, '\0'));  // main header
  for (const auto& entry : entries) out += file_block4(entry);
  return out + block4(0x7B, 0x4000, {});  // end of archive
}

std::string rar5_archive(const std::vector<RarEntry>& entries, RarOptions options) {
  std::string out("Rar!\x1A\x07\x01\x00", 8);
  std::string main;
  vint(main, 1);                       // main archive header
  vint(main, 0);                       // header flags
  vint(main, options.volume ? 1 : 0);  // archive flags: a volume of a set or not; not solid
  out += block(main);
  for (const auto& entry : entries) out += file_block(entry);
  std::string end;
  vint(end, 5);  // end of archive
  vint(end, 0);
  vint(end, 0);  // the last volume
  return out + block(end);
}

namespace {
void write_bytes(const std::string& path, const std::string& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!file) throw std::runtime_error("cannot write " + path);
}
}  // namespace

void write_rar5(const std::string& path, const std::vector<RarEntry>& entries, RarOptions options) {
  write_bytes(path, rar5_archive(entries, options));
}

void write_rar4(const std::string& path, const std::vector<RarEntry>& entries, RarOptions options) {
  write_bytes(path, rar4_archive(entries, options));
}

}  // namespace wingstow::test

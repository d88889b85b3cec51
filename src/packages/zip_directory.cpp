#include "packages/zip_directory.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace wingstow {
namespace {

constexpr std::size_t end_record_size = 22;
constexpr std::size_t zip64_locator_size = 20;
constexpr std::size_t zip64_end_size = 56;
constexpr std::size_t central_size = 46;
constexpr std::size_t local_size = 30;
// The end record and the longest comment it may have.
constexpr std::size_t tail_size = end_record_size + 0xFFFF;
// Holds the longest directory entry there can be (three fields of 64 KiB).
constexpr std::size_t window_size = 256 * 1024;

constexpr std::uint16_t flag_encrypted = 1u << 0;
constexpr std::uint16_t flag_descriptor = 1u << 3;
constexpr std::uint16_t flag_strong = 1u << 6;
constexpr std::uint16_t flag_masked = 1u << 13;
constexpr std::uint16_t extra_zip64 = 0x0001;
constexpr std::uint16_t extra_unicode_path = 0x7075;
constexpr std::uint16_t extra_aes = 0x9901;
constexpr unsigned opsys_unix = 3;

std::uint16_t get16(const unsigned char* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
std::uint32_t get32(const unsigned char* p) {
  return static_cast<std::uint32_t>(get16(p)) | (static_cast<std::uint32_t>(get16(p + 2)) << 16);
}
std::uint64_t get64(const unsigned char* p) {
  return static_cast<std::uint64_t>(get32(p)) | (static_cast<std::uint64_t>(get32(p + 4)) << 32);
}
bool magic(const unsigned char* p, char third, char fourth) {
  return p[0] == 'P' && p[1] == 'K' && p[2] == third && p[3] == fourth;
}

// Reads all of size bytes at offset, or fails.
bool read_at(int fd, unsigned char* buffer, std::size_t size, std::uint64_t offset) {
  for (std::size_t done = 0; done < size;) {
    const ssize_t n = ::pread(fd, buffer + done, size - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Well-formed UTF-8 only: no overlong form, surrogate or code past U+10FFFF.
// libzip takes some malformed sequences as UTF-8 too, and reads others as
// CP437: both left to it.
bool strict_utf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == 0) return false;
    if (c < 0x80) {
      ++i;
      continue;
    }
    std::size_t length = 0;
    std::uint32_t code = 0;
    if ((c & 0xE0) == 0xC0) {
      length = 2;
      code = c & 0x1Fu;
    } else if ((c & 0xF0) == 0xE0) {
      length = 3;
      code = c & 0x0Fu;
    } else if ((c & 0xF8) == 0xF0) {
      length = 4;
      code = c & 0x07u;
    } else {
      return false;
    }
    if (i + length > text.size()) return false;
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = (code << 6) | (next & 0x3Fu);
    }
    static constexpr std::uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < least[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    i += length;
  }
  return true;
}

// Extra fields that parse whole, none of the kinds whose meaning libzip
// would fold into the figures.
bool plain_extra(const unsigned char* p, std::size_t size) {
  while (size > 0) {
    if (size < 4) return false;
    const std::uint16_t id = get16(p);
    const std::size_t length = get16(p + 2);
    if (length > size - 4) return false;
    if (id == extra_zip64 || id == extra_unicode_path || id == extra_aes) return false;
    p += 4 + length;
    size -= 4 + length;
  }
  return true;
}

// As libzip makes it: local time, the simulator's own.
std::time_t dos_time(std::uint16_t time, std::uint16_t date) {
  std::tm tm{};
  tm.tm_isdst = -1;
  tm.tm_year = ((date >> 9) & 127) + 1980 - 1900;
  tm.tm_mon = ((date >> 5) & 15) - 1;
  tm.tm_mday = date & 31;
  tm.tm_hour = (time >> 11) & 31;
  tm.tm_min = (time >> 5) & 63;
  tm.tm_sec = (time << 1) & 62;
  return std::mktime(&tm);
}

// The directory read front to back through a window of the file.
class Stream {
 public:
  Stream(int fd, std::uint64_t offset, std::uint64_t size)
      : fd_(fd), next_(offset), left_(size), buffer_(window_size) {}

  // The next size bytes, contiguous; nullptr past the directory's end or
  // when the file cannot be read.
  const unsigned char* take(std::size_t size) {
    if (size > buffer_.size()) return nullptr;
    if (end_ - at_ < size) {
      std::memmove(buffer_.data(), buffer_.data() + at_, end_ - at_);
      end_ -= at_;
      at_ = 0;
      const std::size_t want =
          static_cast<std::size_t>(std::min<std::uint64_t>(buffer_.size() - end_, left_));
      if (!read_at(fd_, buffer_.data() + end_, want, next_)) return nullptr;
      next_ += want;
      left_ -= want;
      end_ += want;
      if (end_ - at_ < size) return nullptr;
    }
    const unsigned char* p = buffer_.data() + at_;
    at_ += size;
    return p;
  }
  bool finished() const { return left_ == 0 && at_ == end_; }

 private:
  int fd_;
  std::uint64_t next_;  // the next byte to read into the window
  std::uint64_t left_;  // not yet read into the window
  std::vector<unsigned char> buffer_;
  std::size_t at_ = 0;
  std::size_t end_ = 0;
};

// One directory entry as it stands in the file.
struct Central {
  std::uint16_t made_by = 0;
  std::uint16_t needed = 0;
  std::uint16_t flags = 0;
  std::uint16_t method = 0;
  std::uint16_t time = 0;
  std::uint16_t date = 0;
  std::uint32_t crc = 0;
  std::uint32_t packed = 0;
  std::uint32_t size = 0;
  std::uint32_t attributes = 0;
  std::uint32_t header = 0;
  std::string_view name;
  bool plain = false;  // one this reader vouches for
};

std::optional<Central> next_entry(Stream& stream) {
  const unsigned char* p = stream.take(central_size);
  if (!p || !magic(p, 1, 2)) return std::nullopt;
  Central entry;
  entry.made_by = get16(p + 4);
  entry.needed = get16(p + 6);
  entry.flags = get16(p + 8);
  entry.method = get16(p + 10);
  entry.time = get16(p + 12);
  entry.date = get16(p + 14);
  entry.crc = get32(p + 16);
  entry.packed = get32(p + 20);
  entry.size = get32(p + 24);
  const std::size_t name_size = get16(p + 28);
  const std::size_t extra_size = get16(p + 30);
  const std::size_t comment_size = get16(p + 32);
  const std::uint16_t disk = get16(p + 34);
  entry.attributes = get32(p + 38);
  entry.header = get32(p + 42);
  const unsigned char* rest = stream.take(name_size + extra_size + comment_size);
  if (!rest) return std::nullopt;
  entry.name = std::string_view(reinterpret_cast<const char*>(rest), name_size);
  entry.plain = disk == 0 && !(entry.flags & (flag_encrypted | flag_strong | flag_masked)) &&
                (entry.method == 0 || entry.method == 8) && entry.packed != 0xFFFFFFFF &&
                entry.size != 0xFFFFFFFF && entry.header != 0xFFFFFFFF && strict_utf8(entry.name) &&
                plain_extra(rest + name_size, extra_size);
  return entry;
}

// Whether the local header at entry.header agrees with the entry the way
// libzip's consistency check wants, and its data end before end. scratch
// is reused from entry to entry.
bool local_agrees(int fd, const Central& entry, std::uint64_t end,
                  std::vector<unsigned char>& scratch) {
  const std::size_t name_size = entry.name.size();
  if (entry.header + local_size + name_size + entry.packed > end) return false;
  scratch.resize(local_size + name_size);
  if (!read_at(fd, scratch.data(), scratch.size(), entry.header)) return false;
  const unsigned char* p = scratch.data();
  if (!magic(p, 3, 4)) return false;
  if (get16(p + 4) > entry.needed || get16(p + 8) != entry.method || get16(p + 10) != entry.time ||
      get16(p + 12) != entry.date)
    return false;
  const std::uint32_t crc = get32(p + 14);
  const std::uint32_t packed = get32(p + 18);
  const std::uint32_t size = get32(p + 22);
  // A data descriptor may leave them zero in the local header.
  const bool deferred = (get16(p + 6) & flag_descriptor) && crc == 0 && packed == 0 && size == 0;
  if (!deferred && (crc != entry.crc || packed != entry.packed || size != entry.size)) return false;
  if (get16(p + 26) != name_size || std::memcmp(p + local_size, entry.name.data(), name_size) != 0)
    return false;
  const std::size_t extra_size = get16(p + 28);
  if (entry.header + local_size + name_size + extra_size + entry.packed > end) return false;
  if (extra_size == 0) return true;
  scratch.resize(extra_size);
  return read_at(fd, scratch.data(), extra_size, entry.header + local_size + name_size) &&
         plain_extra(scratch.data(), extra_size);
}

}  // namespace

std::optional<ZipDirectory> ZipDirectory::read(int fd, std::uint64_t file_size) {
  if (file_size < end_record_size) return std::nullopt;
  const std::size_t tail_length =
      static_cast<std::size_t>(std::min<std::uint64_t>(file_size, tail_size));
  const std::uint64_t tail_at = file_size - tail_length;
  std::vector<unsigned char> tail(tail_length);
  if (!read_at(fd, tail.data(), tail_length, tail_at)) return std::nullopt;

  // Exactly one end record, its comment reaching the file's end: where
  // libzip would weigh several candidates, it decides.
  std::optional<std::size_t> found;
  for (std::size_t i = 0; i + end_record_size <= tail_length; ++i) {
    if (!magic(&tail[i], 5, 6)) continue;
    if (found) return std::nullopt;
    found = i;
  }
  if (!found) return std::nullopt;
  const unsigned char* end = &tail[*found];
  const std::uint64_t end_at = tail_at + *found;
  if (get16(end + 20) != tail_length - *found - end_record_size) return std::nullopt;
  if (get16(end + 4) != 0 || get16(end + 6) != 0 || get16(end + 8) != get16(end + 10))
    return std::nullopt;
  std::uint64_t count = get16(end + 10);
  std::uint64_t size = get32(end + 12);
  std::uint64_t offset = get32(end + 16);
  std::uint64_t directory_end = end_at;

  const bool has_locator = *found >= zip64_locator_size && magic(end - zip64_locator_size, 6, 7);
  if (has_locator) {
    const unsigned char* locator = end - zip64_locator_size;
    const std::uint64_t record_at = get64(locator + 8);
    if (get32(locator + 4) != 0 || get32(locator + 16) != 1 ||
        record_at + zip64_end_size != end_at - zip64_locator_size)
      return std::nullopt;
    unsigned char record[zip64_end_size];
    if (!read_at(fd, record, sizeof record, record_at) || !magic(record, 6, 6) ||
        get64(record + 4) != zip64_end_size - 12 || get32(record + 16) != 0 ||
        get32(record + 20) != 0 || get64(record + 24) != get64(record + 32))
      return std::nullopt;
    const std::uint64_t count64 = get64(record + 32);
    const std::uint64_t size64 = get64(record + 40);
    const std::uint64_t offset64 = get64(record + 48);
    // The short record's fields either mark the long one or agree with it.
    if ((count != 0xFFFF && count != count64) || (size != 0xFFFFFFFF && size != size64) ||
        (offset != 0xFFFFFFFF && offset != offset64))
      return std::nullopt;
    count = count64;
    size = size64;
    offset = offset64;
    directory_end = record_at;
  } else if (count == 0xFFFF || size == 0xFFFFFFFF || offset == 0xFFFFFFFF) {
    return std::nullopt;
  }
  // Offsets as the file has them, nothing between the directory and its end.
  if (count == 0 || offset > directory_end || directory_end - offset != size) return std::nullopt;

  ZipDirectory directory(fd, offset, size, count);
  Stream stream(fd, offset, size);
  std::vector<unsigned char> scratch;
  std::vector<std::uint64_t> hashes;
  hashes.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(count, size / central_size)));
  for (std::uint64_t i = 0; i < count; ++i) {
    const auto entry = next_entry(stream);
    if (!entry || !entry->plain || !local_agrees(fd, *entry, offset, scratch)) return std::nullopt;
    hashes.push_back(std::hash<std::string_view>{}(entry->name));
    directory.packed_total_ += entry->packed;
    directory.name_bytes_ += entry->name.size();
  }
  if (!stream.finished()) return std::nullopt;
  // Two names alike: libzip refuses the archive or tells them apart.
  std::sort(hashes.begin(), hashes.end());
  if (std::adjacent_find(hashes.begin(), hashes.end()) != hashes.end()) return std::nullopt;
  return directory;
}

bool ZipDirectory::for_each(const std::function<void(const ZipEntryFigures&)>& each) const {
  Stream stream(fd_, offset_, size_);
  for (std::uint64_t i = 0; i < count_; ++i) {
    const auto entry = next_entry(stream);
    if (!entry || !entry->plain) return false;
    ZipEntryFigures figures;
    figures.index = i;
    figures.name = entry->name;
    figures.size = entry->size;
    figures.packed_size = entry->packed;
    figures.method = entry->method;
    figures.crc = entry->crc;
    figures.mtime = dos_time(entry->time, entry->date);
    figures.link =
        (entry->made_by >> 8) == opsys_unix && ((entry->attributes >> 16) & S_IFMT) == S_IFLNK;
    figures.header = entry->header;
    each(figures);
  }
  return true;
}

std::optional<std::uint64_t> zip_data_offset(int fd, std::uint64_t header) {
  unsigned char p[local_size];
  if (!read_at(fd, p, sizeof p, header) || !magic(p, 3, 4)) return std::nullopt;
  return header + local_size + get16(p + 26) + get16(p + 28);
}

}  // namespace wingstow

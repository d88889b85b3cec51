// The 7z and RAR back end of the archive component: libarchive reads the
// archive once, in stored order (a solid block is never read twice), and
// each file goes through the same landing as a ZIP entry's: its folders
// opened below the extract directory without following links, a temporary
// file beside its target, the final name only once it is complete and sound.

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <libdeflate.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

#include "base/path_helpers.h"
#include "packages/extract_target.h"
#include "packages/libarchive_backend.h"
#include "packages/rar_headers.h"
#include "packages/zip_archive.h"
#include "packages/zip_master.h"
#include "platform/ascii_case.h"
#include "platform/files.h"
#include "platform/regular_file.h"

namespace wingstow {
namespace {

constexpr std::size_t read_chunk = 256 * 1024;
constexpr std::size_t block_size = 64 * 1024;

struct ArchiveFree {
  void operator()(archive* reader) const { archive_read_free(reader); }
};
using Reader = std::unique_ptr<archive, ArchiveFree>;

// An archive of the other formats opened for reading: only a regular file,
// never waiting on a pipe.
struct Opened {
  platform::RegularFile file;
  Reader reader;
  std::string failure;  // why it could not be opened; empty when it was
};

Opened open_other(const std::string& path) {
  Opened opened{platform::RegularFile(path, platform::Links::followed), {}, {}};
  if (!opened.file.is_open()) {
    opened.failure = opened.file.reason();
    return opened;
  }
  ::fcntl(opened.file.fd(), F_SETFL, ::fcntl(opened.file.fd(), F_GETFL) & ~O_NONBLOCK);
  opened.reader.reset(archive_read_new());
  archive* a = opened.reader.get();
  archive_read_support_format_7zip(a);
  archive_read_support_format_rar(a);
  archive_read_support_format_rar5(a);
  if (archive_format(path) == ArchiveFormat::zip) archive_read_support_format_zip_seekable(a);
  if (archive_read_open_fd(a, opened.file.fd(), block_size) != ARCHIVE_OK) {
    const char* why = archive_error_string(a);
    opened.failure = why ? why : "not an archive libarchive reads";
    opened.reader.reset();
  }
  return opened;
}

std::string error_text(archive* a) {
  const char* why = archive_error_string(a);
  return why ? why : "unknown error";
}

std::string entry_name(archive_entry* entry) {
  const char* utf8 = archive_entry_pathname_utf8(entry);
  if (utf8) return utf8;
  const char* raw = archive_entry_pathname(entry);
  return raw ? raw : "";
}

// Why libarchive's entry is not extracted as a file or folder; empty when
// it is one.
std::string kind_refusal(archive_entry* entry) {
  if (archive_entry_hardlink(entry) || archive_entry_filetype(entry) == AE_IFLNK)
    return "links are not extracted";
  const auto type = archive_entry_filetype(entry);
  if (type != AE_IFREG && type != AE_IFDIR) return "not a regular file (a device, pipe or socket)";
  return {};
}

}  // namespace

bool rar_volume(const std::string& archive) {
  const std::string name = ascii_lower(last_path_part(archive, 0));
  if (!name.ends_with(".rar")) return false;
  const std::string stem = name.substr(0, name.size() - 4);
  const std::size_t part = stem.rfind(".part");
  if (part != std::string::npos && part + 5 < stem.size() &&
      std::all_of(stem.begin() + static_cast<std::ptrdiff_t>(part + 5), stem.end(),
                  [](char c) { return c >= '0' && c <= '9'; }))
    return true;
  const platform::RegularFile file(archive, platform::Links::followed);
  return file.is_open() && rar_volume_flag(file.fd());
}

std::string rar_volume_text(const std::string& archive) {
  return "'" + archive +
         "' is one volume of a multi-volume RAR set, which Wingstow does not read; unpack the "
         "set with unrar and hand over the folder";
}

bool other_reader_takes(const std::string& path) {
  Opened opened = open_other(path);
  archive_entry* entry = nullptr;
  return opened.reader && archive_read_next_header(opened.reader.get(), &entry) == ARCHIVE_OK;
}

std::string encrypted_archive_text(const std::string& archive) {
  return "'" + archive + "' is encrypted, which Wingstow cannot decrypt for " +
         std::string(format_name(archive_format(archive))) +
         " archives; nothing was extracted. Unpack it with 7z or unrar and hand over the folder";
}

std::optional<std::vector<ArchiveFile>> other_archive_files(const std::string& path) {
  if (rar_volume(path)) return std::nullopt;
  Opened opened = open_other(path);
  if (!opened.reader) return std::nullopt;
  archive* a = opened.reader.get();
  std::vector<ArchiveFile> files;
  archive_entry* entry = nullptr;
  for (std::uint64_t index = 0;; ++index) {
    const int r = archive_read_next_header(a, &entry);
    if (r == ARCHIVE_EOF) return files;
    if (r < ARCHIVE_WARN) return std::nullopt;
    const EntryName target = parse_entry_name(entry_name(entry));
    if (!target.refusal.empty() || target.folder || !kind_refusal(entry).empty() ||
        archive_entry_filetype(entry) != AE_IFREG)
      continue;
    std::string joined;
    for (const auto& part : target.parts) joined += (joined.empty() ? "" : "/") + part;
    files.push_back({joined, index, archive_entry_is_encrypted(entry) != 0});
  }
}

int ZipMaster::extract_other() {
  extraction::Target target;
  extraction::Report report(ui_, Unattended);
  const std::string& path = zip_file_name_;
  const std::string format(format_name(archive_format(path)));
  if (const auto why = target.open(ExtrBaseDir))
    return report.fail(extract_no_base_dir, MessageKind::error, *why);
  if (rar_volume(path))
    return report.fail(extract_unreadable, MessageKind::error, rar_volume_text(path));
  Opened opened = open_other(path);
  if (!opened.file.is_open()) {
    if (opened.file.error() == ENOENT)
      return report.fail(extract_no_archive, MessageKind::error, "Input file does not exist");
    return report.fail(extract_unreadable, MessageKind::error,
                       format + " file could not be opened: '" + path + "': " + opened.failure);
  }
  if (!opened.reader)
    return report.fail(extract_unreadable, MessageKind::error,
                       format + " file could not be opened: '" + path + "': " + opened.failure);
  archive* a = opened.reader.get();
  // libarchive leaves the CRC of stored RAR data unchecked: checked here
  // against the headers, entry by entry, as long as they agree on sizes.
  std::vector<RarHeader> headers;
  if (archive_format(path) == ArchiveFormat::rar) headers = rar_headers(opened.file.fd());
  std::size_t header_index = 0;

  struct Stopped {};
  std::int64_t consumed = 0;  // bytes of the archive read so far
  // The bar follows the archive as it is read: a solid archive tells its
  // files' sizes only as it reaches them.
  const auto progress = [&](int kind, const std::string& name, std::uint64_t size) {
    if (OnProgress) OnProgress(kind, name, size);
    ui_.process_messages();
    if (cancel_requested_) throw Stopped{};
  };
  const auto advance = [&](const std::string& name) {
    const std::int64_t now = archive_filter_bytes(a, -1);
    if (now > consumed) progress(1, name, static_cast<std::uint64_t>(now - consumed));
    consumed = std::max(consumed, now);
  };
  std::vector<unsigned char> buffer(read_chunk);
  try {
    progress(4, {}, opened.file.size());
    archive_entry* entry = nullptr;
    for (;;) {
      const int r = archive_read_next_header(a, &entry);
      if (r == ARCHIVE_EOF) break;
      if (r < ARCHIVE_WARN) {
        const std::string why = error_text(a);
        progress(2, {}, 0);
        if (why.find("ncrypt") != std::string::npos)
          return report.fail(extract_unreadable, MessageKind::error, encrypted_archive_text(path));
        return report.fail(extract_unreadable, MessageKind::error,
                           format + " file could not be read: '" + path +
                               "' is damaged or cut short (" + why + ")");
      }
      const std::string raw = entry_name(entry);
      const std::string name = printable_entry_name(raw);
      const auto size = archive_entry_size_is_set(entry)
                            ? static_cast<std::uint64_t>(archive_entry_size(entry))
                            : 0;
      progress(0, name, size);
      std::optional<std::uint32_t> expected_crc;
      if (header_index < headers.size()) {
        const RarHeader& header = headers[header_index++];
        if (archive_entry_size_is_set(entry) && header.size == size)
          expected_crc = header.crc;
        else
          headers.clear();  // the walk and libarchive disagree: trust neither
      }
      EntryName where_to = parse_entry_name(raw);
      if (!where_to.refusal.empty()) {
        report.refuse(name, where_to.refusal);
        continue;
      }
      if (const std::string why = kind_refusal(entry); !why.empty()) {
        report.refuse(name, why);
        continue;
      }
      if (archive_entry_is_encrypted(entry)) {
        progress(2, {}, 0);
        return report.fail(extract_unreadable, MessageKind::error, encrypted_archive_text(path));
      }
      if (archive_entry_filetype(entry) == AE_IFDIR) where_to.folder = true;
      if (where_to.folder && !ExtrDirNames) continue;
      extraction::Refusal refusal;
      auto where = target.place(where_to, ExtrDirNames, refusal);
      if (!where) {
        report.refuse(name, refusal.why);
        continue;
      }
      if (where_to.folder || (where->exists && !ExtrOverWrite)) continue;
      platform::TempFile temp(where->dir->get());
      if (temp.fd() < 0) {
        report.refuse(name, extraction::write_failure(temp.error()).why);
        continue;
      }
      std::optional<extraction::Refusal> failed;
      std::uint32_t crc = 0;
      for (;;) {
        const la_ssize_t n = archive_read_data(a, buffer.data(), buffer.size());
        if (n == 0) break;
        if (n < 0) {
          if (n == ARCHIVE_FATAL) {
            progress(2, {}, 0);
            return report.fail(extract_unreadable, MessageKind::error,
                               format + " file could not be read: '" + path + "': '" + name +
                                   "' is damaged (" + error_text(a) + ")");
          }
          failed = extraction::Refusal{"its data is damaged (" + error_text(a) + ")"};
          break;
        }
        if (!platform::write_all(temp.fd(), buffer.data(), static_cast<std::size_t>(n))) {
          failed = extraction::write_failure(errno);
          break;
        }
        if (expected_crc)
          crc = static_cast<std::uint32_t>(
              libdeflate_crc32(crc, buffer.data(), static_cast<std::size_t>(n)));
        advance(name);
      }
      if (!failed && expected_crc && crc != *expected_crc) {
        const bool declined = crc_declined(report, name, crc, *expected_crc);
        if (cancel_requested_) throw Stopped{};
        if (declined) continue;
      }
      if (!failed) failed = target.commit(temp, *where, ExtrOverWrite, archive_entry_mtime(entry));
      if (failed) {
        if (extraction::stops_extraction(failed->error)) {
          progress(2, {}, 0);
          return report.fail(
              extract_write_failed, MessageKind::error,
              "'" + name + "' was not extracted: " + failed->why + "\nThe extraction into '" +
                  ExtrBaseDir + "' stopped there; the entries after it were not extracted either.");
        }
        report.refuse(name, failed->why);
      }
    }
    advance({});
    progress(2, {}, 0);
  } catch (const Stopped&) {
    if (OnProgress) OnProgress(2, {}, 0);
    return report.fail(extract_cancelled, MessageKind::warning, "User canceled operation");
  }
  report.summary();
  return report.incomplete() ? extract_incomplete : 0;
}

}  // namespace wingstow

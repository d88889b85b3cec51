#pragma once

// A ZIP archive opened the one way every part of the program opens one:
// only a regular file, never waiting on a pipe, with libzip's consistency
// check; and its files as an extraction would make them.

#include <sys/types.h>
#include <zip.h>

#include <cstdint>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace wingstow {

struct ZipDeleter {
  void operator()(zip_t* archive) const { zip_discard(archive); }
  void operator()(zip_file_t* entry) const { zip_fclose(entry); }
};
using ZipHandle = std::unique_ptr<zip_t, ZipDeleter>;
using ZipEntryHandle = std::unique_ptr<zip_file_t, ZipDeleter>;

struct OpenedArchive {
  ZipHandle archive;
  std::uint64_t file_size = 0;
  // Which file was opened, and as it was then, so that a second handle can
  // be held to the very file the first was.
  dev_t device = 0;
  ino_t inode = 0;
  timespec modified{};
  int error = ZIP_ER_OK;  // ZIP_ER_NOENT when the file is missing
  bool special = false;   // a folder, pipe, socket or device: never read

  bool same_file(const OpenedArchive& other) const;
};

// Only a regular file is read, a link at its place followed (reading
// through one writes nothing); a named pipe called "x.zip" is never waited
// on. check: libzip's ZIP_CHECKCONS, without which it accepts duplicate
// names and local headers that disagree with the central directory. It
// reads every local header, so a file already checked under the same
// identity may be opened again without it.
OpenedArchive open_zip(const std::string& path, bool check = true);

// The libzip handles this process has opened so far.
std::uint64_t zip_handles_opened();

// libzip's words for an error code ("Not a zip archive", ...).
std::string zip_error_text(int code);

// Whether the entry is a symbolic link, which is never made.
bool is_link_entry(zip_t* archive, zip_uint64_t index);

// A file an extraction would make, as the archive's table of contents tells
// it: names the extraction refuses, folders and links are left out.
struct ArchiveFile {
  std::string path;         // below the extract directory, parts joined by the separator
  std::uint64_t index = 0;  // the entry in the archive
  bool encrypted = false;   // extracted only with its password
};

// The files of an archive, read without extracting anything; nothing when
// it cannot be read (missing, no ZIP, damaged) or Extract refuses it whole.
std::optional<std::vector<ArchiveFile>> archive_files(const std::string& archive);

// The same for an archive stored as entry index of archive, inflated into an
// unnamed temporary file that goes with it; nothing when the entry cannot be
// read whole (encrypted, damaged, larger than inner_archive_limit).
std::optional<std::vector<ArchiveFile>> inner_archive_files(const std::string& archive,
                                                            std::uint64_t index);
inline constexpr std::uint64_t inner_archive_limit = 512ull * 1024 * 1024;

}  // namespace wingstow

#include "packages/zip_archive.h"

#include "packages/entry_names.h"
#include "packages/libarchive_backend.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>

#include "packages/entry_names.h"
#include "platform/files.h"
#include "platform/regular_file.h"
#include "platform/unique_fd.h"

namespace wingstow {
namespace {

constexpr std::size_t copy_chunk = 64 * 1024;
std::atomic<std::uint64_t> handles_opened{0};

// What archive_files() tells of an open archive of file_size bytes.
std::optional<std::vector<ArchiveFile>> list_files(zip_t* archive, std::uint64_t file_size) {
  const zip_int64_t count = std::max<zip_int64_t>(zip_get_num_entries(archive, 0), 0);
  std::vector<ArchiveFile> files;
  std::uint64_t compressed = 0;
  for (zip_int64_t i = 0; i < count; ++i) {
    const auto index = static_cast<zip_uint64_t>(i);
    zip_stat_t st;
    if (zip_stat_index(archive, index, ZIP_FL_ENC_GUESS, &st) != 0) continue;
    if (st.valid & ZIP_STAT_COMP_SIZE) compressed += st.comp_size;
    const EntryName name = parse_entry_name((st.valid & ZIP_STAT_NAME) && st.name ? st.name : "");
    if (!name.refusal.empty() || name.folder || is_link_entry(archive, index)) continue;
    ArchiveFile file{{}, index, false};
    for (const auto& part : name.parts) {
      if (!file.path.empty()) file.path += platform::sep;
      file.path += part;
    }
    file.encrypted = (st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE;
    files.push_back(std::move(file));
  }
  // As Extract's plan: overlapping entries refuse the archive whole.
  if (compressed > file_size) return std::nullopt;
  return files;
}

}  // namespace

bool OpenedArchive::same_file(const OpenedArchive& other) const {
  return device == other.device && inode == other.inode && file_size == other.file_size &&
         modified.tv_sec == other.modified.tv_sec && modified.tv_nsec == other.modified.tv_nsec;
}

OpenedArchive open_zip(const std::string& path, bool check) {
  OpenedArchive result;
  platform::RegularFile file(platform::resolve(path), platform::Links::followed);
  if (!file.is_open()) {
    result.error = file.error() == ENOENT ? ZIP_ER_NOENT : ZIP_ER_OPEN;
    result.special = file.error() == EISDIR || file.error() == EINVAL;
    return result;
  }
  struct stat st;
  if (::fstat(file.fd(), &st) != 0) {
    result.error = ZIP_ER_OPEN;
    return result;
  }
  // Opened without waiting; libzip reads it as any file.
  ::fcntl(file.fd(), F_SETFL, ::fcntl(file.fd(), F_GETFL) & ~O_NONBLOCK);
  result.file_size = static_cast<std::uint64_t>(st.st_size);
  result.device = st.st_dev;
  result.inode = st.st_ino;
  result.modified = st.st_mtim;
  int error = ZIP_ER_OK;
  result.archive.reset(zip_fdopen(file.fd(), ZIP_RDONLY | (check ? ZIP_CHECKCONS : 0), &error));
  if (result.archive) {
    file.release();  // libzip owns it now
    handles_opened.fetch_add(1, std::memory_order_relaxed);
  } else
    result.error = error;
  return result;
}

std::uint64_t zip_handles_opened() { return handles_opened.load(); }

std::string zip_error_text(int code) {
  zip_error_t error;
  zip_error_init_with_code(&error, code);
  std::string text = zip_error_strerror(&error);
  zip_error_fini(&error);
  return text;
}

bool is_link_entry(zip_t* archive, zip_uint64_t index) {
  zip_uint8_t opsys = 0;
  zip_uint32_t attributes = 0;
  if (zip_file_get_external_attributes(archive, index, 0, &opsys, &attributes) != 0) return false;
  return opsys == ZIP_OPSYS_UNIX && ((attributes >> 16) & S_IFMT) == S_IFLNK;
}

std::optional<std::vector<ArchiveFile>> archive_files(const std::string& archive) {
  if (const auto format = archive_format(archive);
      format == ArchiveFormat::seven_zip || format == ArchiveFormat::rar)
    return other_archive_files(archive);
  const auto opened = open_zip(archive);
  if (!opened.archive && (opened.error == ZIP_ER_NOZIP || opened.error == ZIP_ER_INCONS))
    return other_archive_files(archive);  // as Extract reads it then
  if (!opened.archive) return std::nullopt;
  return list_files(opened.archive.get(), opened.file_size);
}

std::optional<std::vector<ArchiveFile>> inner_archive_files(const std::string& archive,
                                                            std::uint64_t index) {
  const auto opened = open_zip(archive);
  if (!opened.archive) return std::nullopt;
  ZipEntryHandle entry(zip_fopen_index(opened.archive.get(), index, 0));
  if (!entry) return std::nullopt;
  // Nothing lands in the package's folders: the copy has no name to stay under.
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> copy(std::tmpfile(), std::fclose);
  std::vector<char> buffer(copy_chunk);
  std::uint64_t size = 0;
  bool sound = static_cast<bool>(copy);
  while (sound) {
    const zip_int64_t got = zip_fread(entry.get(), buffer.data(), buffer.size());
    if (got <= 0) {
      sound = got == 0;
      break;
    }
    size += static_cast<std::uint64_t>(got);
    sound = size <= inner_archive_limit &&
            std::fwrite(buffer.data(), 1, static_cast<std::size_t>(got), copy.get()) ==
                static_cast<std::size_t>(got);
  }
  // Read to its end, the entry tells its checksum error only here.
  sound = zip_fclose(entry.release()) == 0 && sound && std::fflush(copy.get()) == 0;
  if (!sound) return std::nullopt;
  platform::UniqueFd fd(::dup(::fileno(copy.get())));
  if (!fd) return std::nullopt;
  int error = ZIP_ER_OK;
  ZipHandle inner(zip_fdopen(fd.get(), ZIP_RDONLY | ZIP_CHECKCONS, &error));
  if (!inner) return std::nullopt;
  fd.release();  // libzip owns it now
  return list_files(inner.get(), size);
}

}  // namespace wingstow

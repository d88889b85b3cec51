#include "settings/record.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>

#include "base/path_helpers.h"
#include "platform/atomic_file.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/regular_file.h"
#include "platform/unique_fd.h"

namespace wingstow {
namespace {

bool unusable_line(std::string_view line) {
  return has_line_break(line) || line.find('\0') != std::string_view::npos;
}

// Opened without following a link, without waiting on a pipe, and only a
// regular file.
platform::RegularFile open_for_reading(const std::string& path) {
  // As written first: a record is nearly always there by the name it is
  // asked by, and the open's own check stands for the look-up.
  platform::RegularFile file(path);
  if (!file.is_open() && (file.error() == ENOENT || file.error() == ENOTDIR))
    file = platform::RegularFile(platform::resolve(path));
  if (!file.is_open()) record_io_error(path, file.error(), file.reason());
  return file;
}

}  // namespace

void record_io_error(const std::string& path, int error) {
  if (error == 0) error = EIO;
  record_io_error(path, error, std::strerror(error));
}

void record_io_error(const std::string& path, int error, const std::string& reason) {
  throw Error("Input/output error " + std::to_string(error) + " (" + reason + ") on " + path);
}

std::string install_marker(const std::string& record) { return record + ".installing"; }

bool install_unfinished(const std::string& record) {
  // Looked at, never opened or followed: only a mark this program made counts.
  return platform::check_regular_file(platform::resolve(install_marker(record))).regular() &&
         platform::check_regular_file(platform::resolve(record)).regular();
}

void mark_install_started(const std::string& record) {
  const std::string marker = install_marker(record);
  if (const int error = platform::write_file_atomically(marker, {})) record_io_error(marker, error);
}

void mark_install_finished(const std::string& record) {
  const std::string marker = install_marker(record);
  if (platform::check_regular_file(platform::resolve(marker)).regular())
    platform::delete_file(marker);
}

std::string record_path(const Shared& shared) { return shared.unzip_path + shared.record_name; }

bool record_exists(const Shared& shared) { return platform::file_exists(record_path(shared)); }

void create_record(const std::string& path) { write_record(path, {}); }

void open_record_for_reading(const std::string& path) { open_for_reading(path); }

namespace {
std::atomic<std::uint64_t> reads{0};
}  // namespace

std::uint64_t record_reads() { return reads.load(); }

void read_record_lines(const std::string& path,
                       const std::function<bool(const std::string&)>& visit) {
  const platform::RegularFile file = open_for_reading(path);
  ++reads;
  std::string line;
  bool more = true;
  bool after_cr = false;
  std::size_t count = 0;
  const auto deliver = [&] {
    if (++count > max_record_lines)
      throw NotARecord(path + " holds more than " + std::to_string(max_record_lines) +
                       " lines: it is not a record");
    more = visit(line);
    line.clear();
  };
  char buffer[65536];
  for (;;) {
    const ssize_t got = ::read(file.fd(), buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) record_io_error(path, errno);
    if (got == 0) break;
    for (ssize_t i = 0; more && i < got;) {
      const char c = buffer[i];
      if (c == '\n' && after_cr) {
        after_cr = false;
        ++i;
        continue;
      }
      after_cr = c == '\r';
      if (c == '\r' || c == '\n') {
        deliver();
        ++i;
        continue;
      }
      // The rest of the line in this buffer, taken at once.
      ssize_t end = i;
      while (end < got && buffer[end] != '\r' && buffer[end] != '\n' && buffer[end] != '\0') ++end;
      if (end < got && buffer[end] == '\0')
        throw NotARecord(path + " holds a NUL byte: it is not a record");
      // A line longer than any path is no record line: it could only grow
      // without bound.
      if (line.size() + static_cast<std::size_t>(end - i) > max_record_line)
        throw NotARecord(path + " has a line longer than " + std::to_string(max_record_line) +
                         " bytes: it is not a record");
      line.append(buffer + i, static_cast<std::size_t>(end - i));
      i = end;
    }
    if (!more) return;
  }
  if (!line.empty()) deliver();
}

std::vector<std::string> record_lines(const std::string& path) {
  std::vector<std::string> lines;
  read_record_lines(path, [&](const std::string& line) {
    lines.push_back(line);
    return true;
  });
  return lines;
}

void write_record(const std::string& path, const std::vector<std::string>& lines) {
  std::string text;
  std::size_t size = 0;
  for (const auto& line : lines) size += line.size() + 2;
  text.reserve(size);
  for (const auto& line : lines) {
    if (unusable_line(line)) record_io_error(path, EINVAL);
    text += line;
    text += "\r\n";
  }
  if (const int error = platform::write_file_atomically(path, text)) record_io_error(path, error);
}

void append_record_line(const std::string& path, std::string_view line) {
  if (unusable_line(line)) record_io_error(path, EINVAL);
  const platform::UniqueFd log(
      ::open(platform::resolve(path).c_str(),
             O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0666));
  if (!log) record_io_error(path, errno);
  const int fd = log.get();
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) record_io_error(path, EINVAL);
  const std::string text = std::string(line) + "\r\n";
  if (!platform::write_all(fd, text.data(), text.size())) {
    const int error = errno;
    // A full disk must not leave half a line for the next line to join.
    [[maybe_unused]] const int ignored = ::ftruncate(fd, st.st_size);
    record_io_error(path, error);
  }
}

}  // namespace wingstow

#include "install/record.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "install/path_helpers.h"
#include "platform/error.h"
#include "platform/files.h"

namespace wingstow {
namespace {

[[noreturn]] void io_error(const std::string& path, int error) {
  throw Error("Input/output error " + std::to_string(error) + " (" + std::strerror(error) +
              ") on " + path);
}

// Opens the record through the letter-case resolution of the platform.
std::FILE* open(const std::string& path, const char* mode) {
  errno = 0;
  std::FILE* file = std::fopen(platform::resolve(path).c_str(), mode);
  if (!file) io_error(path, errno ? errno : EIO);
  return file;
}

void close(std::FILE* file, const std::string& path) {
  const bool flushed = std::fflush(file) == 0;
  const int error = errno;
  if (std::fclose(file) != 0 || !flushed) io_error(path, error ? error : EIO);
}

}  // namespace

std::string record_path(const Shared& shared) { return shared.unzip_path + shared.record_name; }

bool record_exists(const Shared& shared) { return platform::file_exists(record_path(shared)); }

void create_record(const std::string& path) { close(open(path, "wb"), path); }

void open_record_for_reading(const std::string& path) { close(open(path, "rb"), path); }

void append_record_line(const std::string& path, std::string_view line) {
  if (has_line_break(line)) io_error(path, EINVAL);
  std::FILE* file = open(path, "ab");
  const std::string text = std::string(line) + "\r\n";
  errno = 0;
  if (std::fwrite(text.data(), 1, text.size(), file) != text.size()) {
    const int error = errno ? errno : EIO;
    std::fclose(file);
    io_error(path, error);
  }
  close(file, path);
}

}  // namespace wingstow

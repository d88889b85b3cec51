#include "install/record.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

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

void read_record_lines(const std::string& path,
                       const std::function<bool(const std::string&)>& visit) {
  struct Closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  const std::unique_ptr<std::FILE, Closer> owner(open(path, "rb"));
  std::FILE* file = owner.get();
  std::string line;
  bool more = true;
  bool after_cr = false;
  char buffer[4096];
  std::size_t got = 0;
  errno = 0;
  while (more && (got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
    for (std::size_t i = 0; more && i < got; ++i) {
      const char c = buffer[i];
      if (c == '\n' && after_cr) {
        after_cr = false;
        continue;
      }
      after_cr = c == '\r';
      if (c != '\r' && c != '\n') {
        line += c;
        continue;
      }
      more = visit(line);
      line.clear();
    }
  }
  // A folder opens like a file on Linux and fails only here.
  if (std::ferror(file)) io_error(path, errno ? errno : EIO);
  if (more && !line.empty()) visit(line);
}

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

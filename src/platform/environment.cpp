#include "platform/environment.h"

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <vector>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace wingstow::platform {

std::string environment_variable(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

std::string home_folder() {
  std::string home = environment_variable("HOME");
  if (home.empty()) {
    const long hint = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(hint > 0 ? static_cast<std::size_t>(hint) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_dir != nullptr)
      home = found->pw_dir;
  }
  while (home.size() > 1 && home.back() == '/') home.pop_back();
  return home;
}

std::string real_path(std::string_view path) {
  if (path.empty()) return {};
  const std::unique_ptr<char, decltype(&std::free)> real(
      ::realpath(std::string(path).c_str(), nullptr), &std::free);
  return real ? std::string(real.get()) : std::string();
}

std::optional<std::string> read_small_file(std::string_view path, std::size_t max_bytes) {
  const int fd = ::open(std::string(path).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return std::nullopt;
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
      static_cast<unsigned long long>(st.st_size) > max_bytes)
    return std::nullopt;
  std::string text;
  char buffer[8192];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return std::nullopt;
    if (n == 0) return text;
    text.append(buffer, static_cast<std::size_t>(n));
    // The file may have grown since fstat.
    if (text.size() > max_bytes) return std::nullopt;
  }
}

}  // namespace wingstow::platform

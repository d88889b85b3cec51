#include "platform/environment.h"

#include <cstdlib>
#include <memory>
#include <vector>

#include <pwd.h>
#include <sched.h>
#include <unistd.h>

#include <thread>

#include "platform/files.h"

namespace wingstow::platform {

std::string environment_variable(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

unsigned usable_cores() {
  cpu_set_t allowed;
  CPU_ZERO(&allowed);
  const int cores = ::sched_getaffinity(0, sizeof allowed, &allowed) == 0
                        ? CPU_COUNT(&allowed)
                        : static_cast<int>(std::thread::hardware_concurrency());
  return cores > 1 ? static_cast<unsigned>(cores) : 1u;
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
  return without_trailing_separators(std::move(home));
}

std::string real_path(std::string_view path) {
  if (path.empty()) return {};
  const std::unique_ptr<char, decltype(&std::free)> real(
      ::realpath(std::string(path).c_str(), nullptr), &std::free);
  return real ? std::string(real.get()) : std::string();
}

}  // namespace wingstow::platform

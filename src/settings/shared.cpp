#include "settings/shared.h"

#include <algorithm>
#include <cerrno>
#include <utility>

#include "platform/environment.h"
#include "platform/files.h"

namespace wingstow {
namespace {

std::string normalised(std::string_view path) {
  std::string out = platform::resolve(path);
  std::string tidy;
  tidy.reserve(out.size());
  for (char c : out)
    if (c != platform::sep || tidy.empty() || tidy.back() != platform::sep) tidy += c;
  return platform::without_trailing_separators(std::move(tidy));
}

}  // namespace

bool same_path(std::string_view a, std::string_view b) {
  return a == b || normalised(a) == normalised(b);
}

UserEnvironment UserEnvironment::current() {
  return {platform::environment_variable("XDG_DATA_HOME"), platform::home_folder()};
}

std::string installed_data_folder(const std::string& executable_folder) {
  const std::string folder = platform::without_trailing_separators(executable_folder);
  const auto last = folder.rfind(platform::sep);
  if (last == std::string::npos || folder.compare(last + 1, std::string::npos, "bin") != 0)
    return {};
  const std::string data =
      folder.substr(0, last + 1) + "share" + platform::sep + "wingstow" + platform::sep;
  return platform::folder_exists(data) ? data : std::string{};
}

std::string choose_program_folder(const std::string& executable_folder,
                                  const UserEnvironment& environment,
                                  const std::function<bool(const std::string&)>& writable) {
  const std::string executable = platform::with_trailing_separator(executable_folder);
  // An installed copy's bin folder may well be writable (a prefix in the
  // home folder), but settings and downloads do not belong beside programs.
  if (installed_data_folder(executable).empty() && writable(executable)) return executable;
  std::string data = environment.xdg_data_home;
  if (data.empty() || data.front() != platform::sep) {
    // Nowhere better to go: the working folders will say why they cannot be made.
    if (environment.home.empty()) return executable;
    data = platform::with_trailing_separator(environment.home) + ".local" + platform::sep + "share";
  }
  return platform::with_trailing_separator(data) + "wingstow" + platform::sep;
}

Shared::Shared(std::string folder)
    : program_folder(std::move(folder)),
      ini_path(program_folder + "planeyard.ini"),
      settings_file(ini_path) {}

}  // namespace wingstow

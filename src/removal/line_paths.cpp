#include "removal/line_paths.h"

#include <sys/stat.h>

#include <algorithm>
#include <system_error>

#include "platform/ascii_case.h"

namespace wingstow {
namespace {

namespace fs = std::filesystem;

// The simulator's own folders, which every airplane shares.
constexpr std::string_view standard_folders[] = {"aircraft",       "gauges",         "sound",
                                                 "effects",        "modules",        "flights",
                                                 "flights/myflts", "effects/texture"};

// The folders the installers write into: a record line names something
// strictly below one of them or it names nothing an install brought.
constexpr std::string_view install_folders[] = {
    "aircraft", "gauges", "sound", "modules", "effects", "effects/texture", "flights/myflts"};

std::optional<fs::path> real_folder(std::string_view folder) {
  std::error_code ec;
  const fs::path path = fs::canonical(platform::resolve(folder), ec);
  if (ec || !fs::is_directory(path, ec)) return std::nullopt;
  return path;
}

}  // namespace

bool strictly_below_install_folder(std::string_view below) {
  return std::ranges::any_of(install_folders, [&](std::string_view folder) {
    return below.size() > folder.size() + 1 && below.starts_with(folder) &&
           below[folder.size()] == '/';
  });
}

LinePaths::LinePaths(std::string_view fs_path)
    : root_(fs_path.empty() ? std::nullopt : real_folder(fs_path)) {}

std::optional<LinePaths::Target> LinePaths::removable(std::string_view line) {
  try {
    if (!root_ || line.empty() || line.find('\0') != std::string_view::npos) return std::nullopt;
    fs::path path = fs::path(std::string(line)).lexically_normal();
    if (!path.is_absolute()) return std::nullopt;
    if (!path.has_filename()) path = path.parent_path();  // a trailing separator
    std::string name = path.filename().string();
    if (name.empty() || name == "." || name == "..") return std::nullopt;
    const Parent& parent = parent_of(path.parent_path().string());
    if (!parent.real) return std::nullopt;
    // The name as platform::resolve finds it, in the folder it resolved.
    std::optional<struct stat> status;
    if (parent.complete)
      if (auto on_disk = folder(*parent.real).find(name, status)) name = std::move(*on_disk);
    // The folder holding the entry is taken where its links lead; the
    // entry itself, when it is a link, goes as a link.
    const fs::path target = fs::path(*parent.real) / name;
    if (!below_install_folder(target)) return std::nullopt;
    return Target{target.string(), *parent.real, std::move(name), status};
  } catch (...) {
    return std::nullopt;
  }
}

void LinePaths::removed(const Target& target) {
  if (const auto found = folders_.find(target.folder); found != folders_.end())
    found->second.removed(target.name);
}

void LinePaths::folder_removed(const Target& target) {
  removed(target);
  parents_.clear();
  const std::string below = target.path + '/';
  std::erase_if(folders_, [&](const auto& entry) {
    return entry.first == target.path || entry.first.starts_with(below);
  });
}

const LinePaths::Parent& LinePaths::parent_of(const std::string& written) {
  const auto [at, fresh] = parents_.try_emplace(written);
  if (fresh) {
    const std::string resolved = platform::resolve(written);
    struct stat st;
    // platform::resolve stops at the first part that matches nothing.
    at->second.complete = ::lstat(resolved.c_str(), &st) == 0;
    std::error_code ec;
    const fs::path real = fs::weakly_canonical(resolved, ec);
    if (!ec) at->second.real = real.string();
  }
  return at->second;
}

platform::Folder& LinePaths::folder(const std::string& real) {
  auto at = folders_.find(real);
  if (at == folders_.end()) at = folders_.emplace(real, platform::Folder(real)).first;
  return at->second;
}

bool LinePaths::below_install_folder(const fs::path& target) const {
  auto [in_root, in_target] =
      std::mismatch(root_->begin(), root_->end(), target.begin(), target.end());
  if (in_root != root_->end() || in_target == target.end()) return false;
  std::string below;
  for (; in_target != target.end(); ++in_target) {
    if (!below.empty()) below += '/';
    below += in_target->string();
  }
  below = ascii_lower(below);
  for (const auto folder : standard_folders)
    if (below == folder) return false;
  return strictly_below_install_folder(below);
}

}  // namespace wingstow

#include "packages/package_folders.h"

#include "packages/entry_names.h"

#include <vector>

#include "base/name_match.h"
#include "base/path_helpers.h"
#include "packages/unzip.h"
#include "platform/control_text.h"
#include "platform/error.h"
#include "platform/files.h"
#include "settings/shared.h"

namespace wingstow {
namespace {

// The folders of folder, hidden ones and linked ones too, in listing order.
std::vector<std::string> folders_in(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : platform::find_entries(
           folder, "*", platform::attr_directory | platform::attr_hidden, platform::Detail::kinds))
    if ((entry.attributes & platform::attr_directory) && entry.name != "." && entry.name != "..")
      names.push_back(entry.name);
  return names;
}

}  // namespace

std::optional<std::string> find_package_folder(const std::string& unzip_path,
                                               const std::string& argument) {
  const bool by_path = argument.find(platform::sep) != std::string::npos;
  const std::string given = platform::without_trailing_separators(by_path ? absolute_path(argument)
                                                                          : unzip_path + argument);
  const std::string parent = platform::resolve(parent_folder(given));
  const std::string name = last_path_part(given, 0);
  if (parent.empty() || name.empty() || name == "." || name == "..") return std::nullopt;
  const std::vector<std::string> folders = folders_in(parent);
  const auto found = names_matching(folders, name);
  if (found.empty()) return std::nullopt;
  const std::string path = parent + folders[found.front()];
  if (!same_path(parent, unzip_path))
    throw Error(path + ": not a package folder of the unzip folder " + unzip_path);
  if (found.size() > 1) {
    std::string names;
    for (const auto index : found) names += " " + folders[index];
    throw Error(argument + ": names more than one package folder:" + names);
  }
  refuse_unusable_name(path);
  return path;
}

void refuse_unusable_name(const std::string& path) {
  if (const std::string why = name_refusal(last_path_part(path, 0)); !why.empty())
    throw Error(platform::escape_controls(path) + ": " + why);
}

std::vector<std::string> inner_archives(TFindFile& finder, const std::string& package) {
  std::vector<std::string> found;
  for (const auto mask : archive_masks) {
    finder.setPath(package);
    finder.InSubFolders = true;
    finder.FileMask = std::string(mask);
    for (auto& archive : finder.Search()) found.push_back(std::move(archive));
  }
  return found;
}

}  // namespace wingstow

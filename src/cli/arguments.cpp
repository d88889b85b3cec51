#include "cli/arguments.h"

#include <algorithm>

#include "base/path_helpers.h"
#include "packages/entry_names.h"
#include "packages/package_folders.h"
#include "platform/error.h"
#include "platform/files.h"
#include "settings/record_names.h"

namespace wingstow::cli {

void check_name(const std::string& argument) {
  if (argument.empty() || argument == "." || argument == "..")
    throw UsageError("'" + argument + "' names no package or archive");
}

bool by_path(std::string_view argument) { return argument.find(platform::sep) != argument.npos; }

void add_unique(std::vector<std::string>& paths, std::string path) {
  if (std::none_of(paths.begin(), paths.end(),
                   [&](const std::string& known) { return same_path(known, path); }))
    paths.push_back(std::move(path));
}

std::optional<std::string> archive_of(const Shared& shared, const std::string& argument) {
  std::string path = by_path(argument) ? absolute_path(argument) : shared.download_path + argument;
  // A name may leave out its archive's ending: the first kind that is there.
  if (!by_path(argument) && !platform::file_exists(path) && !is_archive_name(argument)) {
    std::string chosen = path + ".zip";
    for (const auto mask : archive_masks)
      if (const std::string with = path + std::string(mask.substr(1));
          platform::file_exists(platform::resolve(with))) {
        chosen = with;
        break;
      }
    path = chosen;
  }
  path = platform::resolve(path);
  if (!platform::file_exists(path)) return std::nullopt;
  refuse_unusable_name(path);
  if (!is_archive_name(path)) throw Error(path + ": " + not_an_archive_name);
  return path;
}

std::string find_archive(const Shared& shared, const std::string& argument) {
  check_name(argument);
  if (auto archive = archive_of(shared, argument)) return *archive;
  if (by_path(argument)) throw Error(absolute_path(argument) + ": no such archive");
  throw Error(argument + ": no such archive in the download folder " + shared.download_path);
}

std::vector<std::string> archives_in_download_folder(const Shared& shared) {
  std::vector<std::string> archives;
  for (const auto& entry :
       platform::find_entries(shared.download_path, "*.*", 0, platform::Detail::kinds))
    if (is_archive_name(entry.name)) archives.push_back(shared.download_path + entry.name);
  return archives;
}

std::optional<std::string> package_folder_of(const Shared& shared, const std::string& argument) {
  return find_package_folder(shared.unzip_path, argument);
}

std::string record_of(Context& context, const std::string& argument) {
  check_name(argument);
  return find_record(context.records(), argument, context.shared.unzip_path);
}

}  // namespace wingstow::cli

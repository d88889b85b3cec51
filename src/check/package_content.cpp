#include "check/package_content.h"

#include "base/find_file.h"
#include "base/path_helpers.h"
#include "install/livery.h"
#include "packages/entry_names.h"
#include "packages/zip_archive.h"
#include "platform/ascii_case.h"
#include "platform/files.h"

namespace wingstow {
namespace {

bool gauge_file_name(std::string_view lower_name) {
  return lower_name.ends_with(".gau") || lower_name.ends_with(".cab");
}

}  // namespace

PackageContent read_package(const std::string& package) {
  PackageContent content;
  content.folder = platform::with_trailing_separator(package);
  // A finder keeps its previous folder when given one that is gone.
  if (!platform::folder_exists(content.folder)) return content;
  // One walk through the package, as Install's searches would find them.
  TFindFile finder;
  finder.FileAttr = {};
  finder.InSubFolders = true;
  finder.FileMask = "*";
  finder.setPath(content.folder);
  std::vector<std::string> configs, archives;
  for (const auto& found : finder.Search()) {
    const std::string name = ascii_lower(last_path_part(found, 0));
    if (name == "aircraft.cfg") configs.push_back(found);
    if (gauge_file_name(name)) content.gauges.insert(name);
    if (name.ends_with(".dll")) content.dlls.insert(name);
    if (is_archive_name(name)) archives.push_back(found);
  }
  const std::string package_name =
      last_path_part(platform::without_trailing_separators(content.folder), 0);
  // A folder repainting an airplane elsewhere is no airplane of its own,
  // as Install sees it.
  std::erase_if(configs, [](const std::string& config) {
    return livery_folder(parent_folder(config)).has_value();
  });
  for (const auto& config : configs) {
    const std::string folder = parent_folder(config);
    // A single airplane goes in under the package's name, several under
    // their own.
    content.airplanes.push_back(
        {folder, configs.size() == 1
                     ? package_name
                     : last_path_part(platform::without_trailing_separators(folder), 0)});
  }
  // What Install's searches find once it has extracted an inner archive.
  for (const auto& archive : archives) {
    const auto files = archive_files(archive);
    if (!files) continue;
    bool airplane = false;
    for (const ArchiveFile& file : *files) {
      if (!found_by_search(file.path)) continue;
      const std::string name = ascii_lower(last_path_part(file.path, 0));
      if (name == "aircraft.cfg") airplane = true;
      if (gauge_file_name(name)) content.gauges.insert(name);
      if (name.ends_with(".dll")) content.dlls.insert(name);
    }
    if (airplane) content.inner_archives_with_airplanes.push_back(archive);
  }
  return content;
}

}  // namespace wingstow

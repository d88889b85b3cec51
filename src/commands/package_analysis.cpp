#include "commands/package_analysis.h"

#include <functional>

#include "base/path_helpers.h"
#include "install/livery.h"
#include "install/side_files.h"
#include "packages/entry_names.h"
#include "packages/package_folders.h"
#include "packages/zip_archive.h"
#include "platform/files.h"
#include "settings/record.h"

namespace wingstow {
namespace {

// Runs mark on every package folder entry whose caption is none of the
// given marks; the parent entry and files are passed over.
void for_each_package(Ui& ui, std::initializer_list<std::string_view> skipped_marks,
                      const std::function<void(int, const std::string&)>& mark) {
  for (int i = 0; i < ui.list_count(); ++i) {
    const std::string caption = ui.list_item_caption(i);
    bool skip = false;
    for (auto skipped : skipped_marks) skip = skip || caption == skipped;
    const std::string path = ui.list_item_path(i);
    if (skip || is_parent_entry(path) || !platform::folder_exists(path)) continue;
    mark(i, path);
  }
}

// Searches a package folder with the finder's mask as set; number found.
std::size_t search_package(Shared& shared, const std::string& package) {
  shared.Memo1.clear();
  shared.FindFile1.setPath(package);
  shared.Memo1 = shared.FindFile1.Search();
  return shared.Memo1.size();
}

// True when an archive inside the package brings an aircraft.cfg: Install
// extracts such inner archives, so the package does bring an airplane.
bool inner_archive_holds_aircraft(Shared& shared, const std::string& package) {
  const std::vector<std::string> archives = inner_archives(shared.FindFile1, package);
  for (const std::string& archive : archives)
    if (const auto files = archive_files(archive))
      for (const ArchiveFile& file : *files)
        if (found_by_search(file.path, "aircraft.cfg")) return true;
  return false;
}

// What the inner archives of a package bring besides airplanes, by the
// installers' masks: Install extracts them before its steps.
SideFileCount inner_side_files(Shared& shared, const std::string& package) {
  SideFileCount count;
  const std::vector<std::string> archives = inner_archives(shared.FindFile1, package);
  const std::pair<std::string_view, std::size_t SideFileCount::*> kinds[] = {
      {gauges_kind.mask, &SideFileCount::gauges},   {cab_gauges_kind.mask, &SideFileCount::gauges},
      {sounds_kind.mask, &SideFileCount::sounds},   {modules_kind.mask, &SideFileCount::modules},
      {flights_kind.mask, &SideFileCount::flights}, {weather_kind.mask, &SideFileCount::weather},
      {effects_kind.mask, &SideFileCount::effects}};
  for (const std::string& archive : archives)
    if (const auto files = archive_files(archive))
      for (const ArchiveFile& file : *files)
        for (const auto& [mask, field] : kinds)
          if (found_by_search(file.path, mask)) ++(count.*field);
  return count;
}

}  // namespace

std::string parts_caption(const SideFileCount& count) {
  return "##### " + side_files_text(count) + " #####";
}

std::string livery_caption(const std::string& fs_path, const LiveryPackage& package) {
  return "##### " + livery_mark(fs_path, package) + " #####";
}

std::string record_name_of(const std::string& catalogue_entry) {
  return last_path_part(catalogue_entry, 4);
}

bool listed_in_catalogue(Ui& ui, const std::string& package_name) {
  for (const auto& entry : ui.catalogue())
    if (record_name_of(entry) == package_name) return true;
  return false;
}

void check_already_installed(Shared& shared, Ui& ui) {
  if (!same_path(ui.list_directory(), shared.unzip_path)) return;
  const std::string package_name = last_path_part(ui.list_selected_item(), 0);
  if (!listed_in_catalogue(ui, package_name)) return;
  // An install that was cut short or could not copy everything is finished
  // by installing again.
  if (install_unfinished(shared.unzip_path + package_name + ".txt")) {
    ui.status(" Install not finished: Install to FS completes it");
    return;
  }
  if (!ui.prompt_checked()) ui.set_enabled(Control::SpeedButton7, false);
  ui.status(" Already installed!");
}

void check_executable(Shared& shared, Ui& ui) {
  const std::string package = ui.list_selected_item();
  // The finder would keep searching its previous folder for a file entry.
  if (!platform::folder_exists(package)) return;
  shared.FindFile1.FileMask = "*.exe";
  if (search_package(shared, package) == 0) return;
  ui.status("This airplane use an executable for the installation !");
  if (!ui.prompt_checked()) ui.set_enabled(Control::SpeedButton7, false);
}

void SpeedButton12Click(Shared& shared, Ui& ui) {
  ui.set_enabled(Control::SpeedButton7, false);
  if (!same_path(ui.list_directory(), shared.unzip_path)) return;
  ui.set_wait_cursor(true);
  const bool multi = ui.prompt_checked();
  ui.set_list_multi_select(true);
  mark_installed(shared, ui);
  mark_self_installable(shared, ui);
  mark_no_aircraft(shared, ui);
  ui.set_wait_cursor(false);
  ui.set_list_multi_select(multi);
  ui.status(mark_summary(ui));
}

std::string mark_summary(Ui& ui) {
  int packages = 0, installed = 0, self_installable = 0, no_aircraft = 0;
  for (int i = 0; i < ui.list_count(); ++i) {
    const std::string path = ui.list_item_path(i);
    if (is_parent_entry(path) || !platform::folder_exists(path)) continue;
    ++packages;
    const std::string caption = ui.list_item_caption(i);
    installed += caption == caption_already_installed;
    self_installable += caption == caption_self_installable;
    no_aircraft += caption == caption_no_aircraft;
  }
  const int ready = packages - installed - self_installable - no_aircraft;
  std::string text =
      std::to_string(ready) + " of " + std::to_string(packages) + " package(s) ready to install";
  const std::pair<int, const char*> marks[] = {{installed, "already installed"},
                                               {self_installable, "self installable"},
                                               {no_aircraft, "without aircraft.cfg"}};
  const char* separator = "; ";
  for (const auto& [count, what] : marks) {
    if (count == 0) continue;
    text += separator + std::to_string(count) + " " + what;
    separator = ", ";
  }
  return text;
}

void mark_installed(Shared& shared, Ui& ui) {
  ui.list_refresh();
  ui.set_list_multi_select(true);
  if (!same_path(ui.list_directory(), shared.unzip_path)) return;
  for_each_package(ui, {caption_no_aircraft, caption_self_installable},
                   [&](int i, const std::string& path) {
                     if (listed_in_catalogue(ui, last_path_part(path, 0)))
                       ui.set_list_item_caption(i, caption_already_installed);
                   });
}

void mark_self_installable(Shared& shared, Ui& ui) {
  shared.FindFile1.FileMask = "*.exe";
  shared.FindFile1.InSubFolders = true;
  for_each_package(ui, {caption_no_aircraft, caption_already_installed},
                   [&](int i, const std::string& path) {
                     if (search_package(shared, path) > 0)
                       ui.set_list_item_caption(i, caption_self_installable);
                   });
}

void mark_no_aircraft(Shared& shared, Ui& ui) {
  shared.FindFile1.InSubFolders = true;
  for_each_package(
      ui, {caption_already_installed, caption_self_installable},
      [&](int i, const std::string& path) {
        // A livery brings no airplane of its own, but one it goes into.
        if (const auto liveries = package_liveries(path)) {
          ui.set_list_item_caption(i, livery_caption(shared.fs_path, *liveries));
          return;
        }
        // The look into inner archives searches with its own mask.
        shared.FindFile1.FileMask = "aircraft.cfg";
        if (search_package(shared, path) != 0 || inner_archive_holds_aircraft(shared, path)) return;
        // No airplane, but gauges, effects, ...: a parts package.
        SideFileCount parts = count_side_files(shared, path);
        const SideFileCount inner = inner_side_files(shared, path);
        parts.gauges += inner.gauges;
        parts.sounds += inner.sounds;
        parts.modules += inner.modules;
        parts.flights += inner.flights;
        parts.weather += inner.weather;
        parts.effects += inner.effects;
        ui.set_list_item_caption(
            i, parts.total() > 0 ? parts_caption(parts) : std::string(caption_no_aircraft));
      });
}

}  // namespace wingstow

#include "install/side_files.h"

#include <algorithm>
#include <cerrno>
#include <utility>

#include "base/path_helpers.h"
#include "install/ownership.h"
#include "install/plan.h"
#include "platform/files.h"
#include "settings/record.h"
#include "settings/record_index.h"

namespace wingstow {

const SideFileKind gauges_kind{"*.gau", "gauges", "", std::nullopt};
const SideFileKind cab_gauges_kind{"*.cab", "gauges", "", std::nullopt};
const SideFileKind sounds_kind{"*.wav", "sound", "", TFileAttr{TFileAttrKind::ffaDirectory}};
const SideFileKind modules_kind{"*.dll", "modules", "", TFileAttr{}};
const SideFileKind flights_kind{"*.flt", "flights", "myflts", TFileAttr{}};
const SideFileKind weather_kind{"*.wx", "flights", "myflts", TFileAttr{}};
const SideFileKind effects_kind{"*.fx", "effects", "", TFileAttr{}};
const SideFileKind textures_kind{"*.bmp", "effects", "texture", TFileAttr{}};

namespace {

void search(Shared& shared, const std::string& folder, std::string_view mask, bool subfolders,
            const std::optional<TFileAttr>& attributes) {
  shared.Memo1.clear();
  shared.FindFile1.setPath(folder);
  shared.FindFile1.InSubFolders = subfolders;
  shared.FindFile1.FileMask = std::string(mask);
  if (attributes) shared.FindFile1.FileAttr = *attributes;
  shared.Memo1 = shared.FindFile1.Search();
}

// Copies the files listed in Memo1 into the kind's folder and records them:
// every line written before the copies, in one record write, and the lines
// of copies that did not happen dropped afterwards.
void install_found(Shared& shared, Feedback& ui, PackageInstall& install, const SideFileKind& kind,
                   const std::string& skip_folder) {
  if (shared.Memo1.empty()) return;
  StepRecord step = step_record_of(shared, install, true);
  const RecordIndex& others = other_records(shared, install);
  InstallPlan* dry = install.dry_run;

  std::string target_folder = shared.fs_path + std::string(kind.folder) + platform::sep;
  if (!kind.subfolder.empty()) target_folder += std::string(kind.subfolder) + platform::sep;
  if (!dry) {
    if (!platform::folder_exists(target_folder)) platform::create_folder(target_folder);
    remove_stale_temporaries(target_folder);
  }
  // Held open, so that its letter case is looked up once for all the files.
  platform::Folder to(target_folder, false);

  struct Copy {
    std::string source, target, name;
  };
  std::vector<Copy> copies;
  for (const auto& found : shared.Memo1) {
    if (!skip_folder.empty() && parent_folder(found) == skip_folder) continue;
    const std::string name = last_path_part(found, 0);
    const std::string target = target_folder + name;
    // A name with a line end cannot be listed as one path; it is not
    // installed at all.
    if (has_line_break(name)) {
      report_copy_failure(install.report, target, EINVAL);
      continue;
    }
    const bool listed_before = step.lists(target);
    const FilePlan planned = to.is_open() ? plan_file(step, others, target, target_folder, to, name)
                                          : plan_file(step, others, target, target_folder);
    if (dry) note_kept(*dry, others, target, target_folder, planned, listed_before);
    if (planned == FilePlan::copy) copies.push_back({found, target, name});
  }
  step.write();
  if (dry) {
    for (const auto& copy : copies) dry->copy(copy.source, copy.target);
    return;
  }
  platform::FileCopier copier([&ui] { ui.pump(); });
  copier.keep_sums(true);
  for (const auto& copy : copies) {
    const auto copied = copier.copy(copy.source, to, copy.name);
    install.copied.add(copy.target, copied);
    if (copied.status != platform::CopyStatus::copied) step.drop(copy.target);
    if (copied.status == platform::CopyStatus::failed)
      report_copy_failure(install.report, copy.target, copied.error);
    ui.pump();
  }
  step.finish();
}

// Found by the kind's search of the package (Memo1), leaving out the files
// lying directly in skip_folder.
std::size_t found_count(Shared& shared, const std::string& package_path, const SideFileKind& kind,
                        const std::string& skip_folder = {}) {
  search(shared, package_path, kind.mask, true, kind.attributes);
  return static_cast<std::size_t>(
      std::count_if(shared.Memo1.begin(), shared.Memo1.end(), [&](const std::string& found) {
        return skip_folder.empty() || parent_folder(found) != skip_folder;
      }));
}

}  // namespace

SideFileCount count_side_files(Shared& shared, const std::string& package_path) {
  SideFileCount count;
  // In the order of the steps, whose searches keep the attributes of the
  // one before when a kind sets none.
  shared.FindFile1.FileAttr = {};
  count.gauges = found_count(shared, package_path, gauges_kind) +
                 found_count(shared, package_path, cab_gauges_kind);
  search(shared, package_path, "sound.cfg", true, std::nullopt);
  const std::string own_sounds =
      shared.Memo1.size() == 1 ? parent_folder(shared.Memo1[0]) : std::string();
  count.sounds = found_count(shared, package_path, sounds_kind, own_sounds);
  count.modules = found_count(shared, package_path, modules_kind);
  count.flights = found_count(shared, package_path, flights_kind);
  count.weather = found_count(shared, package_path, weather_kind);
  count.effects = found_count(shared, package_path, effects_kind);
  if (count.effects > 0) {
    const std::string effects_folder = parent_folder(shared.Memo1[0]);
    search(shared, effects_folder, "aircraft.cfg", false, TFileAttr{});
    if (shared.Memo1.empty()) count.textures = found_count(shared, effects_folder, textures_kind);
  }
  shared.Memo1.clear();
  shared.FindFile1.FileAttr = {};
  return count;
}

std::string side_files_text(const SideFileCount& count) {
  const std::pair<std::size_t, const char*> kinds[] = {
      {count.gauges, "gauge"},           {count.sounds, "sound"},         {count.modules, "module"},
      {count.flights, "flight"},         {count.weather, "weather file"}, {count.effects, "effect"},
      {count.textures, "effect texture"}};
  std::string text;
  for (const auto& [n, what] : kinds) {
    if (n == 0) continue;
    if (!text.empty()) text += ", ";
    text += std::to_string(n) + " " + what + (n == 1 ? "" : "s");
  }
  return text;
}

void install_side_files(Shared& shared, Feedback& ui, PackageInstall& install,
                        const std::string& package_path, const SideFileKind& kind,
                        const std::string& skip_folder) {
  search(shared, package_path, kind.mask, true, kind.attributes);
  install_found(shared, ui, install, kind, skip_folder);
}

void install_gauges(Shared& shared, Feedback& ui, PackageInstall& install,
                    const std::string& package_path) {
  install_side_files(shared, ui, install, package_path, gauges_kind);
}

void install_cab_gauges(Shared& shared, Feedback& ui, PackageInstall& install,
                        const std::string& package_path) {
  install_side_files(shared, ui, install, package_path, cab_gauges_kind);
}

void install_sounds(Shared& shared, Feedback& ui, PackageInstall& install,
                    const std::string& package_path) {
  search(shared, package_path, "sound.cfg", true, std::nullopt);
  const std::string own_sounds =
      shared.Memo1.size() == 1 ? parent_folder(shared.Memo1[0]) : std::string();
  install_side_files(shared, ui, install, package_path, sounds_kind, own_sounds);
}

void install_modules(Shared& shared, Feedback& ui, PackageInstall& install,
                     const std::string& package_path) {
  install_side_files(shared, ui, install, package_path, modules_kind);
}

void install_flights(Shared& shared, Feedback& ui, PackageInstall& install,
                     const std::string& package_path) {
  install_side_files(shared, ui, install, package_path, flights_kind);
}

void install_weather(Shared& shared, Feedback& ui, PackageInstall& install,
                     const std::string& package_path) {
  install_side_files(shared, ui, install, package_path, weather_kind);
}

void install_effects(Shared& shared, Feedback& ui, PackageInstall& install,
                     const std::string& package_path) {
  install_side_files(shared, ui, install, package_path, effects_kind);
  if (shared.Memo1.empty()) return;
  const std::string effects_folder = parent_folder(shared.Memo1[0]);
  search(shared, effects_folder, "aircraft.cfg", false, TFileAttr{});
  if (!shared.Memo1.empty()) return;  // the effects belong to an airplane folder
  search(shared, effects_folder, textures_kind.mask, true, textures_kind.attributes);
  install_found(shared, ui, install, textures_kind, {});
}

}  // namespace wingstow

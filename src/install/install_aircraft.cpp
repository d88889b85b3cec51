#include "install/install_aircraft.h"

#include <cerrno>

#include "install/path_helpers.h"
#include "install/record.h"
#include "install/side_files.h"
#include "platform/files.h"

namespace wingstow {
namespace {

bool left_out_of_airplane(const std::string& name) {
  if (name == "gauges") return true;  // letter case counts: "Gauges" is copied
  if (name.size() < 4) return false;
  const std::string_view ending = std::string_view(name).substr(name.size() - 4);
  return ending == ".gau" || ending == ".GAU" || ending == ".zip" || ending == ".ZIP";
}

// A name with a line end cannot be listed as one path in the record.
void warn_unusable_name(Ui& ui) { warn_copy_failed(ui, EINVAL); }

// A package is installed once: its record tells it is there.
bool refused_as_installed(Shared& shared, Ui& ui, const std::string& package_path, bool batch) {
  if (!record_exists(shared)) return false;
  if (!batch)
    ui.message(MessageKind::information, "Airplane already installed " + package_path, Buttons::ok);
  shared.abort_flag = 1;
  return true;
}

// Several airplanes: one line and one folder per "aircraft.cfg", each line
// written before the copy it describes.
void install_several(Shared& shared, Ui& ui) {
  const std::string record = record_path(shared);
  const std::string aircraft = shared.fs_path + "aircraft" + platform::sep;
  create_record(record);
  for (const auto& config : shared.Memo1) {
    const std::string folder = parent_folder(config);
    const std::string name = last_path_part(folder.substr(0, folder.size() - 1), 0);
    if (has_line_break(name)) {
      warn_unusable_name(ui);
      continue;
    }
    append_record_line(record, aircraft + name);
    copy_folder_tree(folder, aircraft + name + platform::sep, true, [&ui] { ui.pump(); });
  }
}

}  // namespace

void install_aircraft(Shared& shared, Ui& ui, const std::string& package_path) {
  const std::string tag = ui.simulator_tag();
  const std::string package_name = last_path_part(package_path, 0);
  const bool batch = ui.prompt_checked();
  shared.abort_flag = 0;

  shared.Memo1.clear();
  shared.FindFile1.setPath(package_path);
  shared.FindFile1.FileMask = "aircraft.cfg";
  shared.FindFile1.FileAttr = {};
  shared.FindFile1.InSubFolders = true;
  shared.Memo1 = shared.FindFile1.Search();
  const std::size_t found = shared.Memo1.size();

  if (found > 1) {
    ui.progress_caption(package_path + "  ---->  " + tag);
    if (!batch &&
        ui.message(MessageKind::warning,
                   "More than one airplane will be installed , Do you want to continue ? ",
                   Buttons::yes_no) != Answer::yes) {
      shared.abort_flag = 1;
      return;
    }
    shared.record_name = package_name + ".txt";
    if (refused_as_installed(shared, ui, package_path, batch)) return;
    install_several(shared, ui);
    return;
  }

  if (found == 0) {
    if (!batch)
      ui.message(MessageKind::information, "No airplane found, Installation not possible !",
                 Buttons::ok);
    shared.abort_flag = 1;
    return;
  }

  ui.progress_caption(package_path + "  ----> " + tag);
  shared.record_name = package_name + ".txt";
  if (refused_as_installed(shared, ui, package_path, batch)) return;
  const std::string target = shared.fs_path + "aircraft" + platform::sep + package_name;
  if (has_line_break(package_name)) {
    warn_unusable_name(ui);
    shared.abort_flag = 1;
    return;
  }
  const std::string record = record_path(shared);
  create_record(record);
  append_record_line(record, target);
  // The folder holding the configuration, wherever it lies, goes in under
  // the package's name.
  copy_folder_tree(parent_folder(shared.Memo1[0]), target + platform::sep, true,
                   [&ui] { ui.pump(); });
}

void copy_folder_tree(const std::string& source, const std::string& target, bool recurse,
                      const std::function<void()>& between_files) {
  if (!platform::folder_exists(target)) platform::create_folder(target);
  const auto entries =
      platform::find_entries(source, "*.*", platform::attr_directory | platform::attr_archive);
  for (const auto& entry : entries) {
    const std::string& name = entry.name;
    if (name == "." || name == ".." || left_out_of_airplane(name) || has_line_break(name)) continue;
    if (entry.attributes & platform::attr_directory) {
      if (recurse && !entry.link)
        copy_folder_tree(source + name + platform::sep, target + name + platform::sep, recurse,
                         between_files);
    } else if (entry.attributes & platform::attr_archive) {
      platform::copy_file(source + name, target + name, between_files);
      if (between_files) between_files();
    }
  }
}

}  // namespace wingstow

#include "commands/simulator_choice.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <optional>
#include <utility>

#include "platform/error.h"
#include "platform/files.h"
#include "settings/simulator.h"

namespace wingstow {
namespace {

constexpr std::array<std::string_view, 4> working_folders = {"download_fs2002", "download_fs2004",
                                                             "unzip_fs2002", "unzip_fs2004"};

// Controls that only make sense once the simulator's folder is known.
constexpr std::array<Control, 8> browse_controls = {
    Control::LsFilelistView_util, Control::FlatButton1, Control::FlatButton2,
    Control::FlatButton3,         Control::fs2002x,     Control::fs2004x,
    Control::BtnRefresh,          Control::Btn1LevelUp};
constexpr std::array<Control, 6> command_controls = {Control::prompt,        Control::SpeedButton11,
                                                     Control::SpeedButton12, Control::SpeedButton1,
                                                     Control::SpeedButton2,  Control::SpeedButton3};
constexpr std::array<Control, 10> locked_while_choosing = {
    Control::LsFilelistView_util, Control::SpeedButton5,  Control::SpeedButton7,
    Control::SpeedButton8,        Control::SpeedButton10, Control::BtnRefresh,
    Control::Btn1LevelUp,         Control::FlatButton1,   Control::FlatButton2,
    Control::FlatButton3};

template <std::size_t N>
void set_all(Ui& ui, const std::array<Control, N>& controls, bool enabled) {
  for (auto control : controls) ui.set_enabled(control, enabled);
}

// Creates folder and the missing folders above it; on failure, the path
// that could not be made and errno.
std::optional<std::pair<std::string, int>> create_folder_chain(const std::string& folder) {
  if (platform::folder_exists(folder)) return std::nullopt;
  const std::string path = platform::without_trailing_separators(folder);
  const auto cut = path.rfind(platform::sep);
  if (cut != std::string::npos && cut > 0)
    if (auto failure = create_folder_chain(path.substr(0, cut))) return failure;
  if (platform::create_folder(path)) return std::nullopt;
  return std::make_pair(path, errno);
}

// The program folder itself may still be missing: the user's data folder is
// made on the first start.
void create_working_folders(const Shared& shared) {
  for (auto name : working_folders) {
    const std::string folder = shared.program_folder + std::string(name);
    if (const auto failure = create_folder_chain(folder))
      throw Error("Impossible de créer " + folder + " (" + failure->first + ": " +
                  std::strerror(failure->second) + ")");
  }
}

// The working folder as the disk spells it, with its trailing separator.
std::string working_folder(const Shared& shared, const std::string& name) {
  return platform::resolve(shared.program_folder + name) + platform::sep;
}

// Stores the simulator folder and brings the window up to date with it; a
// folder that the settings file cannot hold as it is is refused and the user
// told why.
bool accept_fs_path(Shared& shared, Ui& ui, const std::string& folder) {
  const std::string why =
      storing_refusal(shared.settings_file.write(settings_section, shared.fs_path_key, folder));
  if (!why.empty()) {
    ui.message(MessageKind::warning,
               "The folder " + folder + " cannot be stored in the settings: " + why, Buttons::ok);
    return false;
  }
  shared.fs_path = folder;
  refresh_catalogue(shared, ui);
  ui.set_text(Control::edit_download, shared.download_path);
  ui.set_text(Control::edit_unzip, shared.unzip_path);
  ui.show_folder(shared.unzip_path);
  set_all(ui, browse_controls, true);
  return true;
}

// The status line once a simulator is ready: which folder, how much room.
std::string ready_status(const Shared& shared, std::string_view tag) {
  std::string text =
      std::string(tag) + " folder: " + shared.fs_path + " (" + free_space_text(shared) + " free)";
  if (!shared.catalogue_notice.empty()) text += ". " + shared.catalogue_notice;
  return text;
}

}  // namespace

void setup_simulator(Shared& shared, Ui& ui, std::string_view tag) {
  create_working_folders(shared);

  if (tag == "fs2004" || tag == "fs2002") {
    const std::string year(tag.substr(2));
    shared.fs_path_key = "fs_path_" + year;
    // Spelled as on disk, so that the file list's folder compares equal.
    shared.download_path = working_folder(shared, "download_fs" + year);
    shared.unzip_path = working_folder(shared, "unzip_fs" + year);
    ui.set_text(Control::edit_download, shared.download_path);
    ui.set_text(Control::edit_unzip, shared.unzip_path);
  }

  shared.fs_path =
      shared.settings_file.read(settings_section, shared.fs_path_key, settings_default);
  // Paths are made by appending names to fs_path: a value edited by hand
  // without its separator would send "FS9" + "gauges" beside the simulator.
  if (platform::folder_exists(shared.fs_path))
    shared.fs_path = platform::with_trailing_separator(shared.fs_path);
  ui.set_text(Control::e_fs_path, shared.fs_path);

  if (platform::folder_exists(shared.fs_path) && accept_fs_path(shared, ui, shared.fs_path)) {
    ui.set_text(Control::Edit2, free_space_text(shared));
    ui.set_active_page(Control::TabSheet1);
    set_all(ui, command_controls, true);
    ui.status(ready_status(shared, tag));
    return;
  }

  set_all(ui, locked_while_choosing, false);
  set_all(ui, command_controls, false);
  ui.await_simulator_finds();
  std::vector<std::string> found;
  for (const SimulatorRoot& root : shared.simulator_roots)
    if (root.tag == tag) found.push_back(root.root);
  const auto selected = ui.run_chooser("Set the main " + std::string(tag) + " path", found);
  if (!selected) {
    ui.status("No " + std::string(tag) +
              " folder chosen: press \"Set main FS path\" (the drive button) to choose it");
    return;
  }

  // A drive root already ends with the separator.
  const std::string chosen = platform::with_trailing_separator(*selected);
  if (chosen == stored_simulator_folder(shared, tag == "fs2002" ? "fs2004" : "fs2002")) {
    ui.message(MessageKind::warning, "Path already used !, choose the right one", Buttons::ok);
    ui.set_enabled(Control::BitBtn1, false);
    return;
  }

  ui.set_enabled(Control::BitBtn1, false);
  if (!accept_fs_path(shared, ui, chosen)) return;
  ui.set_text(Control::e_fs_path, chosen);
  set_all(ui, command_controls, true);
  ui.set_text(Control::Edit2, free_space_text(shared));
  ui.status(ready_status(shared, tag));
}

void select_simulator(Shared& shared, Ui& ui, std::string_view tag) {
  shared.fs_version = std::string(tag);
  setup_simulator(shared, ui, tag);
  // A tag is one short word: it always reads back as written.
  shared.settings_file.write(settings_section, key_fs_start, tag);
}

void set_main_fs_path(Shared& shared, Ui& ui) {
  const std::string tag = ui.simulator_tag();
  if (tag.empty()) return;
  shared.fs_version = tag;
  setup_simulator(shared, ui, tag);
}

}  // namespace wingstow

#include "commands/package_buttons.h"

#include <cstddef>

#include "base/path_helpers.h"
#include "check/airplane_check.h"
#include "install/install_command.h"
#include "packages/entry_names.h"
#include "packages/unzip.h"
#include "platform/files.h"

namespace wingstow {

void SpeedButton5Click(Shared& shared, Ui& ui, ZipMaster& zip) {
  shared.unzip_cancel_flag = 0;
  if (!same_path(ui.list_directory(), shared.download_path)) {
    ui.message(MessageKind::information,
               "Install to fs is only possible from the download path directory", Buttons::ok);
    return;
  }
  if (!window_takes_archive(ui.list_selected_item())) {
    ui.message(MessageKind::information, "Select a valid zip file", Buttons::ok);
    return;
  }
  const ListSelection selected = highlighted_entries(ui);
  unzip_archives(shared, ui, zip, selected.paths, [&](std::size_t index, UnzipResult result) {
    if (result == UnzipResult::unzipped) ui.set_list_item_highlighted(selected.items[index], false);
  });
}

void SpeedButton10Click(Shared& shared, Ui& ui, ZipMaster& zip) {
  ui.set_enabled(Control::SpeedButton10, false);
  zip.Cancel();
  shared.unzip_cancel_flag = 1;
}

void SpeedButton7Click(Shared& shared, Ui& ui, ZipMaster& zip) {
  if (!same_path(ui.list_directory(), shared.unzip_path)) {
    ui.message(MessageKind::information,
               "Install to fs is only possible from the unzip path directory", Buttons::ok);
    return;
  }
  const ListSelection highlighted = highlighted_entries(ui);
  // A package whose airplanes the check finds fault with goes in only when
  // the user agrees; one kept back stays highlighted.
  ListSelection selected;
  for (std::size_t i = 0; i < highlighted.paths.size(); ++i) {
    const std::string& path = highlighted.paths[i];
    if (platform::folder_exists(path) && !is_parent_entry(path))
      if (const auto question = check_before_install(path, shared.fs_path).question)
        if (ui.ask(*question) != Answer::yes) continue;
    selected.items.push_back(highlighted.items[i]);
    selected.paths.push_back(path);
  }
  if (selected.paths.empty() && !highlighted.paths.empty()) {
    ui.status("Nothing installed");
    return;
  }
  int last = -1;  // the last entry the run reached
  install_packages(shared, ui, zip, selected.paths, [&](std::size_t index, InstallResult) {
    last = selected.items[index];
    ui.set_list_item_highlighted(last, false);
  });
  ui.list_refresh();
  if (last >= 0 && last < ui.list_count()) ui.set_list_item_highlighted(last, true);
}

}  // namespace wingstow

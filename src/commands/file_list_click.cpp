#include "commands/file_list_click.h"

#include "base/path_helpers.h"
#include "check/airplane_check.h"
#include "commands/package_analysis.h"
#include "commands/pictures.h"
#include "packages/entry_names.h"
#include "platform/files.h"
#include "settings/folder_size.h"
#include "settings/simulator.h"

namespace wingstow {
namespace {

// The wait cursor for as long as a folder is measured and searched, however
// that ends.
class WaitCursor {
 public:
  explicit WaitCursor(Ui& ui) : ui_(ui) { ui_.set_wait_cursor(true); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
  ~WaitCursor() { ui_.set_wait_cursor(false); }

 private:
  Ui& ui_;
};

// The airplane check's count goes beside the status line, whose text it
// never hides, and into the entry's tooltip.
void tell_check_findings(const Shared& shared, Ui& ui, const std::string& package) {
  const std::size_t found = check_package_folder(package, shared.fs_path).findings.size();
  const std::string text = found == 0 ? std::string() : problems_found_text(found);
  ui.set_check_notice(text, package);
  for (int i = 0; i < ui.list_count(); ++i)
    if (ui.list_item_path(i) == package) {
      ui.set_list_item_tooltip(i, text);
      break;
    }
}

}  // namespace

std::string selection_size_text(Ui& ui) {
  std::int64_t kib = 0;
  for (const std::string& path : highlighted_entries(ui).paths) {
    // The parent entry names a folder too, but is not part of the selection's
    // content.
    if (!is_parent_entry(path) && platform::folder_exists(path))
      kib += folder_size(path, true) / 1024;
  }
  return size_text(kib);
}

void LsFilelistView_utilClick(Shared& shared, Ui& ui) {
  const std::string selected = ui.list_selected_item();
  const std::string directory = ui.list_directory();
  const bool parent = is_parent_entry(selected);
  // Every entry of the drives list is a drive, whatever its path looks like.
  const bool drive =
      directory == "Drives" || (selected.size() >= 2 && selected[selected.size() - 2] == ':');
  const bool folder = platform::folder_exists(selected);
  const bool zip = window_takes_archive(selected);

  ui.set_enabled(Control::SpeedButton5,
                 !parent && !drive && zip && same_path(directory, shared.download_path));
  // The count of the entry clicked before goes; a package's own follows.
  ui.set_check_notice({}, {});

  if (!parent && !drive && folder) {
    // A package of thousands of files takes a while to measure.
    const WaitCursor waiting(ui);
    ui.set_text(Control::Edit1, selection_size_text(ui));
    if (!same_path(directory, shared.unzip_path)) return;
    ui.set_enabled(Control::SpeedButton7, true);
    ui.clear_picture(Control::AdvImage3);
    ui.clear_picture(Control::AdvImage1);
    ui.status("");
    show_package_pictures(shared, ui);
    check_already_installed(shared, ui);
    check_executable(shared, ui);
    tell_check_findings(shared, ui, selected);
    return;
  }
  ui.set_text(Control::Edit1, "");
  ui.set_enabled(Control::SpeedButton7, false);
  ui.clear_picture(Control::AdvImage1);
  ui.clear_picture(Control::AdvImage3);
  ui.set_picture_list({});
}

}  // namespace wingstow

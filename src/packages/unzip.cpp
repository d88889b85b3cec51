#include "packages/unzip.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <string>

#include "base/path_helpers.h"
#include "base/ui.h"
#include "packages/entry_names.h"
#include "platform/atomic_file.h"
#include "platform/control_text.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/trash.h"

namespace wingstow {
namespace {

constexpr std::array<Control, 9> guarded_controls = {
    Control::SpeedButton40, Control::SpeedButton9, Control::SpeedButton6,
    Control::Btn1LevelUp,   Control::BtnRefresh,   Control::SpeedButton5,
    Control::FlatButton1,   Control::FlatButton2,  Control::FlatButton3};
constexpr int bar_maximum = 10001;

// The window's browsing and commands wait while archives are unzipped; only
// Cancel stays.
void set_guarded(Feedback& ui, bool enabled) {
  if (Window* window = ui.window())
    for (auto control : guarded_controls) window->set_enabled(control, enabled);
}

void set_cancel_enabled(Feedback& ui, bool enabled) {
  if (Window* window = ui.window()) window->set_enabled(Control::SpeedButton10, enabled);
}

// Lies in a package folder while its archive is being extracted; hidden, so
// that no search of the package sees it.
constexpr const char* unzip_marker = ".wingstow-unzipping";

// Removes a package folder this run created, so that the next Unzip
// extracts the archive again instead of taking the remains for a package.
void remove_package_folder(Feedback& ui, const std::string& folder) {
  errno = 0;
  const int error = platform::delete_tree(folder) ? 0 : (errno != 0 ? errno : EIO);
  if (error != 0)
    ui.message(MessageKind::warning,
               "The folder '" + folder + "' of an unfinished extraction could not be removed (" +
                   std::strerror(error) + "); remove it before unzipping the archive again",
               Buttons::ok);
}

// Whether what Extract left is a package: yes after success, and after
// "incomplete", where only the entries named in the component's box were
// refused (unsafe names, links, damaged or undecipherable entries) and all
// the others are sound; a new run would refuse the same entries again. Every
// other failure (cancelled, no archive, not a ZIP at all, a damaged table of
// contents, overlapping entries, a full or read-only disk, a component
// already busy) leaves at best a part of the package that the next Unzip
// would take for the whole.
bool package_usable(int result) { return result == 0 || result == ZipMaster::extract_incomplete; }

// What a run did, for the status line at its end.
struct UnzipCounts {
  int unzipped = 0;
  int already = 0;
  int failed = 0;
};

UnzipResult unzip_one(Shared& shared, Feedback& ui, ZipMaster& zip, const std::string& archive) {
  if (const std::string why = name_refusal(last_path_part(archive, 0)); !why.empty()) {
    ui.message(MessageKind::warning,
               "'" + platform::escape_controls(archive) + "' was not unzipped: " + why,
               Buttons::ok);
    return UnzipResult::failed;
  }
  set_cancel_enabled(ui, true);
  zip.setZipFileName(archive);
  const std::string folder = shared.unzip_path + package_name_for_archive(archive);
  const std::string marker = folder + platform::sep + unzip_marker;
  // A folder still marked is what a killed Unzip left: extracted again.
  if (platform::folder_exists(folder) && platform::file_exists(marker))
    remove_package_folder(ui, folder);
  if (platform::folder_exists(folder)) {
    ui.status("Airplane  Already uncompressed!");
    return UnzipResult::already_unzipped;
  }
  if (!platform::create_folder(folder))
    throw Error("Directory could not be created ! (" + folder + ": " + std::strerror(errno) + ")");
  // From here the folder is this run's own: a failure takes it back, and
  // the archive stays as it was for another try.
  if (const int error = platform::write_file_atomically(marker, {})) {
    remove_package_folder(ui, folder);
    throw Error("Directory could not be created ! (" + folder + ": " + std::strerror(error) + ")");
  }
  zip.ExtrBaseDir = folder + platform::sep;
  int result = 0;
  try {
    result = zip.Extract();
  } catch (const std::exception&) {
    remove_package_folder(ui, folder);
    ui.message(MessageKind::information, "Problem encountered while extracting !", Buttons::ok);
    return UnzipResult::failed;
  }
  if (!package_usable(result)) {
    remove_package_folder(ui, folder);
    return result == ZipMaster::extract_cancelled ? UnzipResult::cancelled : UnzipResult::failed;
  }
  platform::delete_file(marker);
  return UnzipResult::unzipped;
}

}  // namespace

std::string package_name_for_archive(const std::string& archive_path) {
  std::string name = without_archive_ending(last_path_part(archive_path, 0));
  std::replace(name.begin(), name.end(), '.', '_');
  return name;
}

std::string name_refusal(std::string_view name) {
  if (!platform::has_control_character(name)) return {};
  return "its name holds a control character (such as a line break); rename it first";
}

bool unzipped_already(const Shared& shared, const std::string& archive_path) {
  const std::string folder = shared.unzip_path + package_name_for_archive(archive_path);
  return platform::folder_exists(folder) && !unzip_interrupted(folder);
}

bool unzip_interrupted(const std::string& package_folder) {
  return platform::file_exists(package_folder + platform::sep + unzip_marker);
}

std::string unzip_interrupted_text(const std::string& package_folder) {
  return "The package folder " + package_folder +
         " is not complete: its Unzip was interrupted. Unzip its archive again, then install it";
}

void unzip_archives(Shared& shared, Feedback& ui, ZipMaster& zip,
                    const std::vector<std::string>& archives, const UnzipDone& done) {
  shared.unzip_cancel_flag = 0;
  ui.set_wait_cursor(true);
  set_guarded(ui, false);
  // The window comes back however the run ends.
  struct Restore {
    Feedback& ui;
    ~Restore() {
      set_guarded(ui, true);
      ui.set_wait_cursor(false);
      set_cancel_enabled(ui, false);
    }
  } restore{ui};
  UnzipCounts counts;
  for (std::size_t i = 0; i < archives.size() && shared.unzip_cancel_flag != 1; ++i) {
    const UnzipResult result = unzip_one(shared, ui, zip, archives[i]);
    switch (result) {
      case UnzipResult::unzipped:
        ++counts.unzipped;
        break;
      case UnzipResult::already_unzipped:
        ++counts.already;
        break;
      case UnzipResult::failed:
        ++counts.failed;
        break;
      case UnzipResult::cancelled:
        break;
    }
    if (done) done(i, result);
  }
  // One archive already there keeps its own status; anything more is counted.
  if (counts.unzipped == 0 && counts.failed == 0 && shared.unzip_cancel_flag == 0 &&
      counts.already > 0)
    return;
  std::string text = shared.unzip_cancel_flag == 1 ? "Unzip cancelled: " : "End of unzip: ";
  text += std::to_string(counts.unzipped) + " package(s) unzipped into " + shared.unzip_path;
  if (counts.already > 0) text += ", " + std::to_string(counts.already) + " already uncompressed";
  if (counts.failed > 0) text += ", " + std::to_string(counts.failed) + " failed";
  ui.status(text);
}

void ZipMaster1Progress(Shared& shared, Feedback& ui, int kind, std::uint64_t size) {
  switch (kind) {
    case 4:
      shared.unzip_total_size = static_cast<std::int64_t>(size);
      shared.unzip_done_size = 0;
      ui.progress_bytes(0, size);
      ui.set_progress_bar(bar_maximum, 1);
      break;
    case 1: {
      shared.unzip_done_size += static_cast<std::int64_t>(size);
      int position = bar_maximum;
      if (shared.unzip_total_size != 0)
        position =
            static_cast<int>(std::lround(static_cast<double>(shared.unzip_done_size * 10000) /
                                         static_cast<double>(shared.unzip_total_size))) +
            1;
      ui.progress_bytes(static_cast<std::uint64_t>(shared.unzip_done_size),
                        static_cast<std::uint64_t>(shared.unzip_total_size));
      ui.set_progress_bar(bar_maximum, position);
      break;
    }
    case 2:
      ui.set_progress_bar(bar_maximum, 1);
      break;
    default:
      break;
  }
}

void ZipMaster1CRC32Error(bool& do_extract) { do_extract = false; }

}  // namespace wingstow

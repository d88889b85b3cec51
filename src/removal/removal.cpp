#include "removal/removal.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

#include "install/record.h"
#include "platform/files.h"
#include "removal/ascii_case.h"
#include "removal/catalogue.h"
#include "removal/shell_file_operation.h"
#include "settings/simulator.h"

namespace wingstow {
namespace {

namespace fs = std::filesystem;

// The simulator's own folders, which every airplane shares.
constexpr std::string_view standard_folders[] = {"aircraft",       "gauges",         "sound",
                                                 "effects",        "modules",        "flights",
                                                 "flights/myflts", "effects/texture"};

constexpr std::string_view folder_failure = "Delete not possible ";
constexpr std::string_view file_failure = "delete not possible ";

std::optional<fs::path> real_folder(std::string_view folder) {
  std::error_code ec;
  const fs::path path = fs::canonical(platform::resolve(folder), ec);
  if (ec || !fs::is_directory(path, ec)) return std::nullopt;
  return path;
}

// Read-only files are refused by the delete service, except those whose
// attributes are exactly read-only plus archive, which lose read-only first.
bool delete_listed_file(const std::string& path) {
  std::error_code ec;
  // A link goes as itself; the attributes read through it are its target's,
  // which may lie anywhere.
  if (!fs::is_symlink(fs::symlink_status(path, ec))) {
    constexpr auto read_only_archive = platform::attr_read_only | platform::attr_archive;
    if (platform::file_attributes(path) == read_only_archive)
      platform::set_file_attributes(path, platform::attr_archive);
  }
  return platform::delete_file(path);
}

class RecordRemoval {
 public:
  RecordRemoval(Shared& shared, Ui& ui, const std::string& record)
      : shared_(shared), ui_(ui), record_(record), log_(record + ".err") {}

  // False when something listed stayed, so the record stays too.
  bool remove_lines() {
    std::vector<std::string> lines;
    read_record_lines(record_, [&](const std::string& line) {
      lines.push_back(line);
      return true;
    });
    create_record(log_);
    bool success = true;
    for (const auto& line : lines) {
      if (!remove_line(line)) success = false;
      ui_.pump();
    }
    return success;
  }

  void delete_record() {
    if (platform::delete_file(record_)) return;
    ui_.message(MessageKind::information, "Problem encountered during the delete operation.",
                Buttons::ok);
    append_record_line(log_, std::string(file_failure) + record_);
  }

 private:
  bool remove_line(const std::string& line) {
    const auto target = removable_path(shared_.fs_path, line);
    if (platform::folder_exists(target ? *target : line)) {
      if (target && shell_delete_folder(*target)) return true;
      return fail(folder_failure, line);
    }
    // A refused line fails even when another record lists it too.
    if (target && listed_in_other_record(shared_, line, record_)) return true;
    if (target && delete_listed_file(*target)) return true;
    return fail(file_failure, line);
  }

  bool fail(std::string_view log_text, const std::string& line) {
    append_record_line(log_, std::string(log_text) + line);
    ui_.message(MessageKind::information, std::string(folder_failure) + line, Buttons::ok);
    return false;
  }

  Shared& shared_;
  Ui& ui_;
  const std::string& record_;
  const std::string log_;
};

}  // namespace

std::optional<std::string> removable_path(std::string_view fs_path, std::string_view line) {
  try {
    if (fs_path.empty() || line.empty()) return std::nullopt;
    const auto root = real_folder(fs_path);
    if (!root) return std::nullopt;
    fs::path path = fs::path(std::string(line)).lexically_normal();
    if (!path.is_absolute()) return std::nullopt;
    if (!path.has_filename()) path = path.parent_path();  // a trailing separator
    path = fs::path(platform::resolve(path.string()));
    const fs::path name = path.filename();
    if (name.empty() || name == "." || name == "..") return std::nullopt;
    // The folder holding the entry is taken where its links lead; the entry
    // itself, when it is a link, goes as a link.
    std::error_code ec;
    const fs::path target = fs::weakly_canonical(path.parent_path(), ec) / name;
    if (ec) return std::nullopt;

    auto [in_root, in_target] =
        std::mismatch(root->begin(), root->end(), target.begin(), target.end());
    if (in_root != root->end() || in_target == target.end()) return std::nullopt;
    std::string below;
    for (; in_target != target.end(); ++in_target) {
      if (!below.empty()) below += '/';
      below += in_target->string();
    }
    below = ascii_lower(below);
    for (const auto folder : standard_folders)
      if (below == folder) return std::nullopt;
    return target.string();
  } catch (...) {
    return std::nullopt;
  }
}

void SpeedButton8Click(Shared& shared, Ui& ui) {
  const std::string tag = ui.simulator_tag();
  if (ui.message(MessageKind::warning, "Are you really sure ? ", Buttons::yes_no) != Answer::yes)
    return;
  ui.progress_animation(Animation::delete_file);
  ui.progress_start();
  ui.progress_show();

  bool waiting = false;
  try {
    const auto entries = ui.catalogue();
    for (std::size_t i = 0; i < entries.size(); ++i) {
      if (ui.catalogue_checked(static_cast<int>(i))) {
        const std::string& record = entries[i];
        ui.progress_caption("delete " + record + " <---- " + tag);
        ui.set_enabled("SpeedButton8", false);
        ui.set_wait_cursor(true);
        waiting = true;
        ui.set_enabled("util", false);

        RecordRemoval removal(shared, ui, record);
        if (removal.remove_lines()) removal.delete_record();

        ui.set_wait_cursor(false);
        waiting = false;
        ui.progress_stop();
        ui.list_refresh();
        ui.set_text("Edit2", free_space_text(shared));
      }
      ui.clear_picture("AdvImage2");
    }
    refresh_catalogue(shared, ui);
    ui.message(MessageKind::information, "End of  delete from " + tag, Buttons::ok);
  } catch (...) {
    // Records already removed must leave the catalogue all the same.
    if (waiting) ui.set_wait_cursor(false);
    ui.progress_stop();
    refresh_catalogue(shared, ui);
    ui.progress_close();
    ui.set_enabled("util", true);
    throw;
  }
  ui.progress_close();
  ui.set_enabled("util", true);
}

}  // namespace wingstow

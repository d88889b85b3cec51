#include "removal/removal.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

#include "install/record.h"
#include "install/record_index.h"
#include "platform/files.h"
#include "platform/trash.h"
#include "removal/ascii_case.h"
#include "removal/shell_file_operation.h"
#include "settings/simulator.h"

namespace wingstow {
namespace {

namespace fs = std::filesystem;

// The simulator's own folders, which every airplane shares.
constexpr std::string_view standard_folders[] = {"aircraft",       "gauges",         "sound",
                                                 "effects",        "modules",        "flights",
                                                 "flights/myflts", "effects/texture"};

// The folders the installers write into: a record line names something
// strictly below one of them or it names nothing an install brought.
constexpr std::string_view install_folders[] = {
    "aircraft", "gauges", "sound", "modules", "effects", "effects/texture", "flights/myflts"};

constexpr std::string_view folder_failure = "Delete not possible ";
constexpr std::string_view file_failure = "delete not possible ";

bool strictly_below_install_folder(std::string_view below) {
  return std::ranges::any_of(install_folders, [&](std::string_view folder) {
    return below.size() > folder.size() + 1 && below.starts_with(folder) &&
           below[folder.size()] == '/';
  });
}

std::optional<fs::path> real_folder(std::string_view folder) {
  std::error_code ec;
  const fs::path path = fs::canonical(platform::resolve(folder), ec);
  if (ec || !fs::is_directory(path, ec)) return std::nullopt;
  return path;
}

bool gone(const std::string& path) {
  std::error_code ec;
  return fs::symlink_status(path, ec).type() == fs::file_type::not_found;
}

// A line as it can be logged and shown: a NUL would end the text early.
std::string printable(std::string_view line) {
  std::string text;
  for (const char c : line) {
    if (c == '\0')
      text += "\\0";
    else
      text += c;
  }
  return text;
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

// What a run of the command carries from one record to the next.
struct RemovalRun {
  // Who lists what, read once; a record leaves it when it is deleted, so a
  // shared file goes with the last record that lists it.
  RecordIndex owners;
  // The answer about folders that no trash takes, asked at most once.
  std::optional<bool> delete_for_good;
};

class RecordRemoval {
 public:
  RecordRemoval(Shared& shared, Ui& ui, const std::string& record, RemovalRun& run)
      : shared_(shared), ui_(ui), record_(record), log_(record + ".err"), run_(run) {}

  // False when something listed stayed, so the record stays too.
  bool remove_lines() {
    const auto lines = record_lines(record_);
    create_record(log_);
    for (const auto& line : lines) {
      remove_line(line);
      ui_.pump();
    }
    if (failures_ > 1)
      ui_.status(std::to_string(failures_) + " paths of " + package_of_record(record_) +
                 " could not be removed, see " + log_);
    return failures_ == 0;
  }

  void delete_record() {
    if (platform::delete_file(record_)) {
      run_.owners.forget(record_);
      mark_install_finished(record_);  // an unfinished install is gone with it
      return;
    }
    ui_.message(MessageKind::information, "Problem encountered during the delete operation.",
                Buttons::ok);
    append_record_line(log_, std::string(file_failure) + record_);
  }

 private:
  void remove_line(const std::string& line) {
    const auto target = removable_path(shared_.fs_path, line);
    if (!target) {
      const bool folder = line.find('\0') == std::string::npos && platform::folder_exists(line);
      return fail(folder ? folder_failure : file_failure, line);
    }
    // Already gone: an earlier run ended halfway, an install failed before
    // copying it, or the record lists it twice.
    if (gone(*target)) return;
    if (platform::folder_exists(*target)) return remove_folder(*target, line);
    if (listed_elsewhere(line)) return;
    if (!delete_listed_file(*target)) fail(file_failure, line);
  }

  // The folder goes whole, even when another record lists a file inside it.
  void remove_folder(const std::string& folder, const std::string& line) {
    if (shell_delete_folder(folder) || gone(folder)) return;
    if (!run_.delete_for_good) {
      run_.delete_for_good = ui_.message(MessageKind::warning,
                                         "The folder " + folder +
                                             " cannot be moved to the trash. Delete such "
                                             "folders permanently?",
                                         Buttons::yes_no) == Answer::yes;
    }
    if (*run_.delete_for_good && platform::delete_tree(folder)) return;
    fail(folder_failure, line);
  }

  bool listed_elsewhere(const std::string& line) const {
    const auto& owners = run_.owners.owners(line);
    return std::ranges::any_of(owners, [&](const std::string& owner) { return owner != record_; });
  }

  // Every failure goes to the log; the first of a record is shown in a box,
  // the others on the status line, so that a broken record is not a flood.
  void fail(std::string_view log_text, const std::string& line) {
    const std::string shown = printable(line);
    append_record_line(log_, std::string(log_text) + shown);
    const std::string text = std::string(folder_failure) + shown;
    if (++failures_ == 1)
      ui_.message(MessageKind::information, text, Buttons::ok);
    else
      ui_.status(text);
  }

  Shared& shared_;
  Ui& ui_;
  const std::string& record_;
  const std::string log_;
  RemovalRun& run_;
  std::size_t failures_ = 0;
};

}  // namespace

std::optional<std::string> removable_path(std::string_view fs_path, std::string_view line) {
  try {
    if (fs_path.empty() || line.empty()) return std::nullopt;
    if (line.find('\0') != std::string_view::npos) return std::nullopt;
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
    if (!strictly_below_install_folder(below)) return std::nullopt;
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
  std::optional<RemovalRun> run;
  std::vector<std::string> kept;  // packages that stay installed after a failure
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

        if (!run) run.emplace(RecordIndex::load(shared.unzip_path));
        RecordRemoval removal(shared, ui, record, *run);
        if (removal.remove_lines()) removal.delete_record();
        if (platform::file_exists(record)) kept.push_back(package_of_record(record));

        ui.set_wait_cursor(false);
        waiting = false;
        ui.progress_stop();
        ui.list_refresh();
        ui.set_text("Edit2", free_space_text(shared));
      }
      ui.clear_picture("AdvImage2");
    }
    refresh_catalogue(shared, ui);
    // The end is not told as a success when something stayed.
    std::string end = "End of  delete from " + tag;
    if (!kept.empty()) {
      end += "\nNot removed completely (see the .err files beside the records):";
      for (const auto& name : kept) end += " " + name;
    }
    ui.message(MessageKind::information, end, Buttons::ok);
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

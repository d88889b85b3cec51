#include "removal/removal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <set>
#include <system_error>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "base/path_helpers.h"
#include "base/ui.h"
#include "install/livery_record.h"
#include "install/verify.h"
#include "platform/ascii_case.h"
#include "platform/atomic_file.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/regular_file.h"
#include "platform/trash.h"
#include "platform/unique_fd.h"
#include "removal/line_paths.h"
#include "removal/shell_file_operation.h"
#include "settings/record.h"
#include "settings/record_index.h"
#include "settings/simulator.h"

namespace wingstow {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view folder_failure = "Delete not possible ";
constexpr std::string_view file_failure = "delete not possible ";

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
// own: the entry itself (lstat), neither a folder nor a link to one.
bool delete_listed_file(const std::string& path, std::string_view name, struct stat own) {
  // A link goes as itself; the attributes read through it are its target's,
  // which may lie anywhere.
  const bool hidden = name.size() > 1 && name.front() == '.';
  // Not through a link either, should one have taken the file's place.
  if (S_ISREG(own.st_mode) && !(own.st_mode & S_IWUSR) && !hidden &&
      ::fchmodat(AT_FDCWD, path.c_str(), (own.st_mode & 07777) | S_IWUSR, AT_SYMLINK_NOFOLLOW) == 0)
    own.st_mode |= S_IWUSR;
  // As platform::delete_file: a read-only file is refused, root or not.
  if (S_ISREG(own.st_mode) && !(own.st_mode & S_IWUSR)) {
    errno = EACCES;
    return false;
  }
  return ::unlink(path.c_str()) == 0;
}

// What a run of the command carries from one record to the next.
struct RemovalRun {
  RemovalRun(RecordIndex index, const Shared& shared)
      : owners(std::move(index)),
        paths(shared.fs_path),
        unzip_path(shared.unzip_path),
        unzip(shared.unzip_path) {}

  // The name in the unzip folder of a file lying directly in it.
  std::optional<std::string> unzip_name(const std::string& path) const {
    if (!unzip.is_open() || unzip_path.empty() || !path.starts_with(unzip_path) ||
        path.find(platform::sep, unzip_path.size()) != std::string::npos ||
        path.size() == unzip_path.size())
      return std::nullopt;
    return path.substr(unzip_path.size());
  }

  // How many records list each path, read once; a record leaves it when it
  // is deleted, so a shared file goes with the last record that lists it.
  RecordIndex owners;
  LinePaths paths;
  // The records' folder, held open: the logs and marks beside the records
  // are looked up there without a read of thousands of records each time.
  const std::string unzip_path;
  platform::Folder unzip;
  // The answer about folders that no trash takes, asked at most once.
  std::optional<bool> delete_for_good;
};

class RecordRemoval {
 public:
  RecordRemoval(Shared& shared, Feedback& ui, const std::string& record, RemovalRun& run)
      : shared_(shared), ui_(ui), record_(record), log_(record + ".err"), run_(run) {}

  // False when something listed stayed, so the record stays too.
  bool remove_lines() {
    const auto lines = record_lines(record_);
    count_own_lines(lines);
    create_log();
    // The sections the package added to airplanes come out first: a section
    // left behind would name a texture folder that is gone.
    const auto sections = read_added_sections(record_);
    std::vector<std::string> failed;
    if (!sections.failure.empty()) failed.push_back(sections.failure);
    std::vector<AddedSections> files;
    for (const auto& file : sections.files) {
      if (auto cfg = airplane_cfg(file.cfg))
        files.push_back({std::move(*cfg), file.titles});
      else
        failed.push_back(file.cfg +
                         ": no aircraft.cfg of an airplane of the simulator; not opened");
    }
    if (failed.empty()) failed = remove_added_sections(files);
    for (const auto& failure : failed) fail(file_failure, failure);
    if (!failed.empty()) return false;
    for (const auto& line : lines) {
      remove_line(line);
      ui_.pump();
    }
    if (failures_ > 1)
      ui_.status(std::to_string(failures_) + " paths of " + package_of_record(record_) +
                 " could not be removed, see " + log_);
    return failures_ == 0;
  }

  // True when the record is gone.
  bool delete_record() {
    // The sums verify compares with go first: sums outliving their record
    // would be taken for those of a later install of the same name.
    for (std::string beside : {sums_path(record_), sections_path(record_)}) {
      // Looked up in the records' folder as read once: a missing file costs
      // no listing of thousands of names.
      std::optional<std::string> on_disk;
      if (const auto name = run_.unzip_name(beside)) {
        on_disk = run_.unzip.find(*name);
        if (!on_disk) continue;
        beside = run_.unzip_path + *on_disk;
      }
      errno = 0;
      const bool deleted = platform::delete_file(beside);
      if (deleted && on_disk) run_.unzip.removed(*on_disk);
      if (!deleted && errno != ENOENT) {
        const int error = errno != 0 ? errno : EIO;
        append_record_line(log_,
                           std::string(file_failure) + beside + " (" + std::strerror(error) + ")");
        ui_.message(MessageKind::information, "Problem encountered during the delete operation.",
                    Buttons::ok);
        return false;
      }
    }
    if (platform::delete_file(record_)) {
      run_.owners.forget(record_);
      const auto name = run_.unzip_name(record_);
      if (name) run_.unzip.removed(*name);
      // An unfinished install is gone with it.
      const auto marker = name ? run_.unzip.find(*name + ".installing") : std::nullopt;
      if (!name || marker) mark_install_finished(record_);
      if (marker) run_.unzip.removed(*marker);
      return true;
    }
    ui_.message(MessageKind::information, "Problem encountered during the delete operation.",
                Buttons::ok);
    append_record_line(log_, std::string(file_failure) + record_);
    return false;
  }

 private:
  // The aircraft.cfg of an airplane folder of the simulator that a sections
  // file names, its folders' links resolved; nothing for any other path:
  // like records, these are plain text files anyone can write.
  std::optional<std::string> airplane_cfg(const std::string& cfg) {
    const auto target = run_.paths.removable(cfg);
    if (!target || !same_ignoring_case(target->name, "aircraft.cfg")) return std::nullopt;
    std::error_code error;
    const std::string aircraft = ascii_lower(platform::with_trailing_separator(
        fs::weakly_canonical(platform::resolve(shared_.fs_path + "aircraft"), error).string()));
    const std::string folder = ascii_lower(platform::with_trailing_separator(target->folder));
    if (error || !folder.starts_with(aircraft) || folder == aircraft) return std::nullopt;
    return target->path;
  }

  // The log starts empty. A new one is made exclusively, complete the
  // moment it has its name; one already there is emptied as records are
  // written.
  void create_log() {
    const auto name = run_.unzip_name(log_);
    if (!name) return create_record(log_);
    if (const auto on_disk = run_.unzip.find(*name))
      return create_record(run_.unzip_path + *on_disk);
    const platform::UniqueFd made(platform::create_exclusive(run_.unzip.fd(), name->c_str()));
    if (!made) {
      if (errno == EEXIST) return create_record(log_);
      record_io_error(log_, errno);
    }
    run_.unzip.added(*name);
  }

  void remove_line(const std::string& line) {
    const auto target = run_.paths.removable(line);
    if (!target) {
      const bool folder = line.find('\0') == std::string::npos && platform::folder_exists(line);
      return fail(folder ? folder_failure : file_failure, line);
    }
    struct stat own;
    if (target->status) {
      own = *target->status;
    } else if (::lstat(target->path.c_str(), &own) != 0) {
      // Already gone: an earlier run ended halfway, an install failed before
      // copying it, or the record lists it twice.
      if (errno == ENOENT || errno == ENOTDIR) return;
      if (listed_elsewhere(line)) return;
      return fail(file_failure, line);
    }
    bool folder = S_ISDIR(own.st_mode);
    const bool link = S_ISLNK(own.st_mode);
    if (link) {
      struct stat st;
      folder = ::stat(target->path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    }
    if (folder) return remove_folder(*target, line, link);
    if (listed_elsewhere(line) || covered_elsewhere(line)) return;
    if (!delete_listed_file(target->path, target->name, own)) return fail(file_failure, line);
    run_.paths.removed(*target);
  }

  // A folder is shared like a file when another record lists it too. What
  // other records list inside it is theirs: it stays, the rest goes, and the
  // folder itself passes to them, so that it goes with the last of them.
  // A link goes as itself: what lies behind it is never looked into.
  void remove_folder(const LinePaths::Target& target, const std::string& line, bool link) {
    const std::string& folder = target.path;
    run_.paths.folder_removed(target);
    if (listed_elsewhere(line)) return;
    if (link || others_inside(line) == 0) {
      if (!discard(folder, true)) fail(folder_failure, line);
      return;
    }
    std::set<std::string> keepers;
    const Cleared cleared = clear_inside(folder, line, keepers);
    if (cleared.failed) return;  // told, and the record stays for another run
    // What the others listed inside may be gone already: then nothing stays.
    if (!cleared.kept) {
      if (!discard(folder, true)) fail(folder_failure, line);
      return;
    }
    hand_over(line, keepers);
  }

  struct Cleared {
    bool kept = false;    // something another record owns stayed
    bool failed = false;  // something could not be taken away (told)
  };

  // Takes out of folder what no other record owns; written is the folder as
  // the record spells it, which the other records' lines are compared with.
  // keepers receives the records owning what stayed.
  Cleared clear_inside(const std::string& folder, const std::string& written,
                       std::set<std::string>& keepers) {
    Cleared cleared;
    for (const auto& entry : platform::find_entries(folder, "*", platform::attr_any)) {
      if (entry.name == "." || entry.name == "..") continue;
      const std::string path = folder + platform::sep + entry.name;
      const std::string line = written + platform::sep + entry.name;
      if (listed_elsewhere(line)) {
        for (auto& owner : run_.owners.owners(line))
          if (owner != record_) keepers.insert(std::move(owner));
        cleared.kept = true;
        continue;
      }
      const bool is_folder = (entry.attributes & platform::attr_directory) && !entry.link;
      if (is_folder && others_inside(line) != 0) {
        const Cleared below = clear_inside(path, line, keepers);
        cleared.failed = cleared.failed || below.failed;
        cleared.kept = cleared.kept || below.kept;
        if (below.kept || below.failed) continue;
      }
      if (!discard(path, is_folder)) {
        fail(is_folder ? folder_failure : file_failure, line);
        cleared.failed = true;
      }
    }
    return cleared;
  }

  // The records that keep something inside the folder take its line, so
  // that removing the last of them takes the folder too.
  void hand_over(const std::string& line, const std::set<std::string>& keepers) {
    for (const auto& keeper : keepers) {
      auto lines = record_lines(keeper);
      const std::string key = record_key(line);
      if (std::ranges::any_of(lines, [&](const auto& l) { return record_key(l) == key; })) continue;
      lines.push_back(line);
      try {
        write_record(keeper, lines);
      } catch (const Error&) {
        // This record stays, so that running the removal again hands it on.
        return fail(folder_failure, line);
      }
      run_.owners.add(keeper, lines);
    }
  }

  // A folder to the trash, or for good when no trash takes it and the user
  // agrees (asked once per run); a file or link the same way.
  bool discard(const std::string& path, bool folder) {
    if ((folder ? shell_delete_folder(path) : platform::move_to_trash(path)) || gone(path))
      return true;
    if (!run_.delete_for_good)
      run_.delete_for_good = ui_.ask(delete_for_good_question(path)) == Answer::yes;
    return *run_.delete_for_good && platform::delete_tree(path);
  }

  // What other records list strictly inside folder (a line of the record).
  std::size_t others_inside(const std::string& folder) const {
    const auto own = own_inside_.find(record_key(folder));
    return run_.owners.count_inside(folder) - (own == own_inside_.end() ? 0 : own->second);
  }

  void count_own_lines(const std::vector<std::string>& lines) {
    std::set<std::string> distinct;
    for (const auto& line : lines) distinct.insert(record_key(line));
    for (const auto& key : distinct)
      for (const auto folder : folders_above(key)) ++own_inside_[std::string(folder)];
  }

  static bool gone(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) != 0 && (errno == ENOENT || errno == ENOTDIR);
  }

  // The record being removed is not counted: a file goes while no other
  // record lists it.
  bool listed_elsewhere(const std::string& line) const {
    return run_.owners.listed_by_others(line, record_) != 0;
  }

  // A file inside a folder another record brought may have been there when
  // this record's install listed it as shared: it stays for that record,
  // and goes with its folder. Only folders below an install folder count.
  bool covered_elsewhere(const std::string& line) const {
    const std::string root = record_key(shared_.fs_path);
    const std::string key = record_key(line);
    if (!key.starts_with(root + platform::sep)) return false;
    for (const auto folder : folders_above(key)) {
      if (folder.size() <= root.size() + 1) break;
      if (!strictly_below_install_folder(folder.substr(root.size() + 1))) break;
      if (listed_elsewhere(std::string(folder))) return true;
    }
    return false;
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
  Feedback& ui_;
  const std::string& record_;
  const std::string log_;
  RemovalRun& run_;
  std::size_t failures_ = 0;
  // The record's own lines inside each folder, by its lower-case spelling.
  std::unordered_map<std::string, std::size_t> own_inside_;
};

}  // namespace

std::optional<std::string> removable_path(std::string_view fs_path, std::string_view line) {
  const auto target = LinePaths(fs_path).removable(line);
  if (!target) return std::nullopt;
  return target->path;
}

std::vector<std::string> livery_dependents(const std::vector<std::string>& records) {
  std::vector<std::string> dependents;
  if (records.empty()) return dependents;
  // Only records with a sections file beside them can have liveries, and
  // the folder is listed once for them; without any, nothing more is read.
  const std::string unzip = parent_folder(records.front());
  std::unordered_set<std::string> given;
  for (const auto& record : records) given.insert(ascii_lower(last_path_part(record, 0)));
  std::vector<std::string> others;
  for (const auto& entry :
       platform::find_entries(unzip, "*.txt.sections", 0, platform::Detail::kinds)) {
    const std::string name = entry.name.substr(0, entry.name.size() - std::strlen(".sections"));
    if (!given.contains(ascii_lower(name))) others.push_back(unzip + name);
  }
  if (others.empty()) return dependents;
  std::vector<std::string> folders;  // letter case folded, with separator
  for (const auto& record : records) {
    std::vector<std::string> lines;
    try {
      lines = record_lines(record);
    } catch (const Error&) {
      continue;  // the removal tells it
    }
    for (const auto& line : lines)
      if (platform::folder_exists(line))
        folders.push_back(ascii_lower(platform::with_trailing_separator(line)));
  }
  if (folders.empty()) return dependents;
  for (const auto& record : others) {
    if (!platform::check_regular_file(record).regular()) continue;  // no record
    for (const auto& file : read_added_sections(record).files) {
      const std::string cfg = ascii_lower(file.cfg);
      if (std::any_of(folders.begin(), folders.end(),
                      [&](const std::string& folder) { return cfg.starts_with(folder); })) {
        dependents.push_back(record);
        break;
      }
    }
  }
  return dependents;
}

std::string removal_question(const std::vector<std::string>& records, std::string_view tag) {
  std::string text = "Are you really sure ? \n";
  if (records.empty()) return text + "No airplane is checked: nothing will be removed.";
  constexpr std::size_t named = 10;
  text += "Remove from " + std::string(tag) + ": ";
  for (std::size_t i = 0; i < records.size() && i < named; ++i)
    text += (i == 0 ? "" : ", ") + package_of_record(records[i]);
  if (records.size() > named) text += " and " + std::to_string(records.size() - named) + " more";
  if (const auto dependents = livery_dependents(records); !dependents.empty()) {
    text += ", with the liveries installed in them:";
    for (const auto& record : dependents) text += " " + package_of_record(record);
  }
  return text +
         ". Their airplane folders go to the trash; their gauges, sounds and other side files "
         "are deleted.";
}

Question removal_confirmation(const std::vector<std::string>& records, std::string_view tag) {
  return {"remove", {}, MessageKind::warning, removal_question(records, tag), Buttons::yes_no};
}

Question delete_for_good_question(const std::string& folder) {
  return {
      "delete for good",
      {},
      MessageKind::warning,
      "The folder " + folder + " cannot be moved to the trash. Delete such folders permanently?",
      Buttons::yes_no};
}

std::optional<Question> delete_for_good_ahead(const Shared& shared,
                                              const std::vector<std::string>& records) {
  LinePaths paths(shared.fs_path);
  for (const auto& record : records) {
    std::vector<std::string> lines;
    try {
      lines = record_lines(record);
    } catch (const Error&) {
      continue;
    }
    for (const auto& line : lines) {
      const auto target = paths.removable(line);
      struct stat st;
      // Folders alone go to the trash; a link among them goes as itself.
      if (target && ::lstat(target->path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
          !platform::on_home_trash_volume(target->path))
        return delete_for_good_question(target->path);
    }
  }
  return std::nullopt;
}

bool remove_records(Shared& shared, Feedback& ui, const std::vector<std::string>& records,
                    const RemovalDone& done) {
  const std::string tag = ui.simulator_tag();
  if (ui.ask(removal_confirmation(records, tag)) != Answer::yes) return false;
  Window* window = ui.window();
  ui.progress_animation(Animation::delete_file);
  ui.progress_start();
  ui.progress_show();

  // The liveries of other packages inside the airplanes go first, with
  // their records, so that no record is left that lists a folder gone.
  struct Item {
    std::string record;
    std::optional<std::size_t> given;  // its index in records
  };
  std::vector<Item> items;
  for (auto& dependent : livery_dependents(records)) items.push_back({std::move(dependent), {}});
  for (std::size_t i = 0; i < records.size(); ++i) items.push_back({records[i], i});

  bool waiting = false;
  std::optional<RemovalRun> run;
  std::vector<std::string> kept;  // packages that stay installed after a failure
  try {
    for (const Item& item : items) {
      const std::string& record = item.record;
      ui.progress_caption("delete " + record + " <---- " + tag);
      if (window) window->set_enabled(Control::SpeedButton8, false);
      ui.set_wait_cursor(true);
      waiting = true;
      if (window) window->set_enabled(Control::util, false);

      if (!run) run.emplace(RecordIndex::load(shared.unzip_path), shared);
      RecordRemoval removal(shared, ui, record, *run);
      const bool removed = removal.remove_lines() && removal.delete_record();
      const bool stayed = !removed && platform::file_exists(record);
      if (stayed) kept.push_back(package_of_record(record));

      ui.set_wait_cursor(false);
      waiting = false;
      ui.progress_stop();
      if (window) {
        window->set_text(Control::Edit2, free_space_text(shared));
        window->clear_picture(Control::AdvImage2);
      }
      if (done && item.given) done(*item.given, !stayed);
    }
    // The file list is read again once, not after each record: with
    // thousands of records each reading costs more than a removal. The
    // records the run read stay read.
    if (window) window->list_refresh();
    refresh_catalogue(shared, ui, run ? &run->owners : nullptr);
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
    if (window) window->list_refresh();
    refresh_catalogue(shared, ui);
    ui.progress_close();
    if (window) window->set_enabled(Control::util, true);
    throw;
  }
  ui.progress_close();
  if (window) window->set_enabled(Control::util, true);
  return true;
}

}  // namespace wingstow

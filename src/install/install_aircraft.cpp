#include "install/install_aircraft.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <memory>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "base/path_helpers.h"
#include "install/livery.h"
#include "install/ownership.h"
#include "install/plan.h"
#include "install/side_files.h"
#include "platform/atomic_file.h"
#include "platform/environment.h"
#include "platform/error.h"
#include "platform/faults.h"
#include "platform/files.h"
#include "settings/record.h"
#include "settings/record_index.h"

namespace wingstow {
namespace {

bool left_out_of_airplane(const std::string& name) {
  if (name == "gauges") return true;  // letter case counts: "Gauges" is copied
  // Inner archives are extracted into file_zip instead.
  const std::string_view whole(name);
  for (const std::string_view ending :
       {".gau", ".GAU", ".zip", ".ZIP", ".7z", ".7Z", ".rar", ".RAR"})
    if (whole.size() >= ending.size() && whole.ends_with(ending)) return true;
  return false;
}

// A package is installed once: its record tells it is there.
bool refused_as_installed(Shared& shared, Feedback& ui, const std::string& package_path,
                          bool batch) {
  if (!record_exists(shared)) return false;
  if (install_unfinished(record_path(shared))) return false;  // resumed
  if (!batch)
    ui.message(MessageKind::information, "Airplane already installed " + package_path, Buttons::ok);
  shared.abort_flag = 1;
  return true;
}

void remove_stale_temporaries_below(const std::string& folder) {
  remove_stale_temporaries(folder);
  for (const auto& entry : platform::find_entries(folder, "*.*", platform::attr_directory))
    if ((entry.attributes & platform::attr_directory) && !entry.link && entry.name != "." &&
        entry.name != "..")
      remove_stale_temporaries_below(folder + entry.name + platform::sep);
}

// The entries of an airplane folder that an install copies: folders and
// files, as the folder listing tells them.
std::vector<platform::DirEntry> airplane_entries(const platform::Folder& source) {
  std::vector<platform::DirEntry> kept;
  for (auto& entry : source.entries("*.*", platform::attr_directory | platform::attr_archive,
                                    platform::Detail::kinds)) {
    const std::string& name = entry.name;
    if (name == "." || name == ".." || entry.link || left_out_of_airplane(name) ||
        has_line_break(name) || platform::is_temporary_name(name))
      continue;
    if (!(entry.attributes & (platform::attr_directory | platform::attr_archive))) continue;
    kept.push_back(std::move(entry));
  }
  return kept;
}

// The longest path a file system takes whole, and a name's longest part.
constexpr std::size_t max_path = PATH_MAX - 1;
constexpr std::size_t max_name = NAME_MAX;

// The first path of an airplane's tree, in the package (below source) or
// where it goes (below target), that no file system takes, so that such an
// airplane is refused before anything is recorded instead of copied in
// part; nothing when every path fits. Both folders end with the separator.
std::optional<std::string> too_long_path(const std::string& source, const std::string& target) {
  if (source.size() > max_path) return source;
  if (target.size() > max_path) return target;
  struct Walk {
    const std::string& source;
    const std::string& target;
    std::optional<std::string> found;

    void below(const platform::Folder& from, const std::string& relative) {
      for (const auto& entry : airplane_entries(from)) {
        const std::string path = relative + entry.name;
        const bool folder = (entry.attributes & platform::attr_directory) != 0;
        const std::size_t extra = folder ? 1 : 0;
        if (entry.name.size() > max_name || source.size() + path.size() + extra > max_path ||
            target.size() + path.size() + extra > max_path) {
          found = (source.size() >= target.size() ? source : target) + path;
          return;
        }
        if (folder) {
          below(platform::Folder(from, entry.name), path + platform::sep);
          if (found) return;
        }
      }
    }
  } walk{source, target, std::nullopt};
  const platform::Folder from(source);
  if (!from.is_open())
    return from.error() == ENAMETOOLONG ? std::optional<std::string>(source) : std::nullopt;
  walk.below(from, {});
  return walk.found;
}

// What lies at name in an open target folder, found without regard to case.
enum class Existing { none, folder, link, other };

Existing existing_entry(platform::Folder& folder, const std::string& name, std::string& found) {
  const auto on_disk = folder.find(name);
  if (!on_disk) return Existing::none;
  found = *on_disk;
  struct stat st;
  if (::fstatat(folder.fd(), found.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return Existing::none;
  if (S_ISLNK(st.st_mode)) return Existing::link;
  return S_ISDIR(st.st_mode) ? Existing::folder : Existing::other;
}

// The same for a path, where no folder could be held open.
Existing existing_path(const std::string& path) {
  if (is_link(path)) return Existing::link;
  if (!platform::exists(path)) return Existing::none;
  return platform::folder_exists(path) ? Existing::folder : Existing::other;
}

// A copy of folder trees: source and target folders held open while their
// entries are copied, one buffer for all files.
class TreeCopy {
 public:
  TreeCopy(bool recurse, const std::function<void()>& between_files, InstallReport* failures,
           CopiedSums* sums)
      : recurse_(recurse),
        between_files_(between_files),
        failures_(failures),
        sums_(sums),
        copier_(between_files) {
    copier_.keep_sums(sums != nullptr);
  }

  void copy(const std::string& source, const std::string& target) {
    if (is_link(target)) return failed(target, ELOOP);
    platform::Folder to;
    if (platform::folder_exists(target)) {
      to = platform::Folder(target, false);
    } else {
      to = platform::Folder::create(target);
    }
    if (!to.is_open()) return failed(target, to.error());
    copy(platform::Folder(source), source, to, target);
  }

 private:
  // The folder's files, then its subfolders. Paths are the callers'
  // spelling with the source's names appended, as failures name them.
  void copy(const platform::Folder& from, const std::string& source, platform::Folder& to,
            const std::string& target) {
    std::vector<std::string> files;
    std::vector<std::string> folders;
    for (auto& entry : airplane_entries(from)) {
      if (entry.attributes & platform::attr_directory) {
        if (recurse_) folders.push_back(std::move(entry.name));
        continue;
      }
      // Taken at once: a later name of the same letters finds it there.
      if (!to.find(entry.name)) {
        to.added(entry.name);
        files.push_back(std::move(entry.name));
      } else if (between_files_) {
        between_files_();
      }
    }
    copy_files(from, to, target, files);
    for (const auto& name : folders) copy_folder(from, source, to, target, name);
  }

  // A folder's files, on a second thread too when the machine has the cores
  // and there are enough of them: the copy and its sums then take about as
  // long as a plain copy on one.
  void copy_files(const platform::Folder& from, platform::Folder& to, const std::string& target,
                  const std::vector<std::string>& files) {
    std::vector<platform::CopyResult> results(files.size());
    std::atomic<std::size_t> next{0};
    const auto run = [&](platform::FileCopier& copier, bool pumps) {
      for (std::size_t i; (i = next.fetch_add(1)) < files.size();) {
        results[i] = copier.copy_unlisted(from, files[i], to.fd(), files[i]);
        if (pumps && between_files_) between_files_();
      }
    };
    if (files.size() >= min_shared_files && shared_cores_ && !platform::faults_armed()) {
      if (!helper_) {
        helper_ = std::make_unique<platform::FileCopier>();
        helper_->keep_sums(sums_ != nullptr);
      }
      std::thread helper([&] { run(*helper_, false); });
      run(copier_, true);
      helper.join();
    } else {
      run(copier_, true);
    }
    for (std::size_t i = 0; i < files.size(); ++i) {
      const auto& copied = results[i];
      // Nothing of that name came: a later look-up must not find it.
      if (copied.status == platform::CopyStatus::failed) {
        to.removed(files[i]);
        failed(target + files[i], copied.error);
      }
      if (sums_) sums_->add(target + files[i], copied);
    }
  }

  void copy_folder(const platform::Folder& from, const std::string& source, platform::Folder& to,
                   const std::string& target, const std::string& name) {
    const std::string target_folder = target + name + platform::sep;
    std::string found;
    platform::Folder sub;
    switch (existing_entry(to, name, found)) {
      case Existing::none:
        sub = platform::Folder::create(to, name);
        if (sub.is_open()) to.added(name);
        break;
      case Existing::folder:
        sub = platform::Folder(to, found);
        break;
      case Existing::link:
        return failed(target_folder, ELOOP);
      case Existing::other:
        return failed(target_folder, EEXIST);
    }
    if (!sub.is_open()) return failed(target_folder, sub.error());
    const platform::Folder sub_source(from, name);
    copy(sub_source, source + name + platform::sep, sub, target_folder);
  }

  void failed(const std::string& path, int error) {
    if (failures_) report_copy_failure(*failures_, path, error);
  }

  const bool recurse_;
  const std::function<void()>& between_files_;
  InstallReport* failures_;
  CopiedSums* sums_;
  platform::FileCopier copier_;
  std::unique_ptr<platform::FileCopier> helper_;  // the second thread's, made when first needed
  const bool shared_cores_ = platform::usable_cores() > 1;  // asked once per tree, not per folder
  // Fewer files than this are not worth a thread.
  static constexpr std::size_t min_shared_files = 4;
};

struct Airplane {
  std::string source;  // the folder holding the "aircraft.cfg", with separator
  std::string name;    // its folder name in the simulator
};

// One copy the step makes; line is the record line it stands for, empty
// when an earlier line of the package covers it.
struct PlannedCopy {
  std::string source;
  std::string target;  // a folder target ends with the separator
  bool tree = false;
  std::string line;
};

class AircraftStep {
 public:
  AircraftStep(Shared& shared, Feedback& ui, PackageInstall& install)
      : shared_(shared),
        ui_(ui),
        install_(install),
        record_(record_path(shared)),
        others_(other_records(shared, install)),
        step_(step_record_of(shared, install, false)),
        aircraft_(shared.fs_path + "aircraft" + platform::sep) {
    copier_.keep_sums(true);
  }

  void run(const std::vector<Airplane>& airplanes) {
    const bool resumed = platform::file_exists(record_);
    for (const auto& airplane : airplanes) plan(airplane);
    if (InstallPlan* dry = install_.dry_run) {
      step_.write(true);
      for (const auto& copy : copies_) {
        if (copy.tree)
          plan_tree(*dry, platform::Folder(copy.source), copy.source, copy.target);
        else
          dry->copy(copy.source, copy.target);
      }
      return;
    }
    begin_install(step_, record_, resumed);
    if (resumed)
      for (const auto& copy : copies_)
        if (copy.tree) remove_stale_temporaries_below(copy.target);
    for (const auto& copy : copies_) {
      make(copy);
      ui_.pump();
    }
    step_.finish();
  }

  // Airplanes of the simulator completed from the package: package folder
  // and target, both with separator.
  std::vector<std::pair<std::string, std::string>> completed;

 private:
  void plan(const Airplane& airplane) {
    const std::string target = aircraft_ + airplane.name;
    auto& report = install_.report;
    if (has_line_break(airplane.name)) {
      report_copy_failure(report, target, EINVAL);
      return;
    }
    const std::string folder = target + platform::sep;
    if (const auto too_long = too_long_path(airplane.source, folder)) {
      report.refusals.push_back("The airplane folder " + target + " was not installed: the path " +
                                *too_long + " is too long for the file system (" +
                                std::to_string(too_long->size()) + " bytes; at most " +
                                std::to_string(max_path) + ")");
      return;
    }
    // A second airplane of this package under the same name joins the first.
    if (step_.lists(target)) {
      copies_.push_back({airplane.source, folder, true, {}});
      return;
    }
    if (const auto& owners = others_.owners(target); !owners.empty()) {
      report.refusals.push_back("The airplane folder " + target +
                                " was not installed: it belongs to the installed package " +
                                package_of_record(owners.front()) + " (" + owners.front() + ")");
      return;
    }
    if (is_link(target)) {
      report_copy_failure(report, target, ELOOP);
      return;
    }
    if (!platform::exists(target)) {
      step_.add(target);
      copies_.push_back({airplane.source, folder, true, target});
    } else if (platform::folder_exists(target)) {
      // Not ours: completed, and only what the copy adds is listed.
      if (install_.dry_run) install_.dry_run->keep(target, {}, true);
      completed.push_back({airplane.source, folder});
      plan_additions(airplane.source, folder);
    } else {
      report_copy_failure(report, target, ENOTDIR);
    }
  }

  void plan_additions(const std::string& source, const std::string& target) {
    platform::Folder to(target, false);
    plan_additions(platform::Folder(source), source, to, target);
  }

  // The folders are held open, so that a folder of thousands of files is
  // read once, not once per file missing from it.
  void plan_additions(const platform::Folder& from, const std::string& source, platform::Folder& to,
                      const std::string& target) {
    for (const auto& entry : airplane_entries(from)) {
      const std::string from_path = source + entry.name;
      const std::string to_path = target + entry.name;
      if (entry.attributes & platform::attr_directory) {
        const std::string folder = to_path + platform::sep;
        if (step_.lists(to_path)) {
          copies_.push_back({from_path + platform::sep, folder, true, {}});
          continue;
        }
        std::string found;
        switch (to.is_open() ? existing_entry(to, entry.name, found) : existing_path(to_path)) {
          case Existing::link:
            report_copy_failure(install_.report, to_path, ELOOP);
            break;
          case Existing::none:
            step_.add(to_path);
            copies_.push_back({from_path + platform::sep, folder, true, to_path});
            break;
          case Existing::folder: {
            // An existing folder is never listed: removing it would take what
            // others put there.
            platform::Folder sub = to.is_open() ? platform::Folder(to, found) : platform::Folder();
            plan_additions(platform::Folder(from, entry.name), from_path + platform::sep, sub,
                           folder);
            break;
          }
          case Existing::other:
            report_copy_failure(install_.report, to_path, ENOTDIR);
            break;
        }
        continue;
      }
      const bool listed_before = step_.lists(to_path);
      const FilePlan planned = to.is_open()
                                   ? plan_file(step_, others_, to_path, aircraft_, to, entry.name)
                                   : plan_file(step_, others_, to_path, aircraft_);
      if (install_.dry_run)
        note_kept(*install_.dry_run, others_, to_path, aircraft_, planned, listed_before);
      switch (planned) {
        case FilePlan::copy:
          copies_.push_back({from_path, to_path, false, to_path});
          break;
        case FilePlan::list_only:
        case FilePlan::skip:
          break;
      }
    }
  }

  // The files a tree copy would make: those missing from the target, which
  // the copy never overwrites.
  void plan_tree(InstallPlan& dry, const platform::Folder& from, const std::string& source,
                 const std::string& target) {
    for (const auto& entry : airplane_entries(from)) {
      if (entry.attributes & platform::attr_directory) {
        plan_tree(dry, platform::Folder(from, entry.name), source + entry.name + platform::sep,
                  target + entry.name + platform::sep);
        continue;
      }
      if (!platform::exists(target + entry.name))
        dry.copy(source + entry.name, target + entry.name);
    }
  }

  void make(const PlannedCopy& copy) {
    auto& report = install_.report;
    const auto pump = [this] { ui_.pump(); };
    if (copy.tree) {
      // The tree may add to a folder held open for single files.
      open_.reset();
      const std::size_t before = report.failures.size();
      copy_folder_tree(copy.source, copy.target, true, pump, &report, &install_.copied);
      // A folder that could not even be made holds nothing of ours.
      if (!copy.line.empty() && report.failures.size() != before &&
          !platform::folder_exists(copy.target))
        step_.drop(copy.line);
      return;
    }
    const auto copied = copy_file(copy.source, copy.target);
    install_.copied.add(copy.target, copied);
    if (copied.status == platform::CopyStatus::copied) return;
    // Something appeared there meanwhile: not ours either way.
    step_.drop(copy.line);
    if (copied.status == platform::CopyStatus::failed)
      report_copy_failure(report, copy.target, copied.error);
  }

  // One planned file, through the folders of the one before when they are
  // the same: files planned one by one lie side by side.
  platform::CopyResult copy_file(const std::string& source, const std::string& target) {
    const auto source_cut = source.rfind(platform::sep) + 1;
    const auto target_cut = target.rfind(platform::sep) + 1;
    const std::string from = source.substr(0, source_cut);
    const std::string to = target.substr(0, target_cut);
    if (!open_ || open_->source != from || open_->target != to)
      open_.emplace(from, to, platform::Folder(from), platform::Folder(to, false));
    return copier_.copy(open_->from, source.substr(source_cut), open_->to,
                        target.substr(target_cut));
  }

  struct OpenFolders {
    OpenFolders(std::string s, std::string t, platform::Folder f, platform::Folder o)
        : source(std::move(s)), target(std::move(t)), from(std::move(f)), to(std::move(o)) {}
    std::string source, target;
    platform::Folder from, to;
  };

  Shared& shared_;
  Feedback& ui_;
  PackageInstall& install_;
  const std::string record_;
  const RecordIndex& others_;
  StepRecord step_;
  const std::string aircraft_;
  std::vector<PlannedCopy> copies_;
  platform::FileCopier copier_{[this] { ui_.pump(); }};
  std::optional<OpenFolders> open_;
};

// The record of a package without airplane, before its side files go in.
void start_parts_record(Shared& shared, PackageInstall& install) {
  StepRecord step = step_record_of(shared, install, false);
  if (install.dry_run) {
    step.write(true);
    install.dry_run->notes.push_back("No airplane: the package brings " + install.brings);
    return;
  }
  const std::string record = record_path(shared);
  begin_install(step, record, platform::file_exists(record));
}

// The airplanes, then what they bring besides: the sections an airplane of
// the simulator completed from the package lacks, and the package's
// liveries for airplanes elsewhere.
void run_airplanes(Shared& shared, Feedback& ui, PackageInstall& install,
                   const std::string& package_path, const std::vector<Airplane>& airplanes,
                   const std::optional<LiveryPackage>& liveries, bool batch) {
  AircraftStep step(shared, ui, install);
  step.run(airplanes);
  for (const auto& [source, target] : step.completed)
    if (const auto added = sections_missing_from(source, target))
      install_liveries(shared, ui, install, package_path, *added, batch);
  if (liveries) install_liveries(shared, ui, install, package_path, *liveries, batch);
}

}  // namespace

Question several_airplanes_question(const std::string& package_path) {
  return {"several airplanes", package_path, MessageKind::warning,
          "More than one airplane will be installed , Do you want to continue ? ", Buttons::yes_no};
}

void install_aircraft(Shared& shared, Feedback& ui, PackageInstall& install,
                      const std::string& package_path) {
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
  // Folders that repaint an airplane elsewhere are liveries, not airplanes;
  // so are texture folders whose sections a text file holds.
  std::optional<LiveryPackage> liveries;
  std::erase_if(shared.Memo1, [&](const std::string& config) {
    auto one = livery_folder(parent_folder(config));
    if (!one) return false;
    if (!liveries) liveries.emplace();
    for (auto& livery : one->liveries) liveries->liveries.push_back(std::move(livery));
    for (auto& title : one->base_titles) liveries->base_titles.push_back(std::move(title));
    return true;
  });
  if (shared.Memo1.empty() && !liveries) liveries = loose_liveries(package_path);
  const std::size_t found = shared.Memo1.size();

  if (several_airplanes(found)) {
    ui.progress_caption(package_path + "  ---->  " + tag);
    if (!batch && ui.ask(several_airplanes_question(package_path)) != Answer::yes) {
      shared.abort_flag = 1;
      return;
    }
    shared.record_name = package_name + ".txt";
    if (refused_as_installed(shared, ui, package_path, batch)) return;
    std::vector<Airplane> airplanes;
    for (const auto& config : shared.Memo1) {
      const std::string folder = parent_folder(config);
      airplanes.push_back({folder, last_path_part(folder.substr(0, folder.size() - 1), 0)});
    }
    run_airplanes(shared, ui, install, package_path, airplanes, liveries, batch);
    return;
  }

  if (found == 0 && liveries) {
    shared.record_name = package_name + ".txt";
    if (refused_as_installed(shared, ui, package_path, batch)) return;
    install_liveries(shared, ui, install, package_path, *liveries, batch);
    return;
  }

  if (found == 0) {
    // No airplane, but files the side-file steps install: a gauge pack, an
    // effects pack. Its record is made here, as for an airplane.
    if (const SideFileCount parts = count_side_files(shared, package_path); parts.total() > 0) {
      shared.record_name = package_name + ".txt";
      if (refused_as_installed(shared, ui, package_path, batch)) return;
      install.brings = side_files_text(parts);
      start_parts_record(shared, install);
      return;
    }
    if (!batch)
      ui.message(MessageKind::information, "No airplane found, Installation not possible !",
                 Buttons::ok);
    shared.abort_flag = 1;
    return;
  }

  ui.progress_caption(package_path + "  ----> " + tag);
  shared.record_name = package_name + ".txt";
  if (refused_as_installed(shared, ui, package_path, batch)) return;
  if (has_line_break(package_name)) {
    report_copy_failure(install.report, shared.fs_path + "aircraft" + platform::sep + package_name,
                        EINVAL);
    shared.abort_flag = 1;
    return;
  }
  // The folder holding the configuration, wherever it lies, goes in under
  // the package's name.
  run_airplanes(shared, ui, install, package_path, {{parent_folder(shared.Memo1[0]), package_name}},
                liveries, batch);
}

void copy_folder_tree(const std::string& source, const std::string& target, bool recurse,
                      const std::function<void()>& between_files, InstallReport* failures,
                      CopiedSums* sums) {
  TreeCopy(recurse, between_files, failures, sums).copy(source, target);
}

}  // namespace wingstow

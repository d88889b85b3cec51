#include "install/install_aircraft.h"

#include <cerrno>
#include <vector>

#include "install/ownership.h"
#include "install/path_helpers.h"
#include "install/record.h"
#include "install/record_index.h"
#include "install/side_files.h"
#include "platform/atomic_file.h"
#include "platform/error.h"
#include "platform/files.h"

namespace wingstow {
namespace {

bool left_out_of_airplane(const std::string& name) {
  if (name == "gauges") return true;  // letter case counts: "Gauges" is copied
  if (name.size() < 4) return false;
  const std::string_view ending = std::string_view(name).substr(name.size() - 4);
  return ending == ".gau" || ending == ".GAU" || ending == ".zip" || ending == ".ZIP";
}

// A package is installed once: its record tells it is there.
bool refused_as_installed(Shared& shared, Ui& ui, const std::string& package_path, bool batch) {
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

// The entries of an airplane folder that an install copies.
std::vector<platform::DirEntry> airplane_entries(const std::string& source) {
  std::vector<platform::DirEntry> kept;
  for (auto& entry :
       platform::find_entries(source, "*.*", platform::attr_directory | platform::attr_archive)) {
    const std::string& name = entry.name;
    if (name == "." || name == ".." || entry.link || left_out_of_airplane(name) ||
        has_line_break(name) || platform::is_temporary_name(name))
      continue;
    if (!(entry.attributes & (platform::attr_directory | platform::attr_archive))) continue;
    kept.push_back(std::move(entry));
  }
  return kept;
}

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
  AircraftStep(Shared& shared, Ui& ui)
      : shared_(shared),
        ui_(ui),
        record_(record_path(shared)),
        others_(RecordIndex::load(shared.unzip_path, record_)),
        step_(record_, false),
        aircraft_(shared.fs_path + "aircraft" + platform::sep) {}

  void run(const std::vector<Airplane>& airplanes) {
    const bool resumed = platform::file_exists(record_);
    for (const auto& airplane : airplanes) plan(airplane);
    mark_install_started(record_);
    try {
      step_.write(true);
    } catch (const Error&) {
      if (!resumed) mark_install_finished(record_);  // nothing began
      throw;
    }
    if (resumed)
      for (const auto& copy : copies_)
        if (copy.tree) remove_stale_temporaries_below(copy.target);
    for (const auto& copy : copies_) {
      make(copy);
      ui_.pump();
    }
    step_.finish();
  }

 private:
  void plan(const Airplane& airplane) {
    const std::string target = aircraft_ + airplane.name;
    auto& report = shared_.install_report;
    if (has_line_break(airplane.name)) {
      report_copy_failure(report, target, EINVAL);
      return;
    }
    const std::string folder = target + platform::sep;
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
      plan_additions(airplane.source, folder);
    } else {
      report_copy_failure(report, target, ENOTDIR);
    }
  }

  void plan_additions(const std::string& source, const std::string& target) {
    for (const auto& entry : airplane_entries(source)) {
      const std::string from = source + entry.name;
      const std::string to = target + entry.name;
      if (entry.attributes & platform::attr_directory) {
        const std::string folder = to + platform::sep;
        if (step_.lists(to)) {
          copies_.push_back({from + platform::sep, folder, true, {}});
        } else if (is_link(to)) {
          report_copy_failure(shared_.install_report, to, ELOOP);
        } else if (!platform::exists(to)) {
          step_.add(to);
          copies_.push_back({from + platform::sep, folder, true, to});
        } else if (platform::folder_exists(to)) {
          // An existing folder is never listed: removing it would take what
          // others put there.
          plan_additions(from + platform::sep, folder);
        } else {
          report_copy_failure(shared_.install_report, to, ENOTDIR);
        }
        continue;
      }
      switch (plan_file(step_, others_, to)) {
        case FilePlan::copy:
          copies_.push_back({from, to, false, to});
          break;
        case FilePlan::list_only:
        case FilePlan::skip:
          break;
      }
    }
  }

  void make(const PlannedCopy& copy) {
    auto& report = shared_.install_report;
    const auto pump = [this] { ui_.pump(); };
    if (copy.tree) {
      const std::size_t before = report.failures.size();
      copy_folder_tree(copy.source, copy.target, true, pump, &report);
      // A folder that could not even be made holds nothing of ours.
      if (!copy.line.empty() && report.failures.size() != before &&
          !platform::folder_exists(copy.target))
        step_.drop(copy.line);
      return;
    }
    const auto copied = platform::copy_file(copy.source, copy.target, pump);
    if (copied.status == platform::CopyStatus::copied) return;
    // Something appeared there meanwhile: not ours either way.
    step_.drop(copy.line);
    if (copied.status == platform::CopyStatus::failed)
      report_copy_failure(report, copy.target, copied.error);
  }

  Shared& shared_;
  Ui& ui_;
  const std::string record_;
  const RecordIndex others_;
  StepRecord step_;
  const std::string aircraft_;
  std::vector<PlannedCopy> copies_;
};

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
    std::vector<Airplane> airplanes;
    for (const auto& config : shared.Memo1) {
      const std::string folder = parent_folder(config);
      airplanes.push_back({folder, last_path_part(folder.substr(0, folder.size() - 1), 0)});
    }
    AircraftStep(shared, ui).run(airplanes);
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
  if (has_line_break(package_name)) {
    report_copy_failure(shared.install_report,
                        shared.fs_path + "aircraft" + platform::sep + package_name, EINVAL);
    shared.abort_flag = 1;
    return;
  }
  // The folder holding the configuration, wherever it lies, goes in under
  // the package's name.
  AircraftStep(shared, ui).run({{parent_folder(shared.Memo1[0]), package_name}});
}

void copy_folder_tree(const std::string& source, const std::string& target, bool recurse,
                      const std::function<void()>& between_files, InstallReport* failures) {
  const auto failed = [&](const std::string& path, int error) {
    if (failures) report_copy_failure(*failures, path, error);
  };
  if (is_link(target)) return failed(target, ELOOP);
  if (!platform::folder_exists(target) && !platform::create_folder(target))
    return failed(target, errno);
  for (const auto& entry : airplane_entries(source)) {
    const std::string& name = entry.name;
    if (entry.attributes & platform::attr_directory) {
      if (recurse)
        copy_folder_tree(source + name + platform::sep, target + name + platform::sep, recurse,
                         between_files, failures);
      continue;
    }
    const auto copied = platform::copy_file(source + name, target + name, between_files);
    if (copied.status == platform::CopyStatus::failed) failed(target + name, copied.error);
    if (between_files) between_files();
  }
}

}  // namespace wingstow

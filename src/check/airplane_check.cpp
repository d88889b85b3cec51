#include "check/airplane_check.h"

#include <optional>
#include <utility>

#include "base/find_file.h"
#include "base/path_helpers.h"
#include "check/airplane_rules.h"
#include "check/package_content.h"
#include "install/livery.h"
#include "packages/package_folders.h"
#include "packages/unzip.h"
#include "platform/ascii_case.h"
#include "platform/error.h"
#include "platform/files.h"
#include "settings/record.h"
#include "settings/record_airplanes.h"
#include "settings/record_index.h"
#include "settings/record_names.h"

namespace wingstow {
namespace {

constexpr char sep = platform::sep;

void check_package_into(const PackageContent& content, const std::string& fs_path,
                        CheckReport& report) {
  AirplaneRules rules(fs_path, &content);
  for (const auto& airplane : content.airplanes) rules.check(airplane.source, report);
  for (const auto& archive : content.inner_archives_with_airplanes)
    report.notes.push_back("The airplane in " + archive +
                           " is not checked: Install extracts that archive first. Check it once "
                           "installed, from the catalogue.");
  if (!content.airplanes.empty() || !content.inner_archives_with_airplanes.empty()) return;
  // Repaints lack the model, panel and sound by design: the airplane they
  // go into has them.
  if (const auto liveries = package_liveries(content.folder)) {
    const auto count = std::to_string(liveries->liveries.size());
    const std::string mark = livery_mark(fs_path, *liveries);
    report.notes.push_back(
        base_candidates(fs_path, *liveries).empty()
            ? "Liveries only (" + count + ", " + mark +
                  "): Install needs the airplane they repaint in the simulator first."
            : "Liveries only (" + count + ", " + mark +
                  "): they use the model, panel and sound of the airplane they go into; check "
                  "that airplane once they are in.");
    return;
  }
  report.notes.push_back("No aircraft.cfg found: there is no airplane to check.");
}

bool lies_in(const std::string& folder, const std::string& parent) {
  return ascii_lower(platform::with_trailing_separator(
             shown_path(parent_folder(platform::without_trailing_separators(folder))))) ==
         ascii_lower(platform::with_trailing_separator(shown_path(parent)));
}

// The report's roots, as on disk, for the paths it shows relative.
CheckReport report_of(std::string subject, const std::string& fs_path,
                      const std::string& package = {}) {
  CheckReport report;
  report.subject = std::move(subject);
  if (!fs_path.empty()) report.simulator = platform::with_trailing_separator(shown_path(fs_path));
  if (!package.empty()) report.package = platform::with_trailing_separator(shown_path(package));
  return report;
}

}  // namespace

CheckReport check_airplane(const std::string& airplane, const std::string& fs_path,
                           const std::string& package) {
  CheckReport report = report_of(airplane, fs_path, package);
  std::optional<PackageContent> content;
  if (!package.empty()) content = read_package(package);
  AirplaneRules(fs_path, content ? &*content : nullptr).check(airplane, report);
  return report;
}

CheckReport check_package_folder(const std::string& package, const std::string& fs_path) {
  CheckReport report = report_of(platform::without_trailing_separators(package), fs_path, package);
  check_package_into(read_package(package), fs_path, report);
  return report;
}

CheckReport check_record(const std::string& record, const std::string& fs_path) {
  CheckReport report = report_of(package_of_record(record), fs_path);
  const std::string aircraft = fs_path + "aircraft" + sep;
  const auto names = airplanes_listed(record_lines(record), fs_path);
  AirplaneRules rules(fs_path, nullptr);
  for (const auto& name : names) {
    const std::string folder = aircraft + name + sep;
    if (platform::folder_exists(folder)) {
      rules.check(folder, report);
      continue;
    }
    report.airplanes.push_back(folder);
    report.findings.push_back({Problem::missing_airplane,
                               folder,
                               record,
                               0,
                               {},
                               "the airplane folder is missing",
                               {shown_path(folder)},
                               "the airplane is not in the simulator: install its package again "
                               "(remove it first, if the catalogue still lists it)",
                               {},
                               {}});
  }
  if (names.empty()) report.notes.push_back(report.subject + " installed no airplane folder.");
  return report;
}

CheckReport check_folder(const std::string& folder, const std::string& fs_path) {
  if (lies_in(folder, fs_path + "aircraft" + sep)) return check_airplane(folder, fs_path);
  return check_package_folder(folder, fs_path);
}

CheckReport check_package(const std::string& argument, const std::string& fs_path,
                          const std::string& unzip_path, const std::vector<std::string>& records) {
  if (argument.find(sep) != std::string::npos) {
    if (const auto folder = find_package_folder(unzip_path, argument))
      return check_package_folder(*folder, fs_path);
    throw Error(argument + ": no such package folder");
  }
  if (const auto record = record_named(records, argument)) return check_record(*record, fs_path);
  if (const auto folder = find_package_folder(unzip_path, argument))
    return check_package_folder(*folder, fs_path);
  throw Error(argument + ": no such installed package nor package folder in " + unzip_path);
}

CheckReport check_package(const std::string& argument, const std::string& fs_path,
                          const std::string& unzip_path) {
  return check_package(argument, fs_path, unzip_path, list_records(unzip_path).records);
}

InstallCheck check_before_install(const std::string& package, const std::string& fs_path) {
  InstallCheck check{check_package_folder(package, fs_path), std::nullopt};
  if (check.report.findings.empty()) return check;
  // Install refuses these before it copies anything; a question would only
  // come in the way of its own message.
  const std::string folder = platform::without_trailing_separators(package);
  const std::string record = parent_folder(folder) + last_path_part(folder, 0) + ".txt";
  if (platform::file_exists(record) && !install_unfinished(record)) return check;
  if (unzip_interrupted(folder)) return check;
  // Liveries go into an airplane of the simulator, whose model and sound
  // they use: their own folders lack them by design.
  if (package_liveries(folder)) return check;
  TFindFile finder;
  finder.setPath(folder);
  finder.FileMask = "*.exe";
  finder.FileAttr = {};
  finder.InSubFolders = true;
  if (!finder.Search().empty()) return check;
  check.question = install_question(check.report, folder);
  return check;
}

}  // namespace wingstow

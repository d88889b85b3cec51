#include "install/install_command.h"

#include <algorithm>
#include <cstring>
#include <set>
#include <vector>

#include "base/find_file.h"
#include "base/path_helpers.h"
#include "base/ui.h"
#include "install/install_steps.h"
#include "install/livery.h"
#include "install/ownership.h"
#include "install/side_files.h"
#include "install/verify.h"
#include "packages/entry_names.h"
#include "packages/package_folders.h"
#include "packages/unzip.h"
#include "packages/zip_archive.h"
#include "platform/ascii_case.h"
#include "platform/control_text.h"
#include "platform/error.h"
#include "platform/files.h"
#include "settings/folder_size.h"
#include "settings/record.h"
#include "settings/simulator.h"

namespace wingstow {
namespace {

constexpr std::size_t paths_shown = 5;

std::string reason(int error) { return std::strerror(error); }

// Takes away a record that lists nothing, with its mark; true when it went.
bool drop_empty_record(const std::string& record) {
  try {
    if (!platform::file_exists(record) || !record_lines(record).empty()) return false;
  } catch (const Error&) {
    return false;
  }
  if (!platform::delete_file(record)) return false;
  mark_install_finished(record);
  return true;
}

}  // namespace

std::string install_problems_text(const InstallReport& report, const std::string& package_name) {
  std::string text;
  std::vector<InstallReport::Failure> passing, inherent;
  for (const auto& failure : report.failures)
    (InstallReport::may_pass(failure.error) ? passing : inherent).push_back(failure);
  if (!passing.empty()) {
    const std::size_t n = passing.size();
    text = "Pay attention, problem encountered during the copy " +
           std::to_string(passing.front().error) + "  memo1.Lines[count0]\n" + std::to_string(n) +
           (n == 1 ? " file" : " files") + " of " + package_name + " could not be copied:";
    for (std::size_t i = 0; i < n && i < paths_shown; ++i)
      text += "\n" + passing[i].path + ": " + reason(passing[i].error);
    if (n > paths_shown) text += "\n... and " + std::to_string(n - paths_shown) + " more";
  }
  if (!inherent.empty()) {
    const std::size_t n = inherent.size();
    if (!text.empty()) text += "\n";
    text += std::to_string(n) + (n == 1 ? " file" : " files") + " of " + package_name +
            " cannot be installed as the package brings " + (n == 1 ? "it" : "them") +
            " (installing again will not change that):";
    for (std::size_t i = 0; i < n && i < paths_shown; ++i)
      text += "\n" + inherent[i].path + ": " + reason(inherent[i].error);
    if (n > paths_shown) text += "\n... and " + std::to_string(n - paths_shown) + " more";
  }
  for (const auto& refusal : report.refusals) {
    if (!text.empty()) text += "\n";
    text += refusal;
  }
  return text;
}

void report_install_problems(Shared& shared, Feedback& ui, const InstallReport& report,
                             const std::string& package_path, const std::string& stopped) {
  if (report.empty()) return;
  const std::string package_name = last_path_part(package_path, 0);
  std::string log_failure;
  // Every failure goes to the log beside the record; the box shows the first.
  if (!report.failures.empty() && !shared.record_name.empty()) {
    std::vector<std::string> lines;
    for (const auto& failure : report.failures)
      lines.push_back("copy not possible " + failure.path + " (" + reason(failure.error) + ")");
    try {
      write_record(record_path(shared) + ".err", lines);
    } catch (const Error& error) {
      // The box below still tells what failed; a log that cannot be written
      // is no reason to hide it, nor to keep quiet about it.
      log_failure = std::string("\nThe details could not be written: ") + error.what();
    }
  }
  std::string text = install_problems_text(report, package_name) + log_failure;
  if (!stopped.empty()) text += "\nThe install stopped: " + stopped;
  ui.message(stopped.empty() ? MessageKind::warning : MessageKind::error, text, Buttons::ok);
}

void check_free_space(Shared& shared, Feedback& ui, const std::vector<std::string>& packages) {
  std::int64_t needed = 0;
  for (const auto& path : packages) {
    // The parent entry is no package; it would measure the tree above.
    if (!is_parent_entry(path)) needed += folder_size(path, true) / 1024;
  }
  if (free_space_kb(shared) < needed)
    ui.message(MessageKind::warning,
               "Pay Attention !, no more space left  " + std::to_string(free_space_kb(shared)),
               Buttons::ok);
}

void check_self_installer(Shared& shared, Feedback& ui, const std::string& package_path) {
  shared.abort_flag = 0;
  shared.Memo1.clear();
  shared.FindFile1.setPath(package_path);
  shared.FindFile1.FileMask = "*.exe";
  shared.FindFile1.InSubFolders = true;
  shared.FindFile1.FileAttr = {};
  shared.Memo1 = shared.FindFile1.Search();
  if (shared.Memo1.empty()) return;
  const char* text = "This airplane use an executable for the installation !";
  if (ui.prompt_checked())
    ui.status(text);
  else
    ui.message(MessageKind::information, text, Buttons::ok);
  shared.abort_flag = 1;
}

void extract_inner_archives(Shared& shared, ZipMaster& zip, const std::string& package_path) {
  shared.Memo1 = inner_archives(shared.FindFile1, package_path);
  if (shared.Memo1.empty()) return;
  const std::string folder = package_path + platform::sep + "file_zip" + platform::sep;
  // Extracting through a link would write wherever it leads.
  if (is_link(folder))
    throw Error("The folder " + folder.substr(0, folder.size() - 1) +
                " is a symbolic link; nothing is extracted into it");
  if (!platform::folder_exists(folder) && !platform::create_folder(folder))
    throw Error("Impossible de créer le directory");
  zip.ExtrBaseDir = folder;
  for (const auto& archive : shared.Memo1) {
    zip.setZipFileName(archive);
    zip.Extract();
  }
}

std::vector<Question> install_questions(const std::string& package, const std::string& archive,
                                        const std::string& fs_path) {
  // The package's files below its folder, as the install's searches will
  // find them: on disk, or as the archive will give them.
  std::vector<ArchiveFile> files;
  if (archive.empty()) {
    if (!platform::folder_exists(package) || is_parent_entry(package) ||
        unzip_interrupted(package) || !name_refusal(last_path_part(package, 0)).empty())
      return {};
    TFindFile finder;
    finder.setPath(package);
    finder.FileMask = "*.*";
    finder.FileAttr = {};
    finder.InSubFolders = true;
    const std::size_t below = finder.Path().size();
    for (const auto& path : finder.Search()) files.push_back({path.substr(below), 0, false});
  } else {
    auto listed = archive_files(archive);
    if (!listed || !name_refusal(last_path_part(archive, 0)).empty()) return {};  // never unzipped
    std::erase_if(*listed, [](const ArchiveFile& file) { return !found_by_search(file.path); });
    files = std::move(*listed);
  }
  // Its own installer: refused before any question. An entry that needs a
  // password may never be extracted, so it proves nothing.
  if (std::any_of(files.begin(), files.end(), [](const ArchiveFile& file) {
        return !file.encrypted && found_by_search(file.path, "*.exe");
      }))
    return {};

  // Where the aircraft.cfg files will lie, letter case ignored: inner
  // archives go into "file_zip" before the airplanes are searched.
  std::set<std::string> configs;
  const std::string inner_folder = std::string("file_zip") + platform::sep;
  // Liveries ask which airplane they go into when several fit; their folders
  // are no airplanes.
  if (archive.empty() && !fs_path.empty())
    if (const auto liveries = package_liveries(package)) {
      const auto candidates = base_candidates(fs_path, *liveries);
      if (candidates.size() < 2) return {};
      Question question = livery_base_question(package);
      for (const auto& choice : base_choices(candidates)) question.text += "\n  " + choice;
      return {question};
    }
  for (const auto& file : files) {
    // A folder that repaints an airplane elsewhere is no airplane of its own.
    if (found_by_search(file.path, "aircraft.cfg") &&
        !(archive.empty() && livery_folder(parent_folder(package + platform::sep + file.path))))
      configs.insert(ascii_lower(file.path));
    if (!is_archive_name(file.path) || !found_by_search(file.path)) continue;
    const auto inner = archive.empty() ? archive_files(package + platform::sep + file.path)
                                       : inner_archive_files(archive, file.index);
    if (!inner) continue;  // not extracted either
    for (const auto& config : *inner)
      if (found_by_search(config.path, "aircraft.cfg"))
        configs.insert(ascii_lower(inner_folder + config.path));
  }
  if (!several_airplanes(configs.size())) return {};
  return {several_airplanes_question(package)};
}

void install_packages(Shared& shared, Feedback& ui, ZipMaster& zip,
                      const std::vector<std::string>& packages, const InstallDone& done) {
  const std::string tag = ui.simulator_tag();
  check_free_space(shared, ui, packages);

  bool working = false;
  std::vector<std::string> incomplete;
  std::vector<std::string> parts;  // packages without airplane, with what they brought
  for (std::size_t i = 0; i < packages.size(); ++i) {
    const std::string& package = packages[i];
    shared.abort_flag = 0;
    PackageInstall install;
    if (Window* window = ui.window()) window->set_enabled(Control::SpeedButton7, false);
    InstallResult result = InstallResult::not_installed;
    bool stop = false;
    // Only package folders are installed: the finder would search a file
    // entry's previous folder, and the parent entry is no package.
    const bool package_folder = platform::folder_exists(package) && !is_parent_entry(package);
    const std::string refused = package_folder ? name_refusal(last_path_part(package, 0)) : "";
    if (!refused.empty()) {
      ui.message(MessageKind::warning,
                 "The package folder '" + platform::escape_controls(package) +
                     "' was not installed: " + refused,
                 Buttons::ok);
    } else if (package_folder && is_link(package)) {
      // Its inner archives would be extracted wherever the link leads.
      ui.message(MessageKind::warning,
                 "The package folder " + platform::escape_controls(package) +
                     " is a symbolic link; nothing is installed from it",
                 Buttons::ok);
    } else if (package_folder && unzip_interrupted(package)) {
      // Part of a package is never installed as the whole of it.
      ui.message(MessageKind::warning, unzip_interrupted_text(package), Buttons::ok);
    } else if (package_folder) {
      check_self_installer(shared, ui, package);
      if (shared.abort_flag == 0) {
        if (!working) {
          ui.set_wait_cursor(true);
          ui.progress_animation(Animation::copy_files);
          ui.progress_start();
          ui.progress_show();
          if (Window* window = ui.window()) window->set_enabled(Control::util, false);
          working = true;
        }
        ui.progress_caption("copy into " + tag);
        // Against the package's size: what it holds beside its airplanes
        // and side files is not copied, so the count may end short of it.
        const auto package_bytes =
            static_cast<std::uint64_t>(std::max<std::int64_t>(folder_size(package, true), 0));
        std::uint64_t copied_bytes = 0;
        ui.progress_bytes(0, package_bytes);
        install.copied.on_copied = [&](std::uint64_t bytes) {
          copied_bytes += bytes;
          ui.progress_bytes(copied_bytes, std::max(copied_bytes, package_bytes));
        };
        ui.pump();
        extract_inner_archives(shared, zip, package);
        std::string stopped;
        try {
          for (InstallStep step : install_steps) {
            if (shared.abort_flag != 0) break;
            step(shared, ui, install, package);
            ui.pump();
          }
          // All that was to copy is copied: the count ends whole.
          if (shared.abort_flag == 0) ui.progress_bytes(copied_bytes, copied_bytes);
        } catch (const Error& error) {
          // Told on its own as before, unless copies failed first: then one
          // message tells both.
          if (install.report.empty()) throw;
          stopped = error.what();
        }
        // Everything copied that can be: the install is no longer one to
        // resume, and what it left is what verify compares with later.
        // A failure the package brings is told once: trying again cannot
        // mend it, so it does not keep the install unfinished.
        // Every airplane refused and nothing else brought: no record claims
        // the package, so that it can be installed once what stood in the
        // way is gone.
        // So is a package without airplane whose files are all there already.
        const bool nothing_in = stopped.empty() && shared.abort_flag == 0 &&
                                install.report.failures.empty() &&
                                (!install.report.refusals.empty() || !install.brings.empty()) &&
                                drop_empty_record(record_path(shared));
        if (!nothing_in && stopped.empty() && shared.abort_flag == 0 &&
            !install.report.any_may_pass()) {
          const std::string record = record_path(shared);
          // The sums first: an install killed meanwhile is still unfinished,
          // and the next Install writes them again.
          if (const int error = write_install_sums(
                  record, [&ui] { ui.pump(); }, &install.copied))
            ui.message(MessageKind::warning,
                       "The sizes and checksums of " + record + " could not be written to " +
                           sums_path(record) + " (" + reason(error) +
                           "); verify will only check that its files are there",
                       Buttons::ok);
          mark_install_finished(record);
        }
        if (stopped.empty() && shared.abort_flag == 0 && install.report.empty())
          result = InstallResult::installed;
        if (nothing_in && install.report.empty()) {
          result = InstallResult::not_installed;
          ui.message(MessageKind::information,
                     "Nothing of " + last_path_part(package, 0) + " was installed: the " +
                         install.brings +
                         " it brings are in the simulator already, and no package brought them",
                     Buttons::ok);
        } else if (result == InstallResult::installed && !install.brings.empty()) {
          parts.push_back(last_path_part(package, 0) + ": " + install.brings);
        }
        if (!install.report.empty()) {
          result = nothing_in ? InstallResult::not_installed : InstallResult::incomplete;
          const auto& report = install.report;
          std::string what = last_path_part(package, 0);
          if (!report.failures.empty())
            what += " (" + std::to_string(report.failures.size()) + " not copied)";
          incomplete.push_back(what);
          report_install_problems(shared, ui, report, package, stopped);
        }
        stop = !stopped.empty();  // a record that cannot be written ends the command
      }
    }
    if (done) done(i, result);
    if (stop) break;
  }

  ui.progress_stop();
  if (incomplete.empty()) {
    std::string text = "End of copy into " + tag;
    for (std::size_t i = 0; i < parts.size(); ++i) text += (i ? "; " : " (") + parts[i];
    ui.status(parts.empty() ? text : text + ")");
  } else {
    std::string text = "Copy into " + tag + " incomplete: ";
    for (std::size_t i = 0; i < incomplete.size(); ++i) text += (i ? ", " : "") + incomplete[i];
    ui.status(text);
  }
  ui.progress_close();
  Window* window = ui.window();
  if (window) window->set_enabled(Control::util, true);
  if (working) ui.set_wait_cursor(false);
  refresh_catalogue(shared, ui);
  if (window) {
    window->set_text(Control::Edit2, free_space_text(shared));
    window->clear_picture(Control::AdvImage1);
    window->set_picture_list({});
  }
}

}  // namespace wingstow

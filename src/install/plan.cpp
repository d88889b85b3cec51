#include "install/plan.h"

#include <sys/stat.h>
#include <cstdio>

#include <cstring>

#include "base/path_helpers.h"
#include "base/quiet_feedback.h"
#include "install/install_command.h"
#include "install/install_steps.h"
#include "install/livery.h"
#include "packages/package_folders.h"
#include "packages/unzip.h"
#include "platform/ascii_case.h"
#include "platform/files.h"
#include "settings/record.h"

namespace wingstow {
namespace {

// The install's Ui during a dry run: what it would say or ask becomes a
// note, questions are taken as answered yes, and nothing is shown.
class NoteUi : public QuietFeedback {
 public:
  NoteUi(InstallPlan& plan, std::string tag, std::string into)
      : plan_(plan), tag_(std::move(tag)), into_(std::move(into)) {}

  Answer message(MessageKind kind, std::string_view text, Buttons buttons) override {
    plan_.notes.emplace_back(text);
    return QuietFeedback::message(kind, text, buttons);
  }
  void status(std::string_view text) override {
    if (!text.empty()) plan_.notes.emplace_back(text);
  }
  std::string simulator_tag() override { return tag_; }
  // The airplane named beforehand, when it is one to choose from.
  std::optional<std::string> choose(const Question& question,
                                    const std::vector<std::string>& choices) override {
    if (auto chosen = choice_named(choices, into_)) return chosen;
    std::string text = question.text;
    for (const auto& choice : choices) text += "\n  " + choice;
    plan_.notes.push_back(text);
    return std::nullopt;
  }

 private:
  InstallPlan& plan_;
  std::string tag_;
  std::string into_;
};

}  // namespace

void InstallPlan::copy(const std::string& source, const std::string& target) {
  // A second airplane of the package under the same name adds only what the
  // first did not bring: the copy never overwrites.
  if (!planned_targets.insert(ascii_lower(target)).second) return;
  struct stat st;
  const std::int64_t size = ::stat(source.c_str(), &st) == 0 ? std::int64_t(st.st_size) : 0;
  copies.push_back({source, target, size});
  bytes_needed += size;
}

void InstallPlan::keep(const std::string& target, std::vector<std::string> owners, bool folder) {
  kept.push_back({target, std::move(owners), folder});
}

void note_kept(InstallPlan& plan, const RecordIndex& others, const std::string& target,
               const std::string& below, FilePlan planned, bool listed_before) {
  if (planned == FilePlan::list_only) {
    // Listed by the others, or inside a folder one of them brought.
    auto cover = others.cover(target, below);
    plan.keep(target, cover ? std::move(cover->records) : others.owners(target));
  } else if (planned == FilePlan::skip && !listed_before) {
    plan.keep(target, {});
  }
}

std::string kept_owner_text(const KeptTarget& kept) {
  if (kept.folder) return "simulator/user folder, completed: only what is added is recorded";
  if (kept.owners.empty()) return "simulator/user file, left alone and not recorded";
  std::string text = "shared with";
  for (std::size_t i = 0; i < kept.owners.size(); ++i)
    text += (i ? ", " : " ") + package_of_record(kept.owners[i]);
  return text + ": recorded, not copied";
}

InstallPlan plan_install(Shared& shared, const std::string& package_folder,
                         const std::string& into) {
  InstallPlan plan;
  plan.package = platform::without_trailing_separators(package_folder);
  shared.record_name = last_path_part(plan.package, 0) + ".txt";
  plan.record = record_path(shared);
  plan.resumed = platform::file_exists(plan.record) && install_unfinished(plan.record);
  if (plan.resumed) plan.lines = record_lines(plan.record);
  plan.bytes_free = platform::free_bytes(shared.fs_path);

  if (unzip_interrupted(plan.package)) {
    plan.notes.push_back(unzip_interrupted_text(plan.package));
    plan.refused = true;
    return plan;
  }
  NoteUi ui(plan, shared.fs_version, into);
  PackageInstall install;
  install.dry_run = &plan;
  shared.abort_flag = 0;
  check_self_installer(shared, ui, plan.package);
  if (shared.abort_flag != 0) {
    plan.refused = true;
    return plan;
  }
  // Install extracts inner archives into the package before its steps; a
  // dry run leaves the package as it is.
  shared.FindFile1.FileAttr = {};
  for (const std::string& archive : inner_archives(shared.FindFile1, plan.package))
    plan.notes.push_back("The inner archive " + archive +
                         " is extracted by Install; its files are not in this plan");
  for (InstallStep step : install_steps) {
    if (shared.abort_flag != 0) break;
    step(shared, ui, install, plan.package);
  }
  // The airplane step refuses a package already installed or without airplane.
  if (shared.abort_flag != 0 && plan.copies.empty() && plan.lines.empty()) plan.refused = true;
  plan.refusals = install.report.refusals;
  plan.failures = install.report.failures;
  return plan;
}

std::vector<std::string> plan_text(const InstallPlan& plan) {
  std::vector<std::string> text;
  for (const auto& note : plan.notes) text.push_back("note: " + note);
  for (const auto& copy : plan.copies) text.push_back("copy " + copy.source + " -> " + copy.target);
  for (const auto& kept : plan.kept)
    text.push_back("exists " + kept.target + ": " + kept_owner_text(kept));
  for (const auto& refusal : plan.refusals) text.push_back("refused: " + refusal);
  for (const auto& failure : plan.failures)
    text.push_back("fails " + failure.path + ": " + std::strerror(failure.error));
  for (const auto& section : plan.sections) {
    text.push_back("add [fltsim." + std::to_string(section.number) + "] to " + section.cfg + ": " +
                   section.title);
    for (const auto& line : section.lines) text.push_back("  " + line);
  }
  for (const auto& line : plan.lines) text.push_back("record " + line);
  // In MB (10^6 bytes) for the eye, a size under 0.1 MB not rounded to
  // nothing; the bytes themselves are in the --json document.
  const auto megabytes = [](std::int64_t bytes) {
    if (bytes < 0) return std::string("unknown space");
    if (bytes > 0 && bytes < 100000) return std::string("under 0.1 MB");
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / 1e6);
    return std::string(text);
  };
  text.push_back(std::to_string(plan.copies.size()) + " file(s), " + megabytes(plan.bytes_needed) +
                 " needed, " + megabytes(plan.bytes_free) + " free" +
                 (plan.bytes_needed > plan.bytes_free ? ": NOT ENOUGH SPACE" : ""));
  return text;
}

}  // namespace wingstow

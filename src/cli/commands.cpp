#include "cli/commands.h"

#include "platform/ascii_case.h"
#include "platform/qt_text.h"

#include <QJsonArray>
#include <QString>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "base/path_helpers.h"
#include "check/airplane_check.h"
#include "check/check_json.h"
#include "cli/arguments.h"
#include "cli/json_output.h"
#include "install/install_command.h"
#include "install/livery_record.h"
#include "install/plan.h"
#include "install/verify.h"
#include "packages/entry_names.h"
#include "packages/unzip.h"
#include "platform/control_text.h"
#include "platform/error.h"
#include "platform/files.h"
#include "removal/removal.h"
#include "settings/record.h"
#include "settings/record_airplanes.h"
#include "settings/record_index.h"
#include "settings/simulator.h"
#include "settings/wine.h"

namespace wingstow::cli {
namespace {

using platform::qt_text;
using platform::qt_texts;

bool usable(const std::optional<UnzipResult>& result) {
  return result == UnzipResult::unzipped || result == UnzipResult::already_unzipped;
}

// What became of one item of a run, with the messages said while the run
// was at it: the window's boxes often leave the item to its selection.
template <typename Result>
struct Outcome {
  std::optional<Result> result;  // nothing: the run did not reach it
  std::vector<std::string> said;
};

// The messages said since the item before, questions left out.
class MessagesOfItem {
 public:
  explicit MessagesOfItem(const ConsoleUi& ui) : ui_(ui), seen_(ui.messages().size()) {}
  std::vector<std::string> take() {
    std::vector<std::string> texts;
    for (; seen_ < ui_.messages().size(); ++seen_)
      if (ui_.messages()[seen_].answer.empty()) texts.push_back(ui_.messages()[seen_].text);
    return texts;
  }

 private:
  const ConsoleUi& ui_;
  std::size_t seen_;
};

// A failed item on standard error, whatever --quiet says: its path, what
// became of it and why.
void tell_failure(Context& context, const std::string& item, const std::string& what,
                  const std::vector<std::string>& said) {
  std::string line = "wingstow-cli: " + item + ": " + what;
  for (std::size_t i = 0; i < said.size(); ++i) {
    std::string text = said[i];
    std::replace(text.begin(), text.end(), '\n', ' ');
    line += (i == 0 ? ": " : "; ") + text;
  }
  context.ui.say(line);
}

std::vector<Outcome<UnzipResult>> unzip(Context& context,
                                        const std::vector<std::string>& archives) {
  std::vector<Outcome<UnzipResult>> outcomes(archives.size());
  MessagesOfItem messages(context.ui);
  unzip_archives(context.shared, context.ui, context.zip(), archives,
                 [&](std::size_t index, UnzipResult result) {
                   outcomes[index] = {result, messages.take()};
                 });
  return outcomes;
}

int unzip_command(Context& context, const std::vector<std::string>& arguments) {
  const Shared& shared = context.shared;
  std::vector<std::string> archives;
  if (arguments.empty()) {
    for (const auto& archive : archives_in_download_folder(shared))
      if (!unzipped_already(shared, archive)) archives.push_back(archive);
  }
  for (const auto& argument : arguments) add_unique(archives, find_archive(shared, argument));

  // Unzip asks nothing that --yes or --no answers; a password is asked as it
  // is met, on a terminal.
  context.ui.ask_before_work({});
  const auto outcomes = unzip(context, archives);
  int status = 0;
  QJsonArray items;
  for (std::size_t i = 0; i < archives.size(); ++i) {
    const auto& outcome = outcomes[i];
    const bool done = usable(outcome.result);
    const std::string package = shared.unzip_path + package_name_for_archive(archives[i]);
    const std::string result = outcome.result ? result_name(*outcome.result) : "not reached";
    if (!done) {
      status = 1;
      tell_failure(context, archives[i], "not unzipped (" + result + ")", outcome.said);
    }
    items.append(QJsonObject{{"archive", qt_text(archives[i])},
                             {"package", done ? QJsonValue(qt_text(package)) : QJsonValue()},
                             {"result", qt_text(result)},
                             {"messages", qt_texts(outcome.said)}});
    context.progress_out(result + ": " + archives[i] + (done ? " -> " + package : std::string()));
  }
  context.json["archives"] = items;
  return status;
}

// install --dry-run: each package's plan, as plan tells it, and what the
// airplane check would ask about before installing it; an archive not
// unzipped yet has neither, since unzipping it would change something.
int install_plans(Context& context, const std::vector<std::pair<std::string, std::string>>& items) {
  int status = 0;
  QJsonArray json;
  for (const auto& [archive, package] : items) {
    const std::string name = last_path_part(package, 0);
    QJsonObject entry{{"name", qt_text(name)}, {"package", qt_text(package)}};
    if (!archive.empty() && !unzipped_already(context.shared, archive)) {
      const std::string why =
          archive + ": not unzipped yet; a dry run changes nothing, so unzip it first";
      context.ui.say(std::string(program) + ": " + why, true);
      entry["error"] = qt_text(why);
      json.append(entry);
      status = 1;
      continue;
    }
    const InstallPlan plan = plan_install(context.shared, package, context.options.into);
    context.out("plan for " + name + ":");
    for (const auto& line : plan_text(plan)) context.out("  " + line);
    QJsonObject planned;
    add_plan(planned, plan);
    entry["plan"] = planned;
    const InstallCheck check = check_before_install(package, context.shared.fs_path);
    entry["check"] = report_json(check.report);
    if (check.question) {
      context.out_lines(report_text(check.report));
      context.out_lines("install would ask: " + about(*check.question));
    }
    json.append(entry);
    if (plan.refused || !plan.refusals.empty() || !plan.failures.empty() ||
        plan.bytes_needed > plan.bytes_free)
      status = 1;
  }
  context.json["packages"] = json;
  return status;
}

// What the airplane check found in the package about to be installed,
// printed before the question it asks, and the answer.
struct CheckedItem {
  std::optional<CheckReport> report;
  std::optional<Answer> answer;  // nothing: no question
};

// Checks each package (by index into packages), prints the findings of
// those Install would ask about, and asks about them all at once.
void ask_about_findings(Context& context, const std::vector<std::string>& packages,
                        const std::vector<std::size_t>& which, std::vector<CheckedItem>& checked,
                        std::vector<Question> questions = {}) {
  const std::size_t others = questions.size();
  std::vector<std::size_t> asked;
  for (const std::size_t i : which) {
    InstallCheck check = check_before_install(packages[i], context.shared.fs_path);
    checked[i].report = std::move(check.report);
    if (!check.question) continue;
    // The findings first, so that the question can be answered knowing them.
    context.ui.say(report_text(*checked[i].report), true);
    questions.push_back(std::move(*check.question));
    asked.push_back(i);
  }
  const auto answers = context.ui.ask_before_work(questions);
  for (std::size_t k = 0; k < asked.size(); ++k) {
    checked[asked[k]].answer = answers[others + k];
    // The engine never asks this one again: the option's answer is told now.
    if (context.options.answer)
      context.ui.say(std::string(kind_name(MessageKind::confirmation)) + ": " +
                         about(questions[others + k]) + "\n(answered " +
                         (*context.options.answer ? "yes by --yes" : "no by --no") + ")",
                     true);
  }
}

int install_command(Context& context, const std::vector<std::string>& arguments) {
  const Shared& shared = context.shared;
  struct Item {
    std::string archive;  // unzipped first when given
    std::string package;
    Outcome<UnzipResult> unzipped;
    Outcome<InstallResult> installed;
  };
  std::vector<Item> items;
  std::vector<std::string> packages;
  for (const auto& argument : arguments) {
    check_name(argument);
    Item item;
    if (is_archive_name(argument)) {
      item.archive = find_archive(shared, argument);
    } else if (auto folder = package_folder_of(shared, argument)) {
      item.package = *folder;
    } else if (auto archive = archive_of(shared, argument)) {
      item.archive = *archive;  // not unzipped yet
    } else {
      throw Error(argument + ": no such package in the unzip folder " + shared.unzip_path +
                  " nor archive in the download folder " + shared.download_path);
    }
    if (!item.archive.empty())
      item.package = shared.unzip_path + package_name_for_archive(item.archive);
    const auto before = packages.size();
    add_unique(packages, item.package);
    if (packages.size() != before) items.push_back(std::move(item));
  }
  if (context.options.dry_run) {
    std::vector<std::pair<std::string, std::string>> planned;
    for (const auto& item : items) planned.emplace_back(item.archive, item.package);
    return install_plans(context, planned);
  }

  // Every question of every package before anything is unzipped or
  // installed: a question left without an answer then changes nothing. The
  // check of an archive's package waits for its unzip.
  std::vector<Question> questions;
  std::vector<std::string> package_of_item;
  std::vector<std::size_t> there;
  for (std::size_t i = 0; i < items.size(); ++i) {
    const Item& item = items[i];
    const bool to_unzip = !item.archive.empty() && !unzipped_already(shared, item.archive);
    for (auto& question :
         install_questions(item.package, to_unzip ? item.archive : "", shared.fs_path))
      questions.push_back(std::move(question));
    package_of_item.push_back(item.package);
    if (!to_unzip) there.push_back(i);
  }
  std::vector<CheckedItem> checked(items.size());
  ask_about_findings(context, package_of_item, there, checked, std::move(questions));

  // Archives first, each to its package folder.
  std::vector<std::string> archives;
  std::vector<std::size_t> of_item;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (items[i].archive.empty()) continue;
    if (unzipped_already(shared, items[i].archive)) {
      items[i].unzipped.result = UnzipResult::already_unzipped;
      continue;
    }
    archives.push_back(items[i].archive);
    of_item.push_back(i);
  }
  if (!archives.empty()) {
    auto outcomes = unzip(context, archives);
    for (std::size_t k = 0; k < archives.size(); ++k)
      items[of_item[k]].unzipped = std::move(outcomes[k]);
  }

  std::vector<std::size_t> unzipped_now;
  for (const std::size_t i : of_item)
    if (items[i].unzipped.result == UnzipResult::unzipped) unzipped_now.push_back(i);
  if (!unzipped_now.empty()) ask_about_findings(context, package_of_item, unzipped_now, checked);

  std::vector<std::string> ready;
  std::vector<std::size_t> ready_item;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (!items[i].archive.empty() && !usable(items[i].unzipped.result)) continue;
    if (checked[i].answer && *checked[i].answer != Answer::yes) continue;
    ready.push_back(items[i].package);
    ready_item.push_back(i);
  }
  if (!ready.empty()) {
    MessagesOfItem messages(context.ui);
    install_packages(context.shared, context.ui, context.zip(), ready,
                     [&](std::size_t index, InstallResult result) {
                       Item& item = items[ready_item[index]];
                       item.installed = {result, messages.take()};
                       // Told as it ends: a later package's question may stop the command.
                       context.progress_out(std::string(result_name(result)) + ": " +
                                            last_path_part(item.package, 0));
                     });
  }

  int status = 0;
  QJsonArray json;
  for (std::size_t i = 0; i < items.size(); ++i) {
    const Item& item = items[i];
    const std::string name = last_path_part(item.package, 0);
    const auto& installed = item.installed.result;
    const std::string result = installed ? result_name(*installed) : "not installed";
    QJsonObject entry{{"package", qt_text(item.package)},
                      {"name", qt_text(name)},
                      {"result", qt_text(result)},
                      {"messages", qt_texts(item.installed.said)}};
    if (checked[i].report) entry["check"] = report_json(*checked[i].report);
    if (checked[i].answer) {
      const bool agreed = *checked[i].answer == Answer::yes;
      entry["check_answer"] = agreed ? "yes" : "no";
      if (!agreed)
        tell_failure(context, item.package, "not installed",
                     {"the airplane check's findings were not agreed to"});
    }
    if (!item.archive.empty()) {
      const auto& unzipped = item.unzipped.result;
      entry["archive"] = qt_text(item.archive);
      entry["unzip"] = qt_text(unzipped ? result_name(*unzipped) : "not reached");
      entry["unzip_messages"] = qt_texts(item.unzipped.said);
      if (!usable(unzipped))
        tell_failure(context, item.archive,
                     std::string("not unzipped (") +
                         (unzipped ? result_name(*unzipped) : "not reached") +
                         "), so not installed",
                     item.unzipped.said);
    }
    if (installed) entry["record"] = qt_text(shared.unzip_path + name + ".txt");
    if (installed != InstallResult::installed) {
      status = 1;
      if (installed) tell_failure(context, item.package, result, item.installed.said);
    }
    json.append(entry);
    if (!installed) context.progress_out(result + ": " + name);
  }
  context.json["packages"] = json;
  return status;
}

int remove_command(Context& context, const std::vector<std::string>& arguments) {
  std::vector<std::string> records;
  for (const auto& argument : arguments) add_unique(records, record_of(context, argument));

  // The removal first; whether folders that no trash takes may go for good
  // matters only once it is agreed to.
  const std::string tag = context.ui.simulator_tag();
  if (context.ui.ask_before_work({removal_confirmation(records, tag)}).front() == Answer::yes)
    if (const auto ahead = delete_for_good_ahead(context.shared, records))
      context.ui.ask_before_work({*ahead});

  std::vector<std::optional<bool>> removed(records.size());
  const bool went_ahead =
      remove_records(context.shared, context.ui, records,
                     [&](std::size_t index, bool gone) { removed[index] = gone; });
  int status = went_ahead ? 0 : 1;
  QJsonArray json;
  for (std::size_t i = 0; i < records.size(); ++i) {
    const std::string result = !removed[i] ? "not removed" : *removed[i] ? "removed" : "kept";
    if (removed[i] != true) status = 1;
    json.append(QJsonObject{{"package", qt_text(package_of_record(records[i]))},
                            {"record", qt_text(records[i])},
                            {"result", qt_text(result)}});
    context.progress_out(result + ": " + package_of_record(records[i]));
  }
  context.json["packages"] = json;
  return status;
}

int list_command(Context& context, const std::vector<std::string>&) {
  struct Row {
    std::string name;
    std::size_t lines = 0;
    std::size_t airplanes = 0;
    bool unfinished = false;
  };
  int status = 0;
  std::vector<Row> rows;
  QJsonArray json;
  for (const auto& record : context.records()) {
    std::vector<std::string> lines;
    try {
      lines = record_lines(record);
    } catch (const Error& error) {
      context.ui.message(MessageKind::error, error.what(), Buttons::ok);
      status = 1;
      continue;
    }
    Row row{package_of_record(record), lines.size(),
            airplanes_listed(lines, context.shared.fs_path).size(),
            context.install_unfinished(record)};
    json.append(QJsonObject{{"package", qt_text(row.name)},
                            {"record", qt_text(record)},
                            {"lines", static_cast<qint64>(row.lines)},
                            {"airplanes", static_cast<qint64>(row.airplanes)},
                            {"unfinished", row.unfinished}});
    rows.push_back(std::move(row));
  }
  context.json["packages"] = json;

  std::size_t width = 7;  // "package"
  for (const auto& row : rows) width = std::max(width, row.name.size());
  auto line = [&](const std::string& name, const std::string& lines, const std::string& planes,
                  const std::string& note) {
    std::string text = name + std::string(width - name.size() + 2, ' ');
    text += std::string(lines.size() < 6 ? 6 - lines.size() : 0, ' ') + lines;
    text += std::string(planes.size() < 11 ? 11 - planes.size() : 0, ' ') + planes + note;
    return text;
  };
  if (!rows.empty()) context.out(line("package", "lines", "airplanes", ""));
  for (const auto& row : rows)
    context.out(line(row.name, std::to_string(row.lines), std::to_string(row.airplanes),
                     row.unfinished ? "  (install unfinished: run install again)" : ""));
  return status;
}

int files_command(Context& context, const std::vector<std::string>& arguments) {
  const std::string record = record_of(context, arguments.front());
  const auto lines = record_lines(record);
  context.json["package"] = qt_text(package_of_record(record));
  context.json["record"] = qt_text(record);
  context.json["files"] = qt_texts(lines);
  for (const auto& line : lines) context.out(line);
  // The sections its liveries added to airplanes.
  const auto added = read_added_sections(record);
  if (!added.failure.empty()) throw Error(added.failure);
  QJsonArray sections;
  for (const auto& file : added.files)
    for (const auto& title : file.titles) {
      sections.append(QJsonObject{{"cfg", qt_text(file.cfg)}, {"title", qt_text(title)}});
      context.out("section " + file.cfg + ": title=" + title);
    }
  context.json["sections"] = sections;
  return 0;
}

// The simulators found in the Wine prefixes, numbered from 1 for --found.
QJsonArray found_lines(Context& context, const std::string& indent) {
  QJsonArray json;
  const auto& roots = context.found_simulators();
  for (std::size_t i = 0; i < roots.size(); ++i) {
    const std::string caption = found_caption(roots[i].root, context.shared.wine_prefixes);
    context.out(indent + std::to_string(i + 1) + "  " + roots[i].tag + "  " + roots[i].root + "  " +
                caption);
    json.append(QJsonObject{{"number", static_cast<qint64>(i + 1)},
                            {"simulator", qt_text(roots[i].tag)},
                            {"folder", qt_text(roots[i].root)},
                            {"caption", qt_text(caption)}});
  }
  return json;
}

int status_command(Context& context, const std::vector<std::string>&) {
  const Shared& shared = context.shared;
  const bool selected = !shared.fs_version.empty();
  const bool ready = selected && platform::folder_exists(shared.fs_path);
  QJsonObject& json = context.json;
  json["program_folder"] = qt_text(shared.program_folder);
  json["settings_file"] = qt_text(shared.ini_path);
  context.out("program folder:  " + shared.program_folder);
  context.out("settings file:   " + shared.ini_path);
  context.out("simulator:       " +
              (selected ? shared.fs_version : std::string("(none selected)")));

  QJsonObject simulators;
  for (const char* tag : {"fs2002", "fs2004"}) {
    const std::string key = std::string("fs_path_") + (tag + 2);
    const std::string folder = shared.settings_file.read(settings_section, key, settings_default);
    const bool set = folder != settings_default && !folder.empty();
    const bool found = set && platform::folder_exists(folder);
    simulators[tag] = QJsonObject{{"folder", set ? QJsonValue(qt_text(folder)) : QJsonValue()},
                                  {"exists", found}};
    context.out(std::string(tag) + " folder:   " +
                (!set    ? "(not set)"
                 : found ? folder
                         : folder + " (missing)"));
  }
  json["simulators"] = simulators;
  json["simulator"] = selected ? QJsonValue(qt_text(shared.fs_version)) : QJsonValue();
  if (!selected || !platform::folder_exists(shared.fs_path)) {
    // What could be set: the simulators the Wine prefixes hold.
    context.out(context.found_simulators().empty() ? "found in Wine:   none" : "found in Wine:");
    json["found"] = found_lines(context, "  ");
    if (!context.found_simulators().empty())
      context.out(std::string("                 set one with: ") + program + " sim --found N");
  }
  if (!selected) return 0;

  json["download_folder"] = qt_text(shared.download_path);
  json["unzip_folder"] = qt_text(shared.unzip_path);
  context.out("download folder: " + shared.download_path);
  context.out("unzip folder:    " + shared.unzip_path);
  const std::int64_t free = ready ? platform::free_bytes(shared.fs_path) : -1;
  json["free_bytes"] = free >= 0 ? QJsonValue(static_cast<qint64>(free)) : QJsonValue();
  context.out("free space:      " + (free >= 0 ? size_text(free / 1024) : std::string("unknown")));

  const auto archives = archives_in_download_folder(shared);
  // From the one listing of the unzip folder: its package folders.
  const auto& folders = context.package_folders();
  const auto waiting = std::count_if(archives.begin(), archives.end(), [&](const std::string& a) {
    const auto found = folders.find(ascii_lower(package_name_for_archive(a)));
    return found == folders.end() || unzip_interrupted(shared.unzip_path + found->second);
  });
  const std::size_t packages = folders.size();
  const auto& records = context.records();
  const auto unfinished = std::count_if(records.begin(), records.end(), [&](const std::string& r) {
    return context.install_unfinished(r);
  });
  json["archives"] = static_cast<qint64>(archives.size());
  json["archives_not_unzipped"] = static_cast<qint64>(waiting);
  json["packages_unzipped"] = static_cast<qint64>(packages);
  json["packages_installed"] = static_cast<qint64>(records.size());
  json["installs_unfinished"] = static_cast<qint64>(unfinished);
  context.out("archives:        " + std::to_string(archives.size()) + " (" +
              std::to_string(waiting) + " not unzipped)");
  context.out("packages:        " + std::to_string(packages) + " unzipped, " +
              std::to_string(records.size()) + " installed (" + std::to_string(unfinished) +
              " unfinished)");
  return 0;
}

int plan_command(Context& context, const std::vector<std::string>& arguments) {
  const std::string& argument = arguments.front();
  check_name(argument);
  const auto folder = package_folder_of(context.shared, argument);
  if (!folder) {
    if (!is_archive_name(argument) && !by_path(argument) && archive_of(context.shared, argument))
      throw Error(argument + ": not unzipped yet; a plan changes nothing, so unzip it first");
    throw Error(argument + ": no such package in the unzip folder " + context.shared.unzip_path);
  }
  const InstallPlan plan = plan_install(context.shared, *folder, context.options.into);
  const bool enough = plan.bytes_needed <= plan.bytes_free;
  add_plan(context.json, plan);
  for (const auto& line : plan_text(plan)) context.out(line);
  // As install would end: 1 unless everything would go in.
  return plan.refused || !plan.refusals.empty() || !plan.failures.empty() || !enough ? 1 : 0;
}

int owner_command(Context& context, const std::vector<std::string>& arguments) {
  int status = 0;
  QJsonArray json;
  for (const auto& answer : owners_of(context.shared, arguments)) {
    std::string line = answer.path + ": ";
    if (answer.records.empty()) {
      status = 1;
      line += "not installed by Wingstow";
    } else {
      for (std::size_t i = 0; i < answer.records.size(); ++i)
        line += (i ? ", " : "") + package_of_record(answer.records[i]);
      if (answer.listed_as != answer.path) line += " (listed as " + answer.listed_as + ")";
    }
    json.append(owner_json(answer));
    context.out(line);
  }
  context.json["paths"] = json;
  return status;
}

int verify_command(Context& context, const std::vector<std::string>& arguments) {
  std::vector<std::string> records;
  if (arguments.empty()) records = context.records();
  for (const auto& argument : arguments) add_unique(records, record_of(context, argument));
  int status = 0;
  QJsonArray json;
  PresenceCache presence;
  for (const auto& record : records) {
    const std::string name = package_of_record(record);
    const VerifyResult result =
        verify_record(record, context.install_unfinished(record), &presence);
    for (const auto& problem : result.problems)
      context.out(name + ": " + problem.path + ": " + problem.what);
    if (!result.failure.empty()) context.out(name + ": " + result.failure);
    if (!result.problems.empty() || !result.failure.empty()) status = 1;
    json.append(verify_json(record, result));
    // Nothing is OK that was not compared.
    if (result.problems.empty() && result.failure.empty())
      context.out(name + ": OK, " + std::to_string(result.lines) + " path(s)" +
                  (result.has_sums ? "" : " present (installed before sums were kept)"));
  }
  context.json["packages"] = json;
  return status;
}

int check_command(Context& context, const std::vector<std::string>& arguments) {
  std::vector<std::string> packages = arguments;
  for (const auto& package : packages) check_name(package);
  if (packages.empty())
    for (const auto& record : context.records()) packages.push_back(package_of_record(record));
  int status = 0;
  QJsonArray json;
  for (const auto& package : packages) {
    const CheckReport report = check_package(package, context.shared.fs_path,
                                             context.shared.unzip_path, context.records());
    json.append(report_json(report));
    context.out_lines(report_text(report));
    if (!report.findings.empty()) status = 1;
  }
  context.json["packages"] = json;
  return status;
}

// Both simulators' folders, which one is selected, and the finds.
int sim_list(Context& context) {
  const Shared& shared = context.shared;
  const std::string selected = shared.settings_file.read(settings_section, key_fs_start, "");
  QJsonObject simulators;
  bool any = false;
  for (const char* tag : {"fs2002", "fs2004"}) {
    const std::string folder = stored_simulator_folder(shared, tag);
    const bool there = !folder.empty() && platform::folder_exists(folder);
    any = any || !folder.empty();
    simulators[tag] = QJsonObject{{"folder", folder.empty() ? QJsonValue() : qt_text(folder)},
                                  {"exists", there},
                                  {"selected", selected == tag}};
    context.out(std::string(tag) + ": " +
                (folder.empty() ? "(not set)"
                 : there        ? folder
                                : folder + " (missing)") +
                (selected == tag ? "  (selected)" : ""));
  }
  context.json["simulators"] = simulators;
  context.json["selected"] = selected.empty() ? QJsonValue() : qt_text(selected);
  context.out(context.found_simulators().empty() ? "found in the Wine prefixes: none"
                                                 : "found in the Wine prefixes:");
  context.json["found"] = found_lines(context, "  ");
  if (!any)
    context.out(std::string("set one with: ") + program + " sim fs2004 FOLDER" +
                (context.found_simulators().empty()
                     ? ""
                     : std::string(", or ") + program + " sim --found 1"));
  return 0;
}

int sim_command(Context& context, const std::vector<std::string>& arguments) {
  const std::size_t found = context.options.found;
  if (arguments.empty() && found == 0) return sim_list(context);
  std::string tag = arguments.empty() ? std::string() : arguments[0];
  if (!tag.empty() && tag != "fs2002" && tag != "fs2004")
    throw UsageError("sim takes fs2002 or fs2004, not '" + tag + "'");
  std::string folder;
  if (found != 0) {
    if (arguments.size() > 1) throw UsageError("sim takes a FOLDER or --found, not both");
    const auto& roots = context.found_simulators();
    if (found > roots.size())
      throw Error("There is no simulator number " + std::to_string(found) + " among the " +
                  std::to_string(roots.size()) + " found in the Wine prefixes (" + program +
                  " sim lists them)");
    const SimulatorRoot& root = roots[found - 1];
    if (tag.empty()) tag = root.tag;
    if (tag != root.tag) throw Error(root.root + " holds " + root.tag + ", not " + tag);
    folder = root.root;
  } else if (arguments.size() > 1) {
    folder = platform::with_trailing_separator(
        std::filesystem::absolute(arguments[1]).lexically_normal().string());
  }
  Shared& shared = context.shared;
  if (folder.empty()) {
    // Selecting the simulator to work with: its folder must be set.
    folder = stored_simulator_folder(shared, tag);
    if (folder.empty() || !platform::folder_exists(folder))
      throw Error("No " + tag + " folder is set" +
                  (folder.empty() ? std::string() : " that exists (" + folder + ")") +
                  ": give it, as in " + program + " sim " + tag + " FOLDER");
    shared.settings_file.write(settings_section, key_fs_start, tag);
  } else if (const std::string why = store_simulator_folder(shared, tag, folder); !why.empty()) {
    throw Error(folder + " was not set as the " + tag + " folder: " + why);
  }
  context.json["simulator"] = qt_text(tag);
  context.json["folder"] = qt_text(folder);
  context.out(tag + " folder: " + folder + "  (selected)");
  return 0;
}

constexpr Command table[] = {
    {"unzip", "[ARCHIVE...]",
     "unzip archives (by name in the download folder, or by path); default: every archive of "
     "the download folder not yet unzipped",
     Access::writes, Needs::simulator, 0, many, unzip_command},
    {"install", "PACKAGE...",
     "install package folders of the unzip folder (by name or path), or archives, which are "
     "unzipped first",
     Access::writes, Needs::simulator, 1, many, install_command},
    {"remove", "PACKAGE...", "remove installed packages (record names, letter case ignored)",
     Access::writes, Needs::simulator, 1, many, remove_command},
    {"list", "", "installed packages with their number of lines and airplanes", Access::reads,
     Needs::simulator, 0, 0, list_command},
    {"files", "PACKAGE", "the paths the package's record lists", Access::reads, Needs::simulator, 1,
     1, files_command},
    {"status", "", "simulator folders, free space, counts", Access::reads, Needs::nothing, 0, 0,
     status_command},
    {"sim", "[fs2002|fs2004 [FOLDER]]",
     "the simulators' folders and those found in the Wine prefixes; with a simulator, select it "
     "as the one to work with; with a FOLDER (or --found N, a number sim lists), set its folder "
     "after the same test as the window's chooser",
     Access::writes_when_given, Needs::nothing, 0, 2, sim_command},
    {"plan", "PACKAGE",
     "what install would do with an unzipped package, changing nothing: each copy and its "
     "target, existing targets and their owners, refusals, bytes needed and free",
     Access::reads, Needs::simulator, 1, 1, plan_command},
    {"owner", "PATH...",
     "the installed packages whose records list each simulator path (relative paths from the "
     "simulator's folder)",
     Access::reads, Needs::simulator, 1, many, owner_command},
    {"verify", "[PACKAGE...]",
     "every listed path that is missing, and every file changed since its install; default: "
     "every installed package",
     Access::reads, Needs::simulator, 0, many, verify_command},
    {"check", "[PACKAGE...]",
     "the airplane check of installed packages (record names) or unzipped packages (name or "
     "path): what their airplanes name that the simulator would not find; default: every "
     "installed package",
     Access::reads, Needs::simulator, 0, many, check_command},
};

}  // namespace

Context::Context(const Options& options, Shared& shared, ConsoleUi& ui, QJsonObject& json)
    : options(options), shared(shared), ui(ui), json(json) {}

Context::~Context() = default;

const std::vector<std::string>& Context::records() {
  if (!records_) {
    RecordFolder folder = list_records(shared.unzip_path);
    // Told here, so that the catalogue's refresh does not tell it again.
    shared.catalogue_notice = not_records_text(folder.not_records);
    if (!shared.catalogue_notice.empty())
      ui.message(MessageKind::warning, shared.catalogue_notice, Buttons::ok);
    records_ = std::move(folder.records);
    record_folder_ = std::move(folder);
  }
  return *records_;
}

bool Context::install_unfinished(const std::string& record) {
  records();
  return record_folder_.install_unfinished(record);
}

const std::unordered_map<std::string, std::string>& Context::package_folders() {
  records();
  return record_folder_.folders;
}

const std::vector<SimulatorRoot>& Context::found_simulators() {
  if (!looked_for_simulators_) {
    shared.wine_prefixes = find_wine_prefixes(wine_environment_of_process());
    shared.simulator_roots = find_simulator_roots(shared.wine_prefixes);
    looked_for_simulators_ = true;
  }
  return shared.simulator_roots;
}

void Context::out(std::string_view line) const {
  if (options.json) return;
  // Paths and names come from records, cfg files and archives: none of their
  // control bytes reaches the terminal as it is.
  const std::string text = platform::escape_controls(line);
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fputc('\n', stdout);
}

void Context::out_lines(std::string_view text) const {
  while (!text.empty() && text.back() == '\n') text.remove_suffix(1);
  // Line by line: the text's own line breaks stay, every other control byte
  // is escaped.
  for (std::size_t start = 0;;) {
    const std::size_t end = text.find('\n', start);
    out(text.substr(start, end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
}

void Context::progress_out(std::string_view line) const {
  if (!options.quiet) out(line);
}

ZipMaster& Context::zip() {
  if (!zip_) {
    zip_ = std::make_unique<ZipMaster>(ui);
    zip_->OnProgress = [this](int kind, const std::string&, std::uint64_t size) {
      ZipMaster1Progress(shared, ui, kind, size);
    };
    zip_->OnCRC32Error = [](const std::string&, std::uint32_t, std::uint32_t, bool& do_extract) {
      ZipMaster1CRC32Error(do_extract);
    };
    zip_->load_zip_dll();
    zip_->load_unz_dll();
  }
  return *zip_;
}

std::span<const Command> commands() { return table; }

const Command* find_command(std::string_view name) {
  for (const Command& command : table)
    if (command.name == name) return &command;
  return nullptr;
}

}  // namespace wingstow::cli

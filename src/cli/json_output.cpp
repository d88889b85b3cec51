#include "cli/json_output.h"

#include <QJsonArray>

#include <cstring>
#include <vector>

#include "platform/qt_text.h"
#include "settings/record_index.h"

namespace wingstow::cli {

using platform::qt_text;
using platform::qt_texts;

const char* result_name(UnzipResult result) {
  switch (result) {
    case UnzipResult::unzipped:
      return "unzipped";
    case UnzipResult::already_unzipped:
      return "already unzipped";
    case UnzipResult::failed:
      return "failed";
    case UnzipResult::cancelled:
      return "cancelled";
  }
  return "";
}

const char* result_name(InstallResult result) {
  switch (result) {
    case InstallResult::installed:
      return "installed";
    case InstallResult::incomplete:
      return "incomplete";
    case InstallResult::not_installed:
      return "not installed";
  }
  return "";
}

void add_plan(QJsonObject& json, const InstallPlan& plan) {
  QJsonArray copies;
  for (const auto& copy : plan.copies)
    copies.append(QJsonObject{{"source", qt_text(copy.source)},
                              {"target", qt_text(copy.target)},
                              {"bytes", static_cast<qint64>(copy.bytes)}});
  QJsonArray kept;
  for (const auto& target : plan.kept) {
    QJsonArray owners;
    for (const auto& owner : target.owners) owners.append(qt_text(package_of_record(owner)));
    kept.append(QJsonObject{{"target", qt_text(target.target)},
                            {"owners", owners},
                            {"folder", target.folder},
                            {"what", qt_text(kept_owner_text(target))}});
  }
  QJsonArray failures;
  for (const auto& failure : plan.failures)
    failures.append(QJsonObject{{"path", qt_text(failure.path)},
                                {"reason", qt_text(std::strerror(failure.error))}});
  QJsonArray sections;
  for (const auto& section : plan.sections)
    sections.append(QJsonObject{{"cfg", qt_text(section.cfg)},
                                {"number", section.number},
                                {"title", qt_text(section.title)},
                                {"lines", qt_texts(section.lines)}});
  json["package"] = qt_text(plan.package);
  json["record"] = qt_text(plan.record);
  json["resumed"] = plan.resumed;
  json["refused"] = plan.refused;
  json["copies"] = copies;
  json["kept"] = kept;
  json["sections"] = sections;
  json["refusals"] = qt_texts(plan.refusals);
  json["failures"] = failures;
  json["notes"] = qt_texts(plan.notes);
  json["record_lines"] = qt_texts(plan.lines);
  json["bytes_needed"] = static_cast<qint64>(plan.bytes_needed);
  json["bytes_free"] = static_cast<qint64>(plan.bytes_free);
}

QJsonObject owner_json(const OwnerAnswer& answer) {
  std::vector<std::string> packages;
  for (const auto& record : answer.records) packages.push_back(package_of_record(record));
  QJsonObject entry{{"path", qt_text(answer.path)},
                    {"packages", qt_texts(packages)},
                    {"records", qt_texts(answer.records)}};
  if (!packages.empty()) entry["listed_as"] = qt_text(answer.listed_as);
  return entry;
}

QJsonObject verify_json(const std::string& record, const VerifyResult& result) {
  QJsonArray problems;
  for (const auto& problem : result.problems)
    problems.append(
        QJsonObject{{"path", qt_text(problem.path)}, {"problem", qt_text(problem.what)}});
  QJsonObject entry{{"package", qt_text(package_of_record(record))},
                    {"record", qt_text(record)},
                    {"lines", static_cast<qint64>(result.lines)},
                    {"sums", result.has_sums},
                    {"problems", problems}};
  if (!result.failure.empty()) entry["failure"] = qt_text(result.failure);
  return entry;
}

}  // namespace wingstow::cli

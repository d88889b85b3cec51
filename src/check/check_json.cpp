#include "check/check_json.h"

#include "platform/qt_text.h"

#include <QJsonArray>
#include <QString>

namespace wingstow {
using platform::qt_text;
using platform::qt_texts;

QJsonObject finding_json(const CheckReport& report, const Finding& finding) {
  std::vector<std::string> relative_places;
  for (const auto& place : finding.places.empty() ? finding.looked_in : finding.places)
    relative_places.push_back(relative_path(report, place));
  return {{"problem", qt_text(problem_name(finding.problem))},
          {"airplane", qt_text(finding.airplane)},
          {"file", qt_text(finding.file)},
          {"line", finding.line},
          {"section", qt_text(finding.section)},
          {"missing", qt_text(finding.missing)},
          {"looked_in", qt_texts(finding.looked_in)},
          {"text", qt_text(finding_text(report, finding))},
          {"group", qt_text(problem_group(finding.problem))},
          {"meaning", qt_text(finding.meaning)},
          {"places", qt_texts(finding.places)},
          {"relative_file", qt_text(relative_path(report, finding.file))},
          {"relative_places", qt_texts(relative_places)}};
}

QJsonObject report_json(const CheckReport& report) {
  QJsonArray findings;
  for (const auto& finding : report.findings) findings.append(finding_json(report, finding));
  QJsonArray groups;
  for (const Finding* finding : grouped_findings(report)) {
    const qint64 index = finding - report.findings.data();
    if (groups.isEmpty() ||
        groups.last()["problem"].toString() != qt_text(problem_name(finding->problem))) {
      groups.append(QJsonObject{{"group", qt_text(problem_group(finding->problem))},
                                {"problem", qt_text(problem_name(finding->problem))},
                                {"findings", QJsonArray()}});
    }
    QJsonObject group = groups.last().toObject();
    QJsonArray members = group["findings"].toArray();
    members.append(index);
    group["findings"] = members;
    groups[groups.size() - 1] = group;
  }
  return {{"subject", qt_text(report.subject)},      {"problems", qint64(report.findings.size())},
          {"airplanes", qt_texts(report.airplanes)}, {"findings", findings},
          {"notes", qt_texts(report.notes)},         {"simulator", qt_text(report.simulator)},
          {"package", qt_text(report.package)},      {"groups", groups},
          {"text", qt_text(report_text(report))}};
}

}  // namespace wingstow

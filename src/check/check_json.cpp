#include "check/check_json.h"

#include <QJsonArray>
#include <QString>

namespace wingstow {
namespace {

QString qs(std::string_view text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }

QJsonArray texts(const std::vector<std::string>& list) {
  QJsonArray array;
  for (const auto& text : list) array.append(qs(text));
  return array;
}

}  // namespace

QJsonObject finding_json(const Finding& finding) {
  return {{"problem", qs(problem_name(finding.problem))},
          {"airplane", qs(finding.airplane)},
          {"file", qs(finding.file)},
          {"line", finding.line},
          {"section", qs(finding.section)},
          {"missing", qs(finding.missing)},
          {"looked_in", texts(finding.looked_in)},
          {"text", qs(finding_text(finding))}};
}

QJsonObject report_json(const CheckReport& report) {
  QJsonArray findings;
  for (const auto& finding : report.findings) findings.append(finding_json(finding));
  return {{"subject", qs(report.subject)},
          {"problems", qint64(report.findings.size())},
          {"airplanes", texts(report.airplanes)},
          {"findings", findings},
          {"notes", texts(report.notes)}};
}

}  // namespace wingstow

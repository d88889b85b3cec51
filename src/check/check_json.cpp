#include "check/check_json.h"

#include "platform/qt_text.h"

#include <QJsonArray>
#include <QString>

namespace wingstow {
using platform::qt_text;
using platform::qt_texts;

QJsonObject finding_json(const Finding& finding) {
  return {{"problem", qt_text(problem_name(finding.problem))},
          {"airplane", qt_text(finding.airplane)},
          {"file", qt_text(finding.file)},
          {"line", finding.line},
          {"section", qt_text(finding.section)},
          {"missing", qt_text(finding.missing)},
          {"looked_in", qt_texts(finding.looked_in)},
          {"text", qt_text(finding_text(finding))}};
}

QJsonObject report_json(const CheckReport& report) {
  QJsonArray findings;
  for (const auto& finding : report.findings) findings.append(finding_json(finding));
  return {{"subject", qt_text(report.subject)},
          {"problems", qint64(report.findings.size())},
          {"airplanes", qt_texts(report.airplanes)},
          {"findings", findings},
          {"notes", qt_texts(report.notes)}};
}

}  // namespace wingstow

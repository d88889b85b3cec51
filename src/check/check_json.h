#pragma once

// The airplane check's findings as JSON, for the command line's --json.

#include <QJsonObject>

#include "check/airplane_check.h"

namespace wingstow {

// {"problem": "missing_gauge", "airplane": ..., "file": ..., "line": 12,
//  "section": "Window00", "missing": ..., "looked_in": [...], "text": ...}
QJsonObject finding_json(const Finding& finding);

// {"subject": ..., "problems": N, "airplanes": [...], "findings": [...],
//  "notes": [...]}
QJsonObject report_json(const CheckReport& report);

}  // namespace wingstow

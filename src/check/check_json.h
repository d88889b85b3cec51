#pragma once

// The airplane check's findings as JSON, for the command line's --json.

#include <QJsonObject>

#include "check/airplane_check.h"

namespace wingstow {

// {"problem": "missing_gauge", "airplane": ..., "file": ..., "line": 12,
//  "section": "Window00", "missing": ..., "looked_in": [...], "text": ...,
//  "group": "Missing gauges", "meaning": ..., "places": [...],
//  "relative_file": ..., "relative_places": [...]}; paths whole but for the
//  relative ones, which are as the report shows them.
QJsonObject finding_json(const CheckReport& report, const Finding& finding);

// {"subject": ..., "problems": N, "airplanes": [...], "findings": [...],
//  "notes": [...], "simulator": ..., "package": ..., "groups": [{"group":
//  "Missing gauges", "problem": "missing_gauge", "findings": [0, 2]}],
//  "text": ...}; a group's findings are indexes into "findings".
QJsonObject report_json(const CheckReport& report);

}  // namespace wingstow

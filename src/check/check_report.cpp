#include "check/check_report.h"

#include "platform/ascii_case.h"
#include "platform/files.h"

namespace wingstow {

std::string_view problem_name(Problem problem) {
  switch (problem) {
    case Problem::missing_folder:
      return "missing_folder";
    case Problem::missing_air_file:
      return "missing_air_file";
    case Problem::missing_title:
      return "missing_title";
    case Problem::duplicate_title:
      return "duplicate_title";
    case Problem::unread_section:
      return "unread_section";
    case Problem::missing_alias_target:
      return "missing_alias_target";
    case Problem::missing_gauge:
      return "missing_gauge";
    case Problem::missing_cfg:
      return "missing_cfg";
    case Problem::missing_airplane:
      return "missing_airplane";
    case Problem::unsafe_name:
      return "unsafe_name";
    case Problem::unreadable:
      return "unreadable";
  }
  return "unknown";
}

std::string shown_path(const std::string& path) { return platform::resolve(path); }

std::string problems_found_text(std::size_t count) {
  return count == 0 ? "No problem found" : std::to_string(count) + " problem(s) found";
}

std::string finding_text(const Finding& finding) {
  std::string text;
  std::string file = finding.file;
  const std::string airplane = ascii_lower(shown_path(finding.airplane));
  if (!airplane.empty() && ascii_lower(file).starts_with(airplane) && file.size() > airplane.size())
    file = file.substr(airplane.size());
  text += file;
  if (finding.line > 0) text += ", line " + std::to_string(finding.line);
  if (!finding.section.empty()) text += ", [" + finding.section + "]";
  text += ": " + finding.missing;
  for (std::size_t i = 0; i < finding.looked_in.size(); ++i)
    text += (i == 0 ? "\n    looked for: " : "\n                ") + finding.looked_in[i];
  return text;
}

std::string report_text(const CheckReport& report) {
  std::string text = "Airplane check of " + report.subject + "\n" +
                     problems_found_text(report.findings.size()) + " in " +
                     std::to_string(report.airplanes.size()) + " airplane(s)\n";
  for (const auto& airplane : report.airplanes) {
    bool first = true;
    for (const auto& finding : report.findings) {
      if (finding.airplane != airplane) continue;
      if (first) text += "\n" + shown_path(airplane) + "\n";
      first = false;
      std::string line = finding_text(finding);
      for (std::size_t at = 0; (at = line.find('\n', at)) != std::string::npos; at += 3)
        line.insert(at + 1, "  ");
      text += "  " + line + "\n";
    }
  }
  if (!report.notes.empty()) text += "\n";
  for (const auto& note : report.notes) text += "Note: " + note + "\n";
  return text;
}

}  // namespace wingstow

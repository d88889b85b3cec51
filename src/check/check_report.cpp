#include "check/check_report.h"

#include "base/path_helpers.h"
#include "platform/ascii_case.h"
#include "platform/files.h"

namespace wingstow {
namespace {

constexpr Problem problem_order[] = {
    Problem::missing_gauge,    Problem::gauge_in_modules, Problem::missing_folder,
    Problem::missing_air_file, Problem::missing_cfg,      Problem::missing_alias_target,
    Problem::missing_airplane, Problem::missing_title,    Problem::duplicate_title,
    Problem::unread_section,   Problem::unsafe_name,      Problem::unreadable,
};

// How many findings the question before install names.
constexpr std::size_t findings_asked = 3;

std::string joined(const std::vector<std::string>& parts) {
  std::string text;
  for (const auto& part : parts) text += (text.empty() ? "" : ", ") + part;
  return text;
}

}  // namespace

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
    case Problem::gauge_in_modules:
      return "gauge_in_modules";
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

std::string_view problem_group(Problem problem) {
  switch (problem) {
    case Problem::missing_gauge:
      return "Missing gauges";
    case Problem::gauge_in_modules:
      return "Gauges that only a .dll in Modules provides";
    case Problem::missing_folder:
      return "Missing folders";
    case Problem::missing_air_file:
      return "Missing flight model (.air) files";
    case Problem::missing_cfg:
      return "Missing configuration files";
    case Problem::missing_alias_target:
      return "Missing airplanes that a panel or sound borrows from";
    case Problem::missing_airplane:
      return "Missing airplane folders";
    case Problem::missing_title:
      return "Missing titles";
    case Problem::duplicate_title:
      return "Titles used twice";
    case Problem::unread_section:
      return "Entries the simulator never reads";
    case Problem::unsafe_name:
      return "Names leading outside the airplane, not looked up";
    case Problem::unreadable:
      return "Files that cannot be read";
  }
  return "Other findings";
}

std::string shown_path(const std::string& path) { return platform::resolve(path); }

std::string relative_path(const CheckReport& report, const std::string& path) {
  const std::string shown = platform::without_trailing_separators(path);
  std::vector<std::string> roots;
  if (!report.simulator.empty()) roots.push_back(report.simulator);
  // A package's paths start with its name.
  if (!report.package.empty())
    roots.push_back(parent_folder(platform::without_trailing_separators(report.package)));
  for (const auto& root : roots)
    if (shown.size() > root.size() && starts_with_ignoring_case(shown, root))
      return shown.substr(root.size());
  return shown;
}

std::string problems_found_text(std::size_t count) {
  return count == 0 ? "No problem found" : std::to_string(count) + " problem(s) found";
}

std::string finding_line(const CheckReport& report, const Finding& finding) {
  std::string text = relative_path(report, finding.file);
  if (finding.line > 0) text += ", line " + std::to_string(finding.line);
  if (!finding.section.empty()) text += ", [" + finding.section + "]";
  return text + ": " + finding.missing;
}

std::string finding_text(const CheckReport& report, const Finding& finding) {
  std::string text = finding_line(report, finding);
  if (!finding.meaning.empty()) text += "\n    " + finding.meaning;
  std::vector<std::string> places;
  for (const auto& place : finding.places.empty() ? finding.looked_in : finding.places)
    places.push_back(relative_path(report, place));
  if (places.empty()) return text;
  if (finding.places.empty()) return text + "\n    looked for: " + joined(places);
  text += "\n    looked in: " + joined(places);
  if (!finding.tried_as.empty()) text += " (as " + finding.tried_as + ")";
  return text;
}

std::vector<const Finding*> grouped_findings(const CheckReport& report) {
  std::vector<const Finding*> ordered;
  for (const Problem problem : problem_order)
    for (const auto& finding : report.findings)
      if (finding.problem == problem) ordered.push_back(&finding);
  return ordered;
}

std::string report_text(const CheckReport& report) {
  std::string text = "Airplane check of " + report.subject + "\n" +
                     problems_found_text(report.findings.size()) + " in " +
                     std::to_string(report.airplanes.size()) + " airplane(s)\n";
  if (!report.simulator.empty())
    text += "Paths below the simulator folder " + report.simulator + " are relative to it";
  if (!report.package.empty())
    text += std::string(report.simulator.empty() ? "Paths" : ", those") +
            " of the package relative to " +
            parent_folder(platform::without_trailing_separators(report.package));
  if (!report.simulator.empty() || !report.package.empty()) text += "\n";
  std::vector<std::string> airplanes;
  for (const auto& airplane : report.airplanes)
    airplanes.push_back(relative_path(report, airplane));
  if (!airplanes.empty()) text += "Airplane(s): " + joined(airplanes) + "\n";

  const auto ordered = grouped_findings(report);
  for (std::size_t i = 0; i < ordered.size(); ++i) {
    const Problem problem = ordered[i]->problem;
    if (i == 0 || ordered[i - 1]->problem != problem) {
      std::size_t count = 0;
      for (std::size_t k = i; k < ordered.size() && ordered[k]->problem == problem; ++k) ++count;
      text += "\n" + std::string(problem_group(problem)) + " (" + std::to_string(count) + ")\n";
    }
    // Its own lines already stand below the first.
    text += "  " + finding_text(report, *ordered[i]) + "\n";
  }
  if (!report.notes.empty()) text += "\n";
  for (const auto& note : report.notes) text += "Note: " + note + "\n";
  return text;
}

Question install_question(const CheckReport& report, const std::string& package) {
  const std::string name = last_path_part(platform::without_trailing_separators(package), 0);
  const auto ordered = grouped_findings(report);
  std::string text =
      "The airplane check found " + std::to_string(ordered.size()) + " problem(s) in " + name + ":";
  for (std::size_t i = 0; i < ordered.size() && i < findings_asked; ++i)
    text += "\n  " + finding_line(report, *ordered[i]);
  if (ordered.size() > findings_asked)
    text += "\n  ... and " + std::to_string(ordered.size() - findings_asked) + " more";
  text += "\nInstall it all the same?";
  return {std::string(check_question_topic), package, MessageKind::confirmation, text,
          Buttons::yes_no};
}

}  // namespace wingstow

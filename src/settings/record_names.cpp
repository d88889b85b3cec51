#include "settings/record_names.h"

#include "base/name_match.h"
#include "platform/ascii_case.h"
#include "platform/error.h"
#include "settings/record_index.h"

namespace wingstow {

std::optional<std::string> record_named(const std::vector<std::string>& records,
                                        const std::string& name) {
  std::string wanted = name;
  if (ends_with_ignoring_case(wanted, ".txt")) wanted.resize(wanted.size() - 4);
  std::vector<std::string> packages;
  for (const auto& record : records) packages.push_back(package_of_record(record));
  const auto found = names_matching(packages, wanted);
  if (found.empty()) return std::nullopt;
  if (found.size() == 1) return records[found.front()];
  std::string names;
  for (const auto index : found) names += " " + packages[index];
  throw Error(name + ": names more than one installed package:" + names);
}

std::string find_record(const std::vector<std::string>& records, const std::string& name,
                        const std::string& unzip_path) {
  if (auto record = record_named(records, name)) return *record;
  throw Error(name + ": no such installed package in " + unzip_path);
}

}  // namespace wingstow

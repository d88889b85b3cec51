#include "install/record_index.h"

#include <algorithm>

#include "install/path_helpers.h"
#include "install/record.h"
#include "platform/files.h"
#include "removal/ascii_case.h"

namespace wingstow {
namespace {}  // namespace

RecordIndex RecordIndex::load(const std::string& unzip_path, const std::string& except) {
  RecordIndex index;
  if (unzip_path.empty()) return index;
  for (const auto& entry : platform::find_entries(unzip_path, "*.txt", platform::attr_archive)) {
    if (entry.link || !(entry.attributes & platform::attr_archive)) continue;
    const std::string record = unzip_path + entry.name;
    if (record == except) continue;
    index.add(record, record_lines(record));
  }
  return index;
}

const std::vector<std::string>& RecordIndex::owners(std::string_view path) const {
  static const std::vector<std::string> none;
  const auto found = owners_.find(ascii_lower(path));
  return found == owners_.end() ? none : found->second;
}

void RecordIndex::add(const std::string& record, const std::vector<std::string>& lines) {
  forget(record);
  records_.insert(std::upper_bound(records_.begin(), records_.end(), record), record);
  auto& keys = keys_of_[record];
  for (const auto& line : lines) {
    std::string key = ascii_lower(line);
    auto& list = owners_[key];
    if (std::find(list.begin(), list.end(), record) != list.end()) continue;
    list.insert(std::upper_bound(list.begin(), list.end(), record), record);
    keys.push_back(std::move(key));
  }
}

void RecordIndex::forget(const std::string& record) {
  const auto at = std::find(records_.begin(), records_.end(), record);
  if (at == records_.end()) return;
  records_.erase(at);
  const auto keys = keys_of_.find(record);
  if (keys == keys_of_.end()) return;
  for (const auto& key : keys->second) {
    const auto found = owners_.find(key);
    if (found == owners_.end()) continue;
    auto& list = found->second;
    list.erase(std::remove(list.begin(), list.end(), record), list.end());
    if (list.empty()) owners_.erase(found);
  }
  keys_of_.erase(keys);
}

std::string package_of_record(std::string_view record_path) {
  std::string name = last_path_part(std::string(record_path), 0);
  if (name.size() >= 4) name.resize(name.size() - 4);
  return name;
}

}  // namespace wingstow

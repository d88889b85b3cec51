#include "install/record_index.h"

#include <algorithm>
#include <functional>

#include "install/path_helpers.h"
#include "install/record.h"
#include "platform/files.h"
#include "removal/ascii_case.h"

namespace wingstow {

RecordIndex RecordIndex::load(const std::string& unzip_path, const std::string& except) {
  RecordIndex index;
  if (unzip_path.empty()) return index;
  std::vector<std::string> records;
  for (const auto& entry : platform::find_entries(unzip_path, "*.txt", platform::attr_archive,
                                                  platform::Detail::kinds)) {
    if (entry.link || !(entry.attributes & platform::attr_archive)) continue;
    std::string record = unzip_path + entry.name;
    if (record != except) records.push_back(std::move(record));
  }
  std::sort(records.begin(), records.end());
  for (const auto& record : records) {
    const Id id = index.begin_record(record);
    read_record_lines(record, [&](const std::string& line) {
      index.add_line(id, line);
      return true;
    });
    index.end_record(id);
  }
  return index;
}

std::vector<std::string> RecordIndex::owners(std::string_view path) const {
  std::vector<std::string> names;
  const auto found = paths_.find(ascii_lower(path));
  if (found == paths_.end()) return names;
  // Asked once per airplane an install refuses: a pass over the records.
  for (Id id = 0; id < names_.size(); ++id)
    if (present_[id] && lists(id, &*found)) names.push_back(names_[id]);
  std::sort(names.begin(), names.end());
  return names;
}

std::size_t RecordIndex::count(std::string_view path) const {
  const auto found = paths_.find(ascii_lower(path));
  return found == paths_.end() ? 0 : found->second.records;
}

std::size_t RecordIndex::listed_by_others(std::string_view path, std::string_view record) const {
  const auto found = paths_.find(ascii_lower(path));
  if (found == paths_.end()) return 0;
  const auto id = ids_.find(std::string(record));
  const bool own = id != ids_.end() && present_[id->second] && lists(id->second, &*found);
  return found->second.records - (own && found->second.records != 0 ? 1 : 0);
}

void RecordIndex::add(const std::string& record, const std::vector<std::string>& lines) {
  const Id id = begin_record(record);
  for (const auto& line : lines) add_line(id, line);
  end_record(id);
}

RecordIndex::Id RecordIndex::begin_record(const std::string& record) {
  forget(record);
  const auto [at, fresh] = ids_.try_emplace(record, static_cast<Id>(names_.size()));
  if (fresh) {
    names_.push_back(record);
    present_.push_back(true);
    paths_of_.emplace_back();
  }
  present_[at->second] = true;
  paths_of_[at->second].clear();
  return at->second;
}

void RecordIndex::add_line(Id id, std::string_view line) {
  key_.assign(line);
  for (char& c : key_)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  paths_of_[id].push_back(&*paths_.try_emplace(key_).first);
}

void RecordIndex::end_record(Id id) {
  // A record listing a path twice lists it once.
  auto& mine = paths_of_[id];
  std::sort(mine.begin(), mine.end(), std::less<PathEntry*>());
  mine.erase(std::unique(mine.begin(), mine.end()), mine.end());
  for (PathEntry* entry : mine) ++entry->second.records;
}

bool RecordIndex::lists(Id id, const PathEntry* entry) const {
  const auto& mine = paths_of_[id];
  return std::binary_search(mine.begin(), mine.end(), entry, std::less<const PathEntry*>());
}

void RecordIndex::forget(const std::string& record) {
  const auto found = ids_.find(record);
  if (found == ids_.end() || !present_[found->second]) return;
  const Id id = found->second;
  present_[id] = false;
  for (PathEntry* entry : paths_of_[id])
    if (--entry->second.records == 0) paths_.erase(paths_.find(entry->first));
  paths_of_[id].clear();
}

std::vector<std::string> RecordIndex::records() const {
  std::vector<std::string> present;
  for (Id id = 0; id < names_.size(); ++id)
    if (present_[id]) present.push_back(names_[id]);
  std::sort(present.begin(), present.end());
  return present;
}

std::string package_of_record(std::string_view record_path) {
  std::string name = last_path_part(std::string(record_path), 0);
  if (name.size() >= 4) name.resize(name.size() - 4);
  return name;
}

}  // namespace wingstow

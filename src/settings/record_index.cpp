#include "settings/record_index.h"

#include <algorithm>
#include <functional>

#include "base/path_helpers.h"
#include "platform/ascii_case.h"
#include "platform/files.h"
#include "settings/record.h"

namespace wingstow {

namespace {

struct TextFile {
  std::string path;
  bool link = false;
};

// The "*.txt" regular files directly in the unzip folder, links among them
// (followed only to tell their kind), in the listing's order.
// The text files of the unzip folder, and, when folder is given, the
// records whose install markers lie there and the folders, from one listing.
std::vector<TextFile> text_files(const std::string& unzip_path, RecordFolder* folder = nullptr) {
  std::vector<TextFile> files;
  if (unzip_path.empty()) return files;
  const std::string marker_mask = "*" + install_marker("");
  const std::size_t marker_length = marker_mask.size() - 1;
  const auto kinds = platform::attr_archive | (folder ? platform::attr_directory : 0u);
  for (const auto& entry :
       platform::find_entries(unzip_path, "*", kinds, platform::Detail::kinds)) {
    if (entry.attributes & platform::attr_directory) {
      if (folder && entry.name != "." && entry.name != "..")
        folder->folders.emplace(ascii_lower(entry.name), entry.name);
      continue;
    }
    if (!(entry.attributes & platform::attr_archive)) continue;
    if (platform::wildcard_match("*.txt", entry.name)) {
      files.push_back({unzip_path + entry.name, entry.link});
    } else if (folder && !entry.link && platform::wildcard_match(marker_mask, entry.name)) {
      folder->unfinished.insert(
          ascii_lower(entry.name.substr(0, entry.name.size() - marker_length)));
    }
  }
  return files;
}

}  // namespace

std::vector<std::string> record_candidates(const std::string& unzip_path) {
  std::vector<std::string> records;
  for (auto& file : text_files(unzip_path))
    if (!file.link) records.push_back(std::move(file.path));
  return records;
}

RecordFolder list_records(const std::string& unzip_path, const RecordIndex* read_already) {
  RecordFolder folder;
  std::unordered_map<std::string_view, const NotRecord*> known_not;
  if (read_already)
    for (const NotRecord& not_record : read_already->not_records())
      known_not.emplace(not_record.path, &not_record);
  for (auto& [record, link] : text_files(unzip_path, &folder)) {
    // Nothing is read through it: where it leads is no record of this folder.
    if (link) {
      folder.not_records.push_back(
          {record, record + " is a symbolic link, which is not followed: it is not a record"});
      continue;
    }
    if (read_already && read_already->holds(record)) {
      folder.records.push_back(std::move(record));
      continue;
    }
    if (const auto found = known_not.find(record); found != known_not.end()) {
      folder.not_records.push_back(*found->second);
      continue;
    }
    try {
      read_record_lines(record, [](const std::string&) { return true; });
      folder.records.push_back(std::move(record));
    } catch (const NotARecord& error) {
      folder.not_records.push_back({std::move(record), error.what()});
    } catch (const Error&) {
      // Unreadable now, but a record all the same: the commands that read
      // it say why.
      folder.records.push_back(std::move(record));
    }
  }
  return folder;
}

bool RecordFolder::install_unfinished(const std::string& record) const {
  return unfinished.contains(ascii_lower(last_path_part(record, 0)));
}

std::string not_records_text(const std::vector<NotRecord>& not_records) {
  if (not_records.empty()) return {};
  constexpr std::size_t named = 3;
  std::string text = "Left out of the installed packages: ";
  for (std::size_t i = 0; i < not_records.size() && i < named; ++i)
    text += (i ? "; " : "") + not_records[i].reason;
  if (not_records.size() > named)
    text += "; and " + std::to_string(not_records.size() - named) + " more such files";
  return text;
}

std::string record_key(std::string_view line) {
  std::string key;
  key.reserve(line.size());
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == platform::sep) {
      // "//" and "/./" say no more than "/".
      if (!key.empty() && key.back() == platform::sep) continue;
      if (i + 1 < line.size() && line[i + 1] == '.' &&
          (i + 2 == line.size() || line[i + 2] == platform::sep)) {
        ++i;
        if (key.empty()) key += c;
        continue;
      }
    }
    key += ascii_lower(c);
  }
  return platform::without_trailing_separators(std::move(key));
}

std::vector<std::string_view> folders_above(std::string_view path) {
  path = platform::without_trailing_separators(path);
  std::vector<std::string_view> folders;
  for (auto cut = path.rfind(platform::sep); cut != std::string_view::npos && cut > 0;
       cut = path.rfind(platform::sep, cut - 1))
    folders.push_back(path.substr(0, cut));
  return folders;
}

RecordIndex RecordIndex::load(const std::string& unzip_path, const std::string& except) {
  RecordIndex index;
  for (const auto& record : record_candidates(unzip_path)) {
    if (record == except) continue;
    const Id id = index.begin_record(record);
    try {
      read_record_lines(record, [&](const std::string& line) {
        index.add_line(id, line);
        return true;
      });
    } catch (const NotARecord& error) {
      index.abandon_record(id);
      index.not_records_.push_back({record, error.what()});
      continue;
    }
    index.end_record(id);
  }
  return index;
}

bool RecordIndex::holds(const std::string& record) const {
  const auto found = ids_.find(record);
  return found != ids_.end() && present_[found->second];
}

std::vector<std::string> RecordIndex::owners(std::string_view path) const {
  std::vector<std::string> names;
  const auto found = paths_.find(record_key(path));
  if (found == paths_.end()) return names;
  // Asked once per airplane an install refuses: a pass over the records.
  for (Id id = 0; id < names_.size(); ++id)
    if (present_[id] && lists(id, &*found)) names.push_back(names_[id]);
  std::sort(names.begin(), names.end());
  return names;
}

std::size_t RecordIndex::count(std::string_view path) const {
  const auto found = paths_.find(record_key(path));
  return found == paths_.end() ? 0 : found->second.records;
}

std::size_t RecordIndex::listed_by_others(std::string_view path, std::string_view record) const {
  const auto found = paths_.find(record_key(path));
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
  key_ = record_key(line);
  paths_of_[id].push_back(&*paths_.try_emplace(key_).first);
}

void RecordIndex::end_record(Id id) {
  // A record listing a path twice lists it once.
  auto& mine = paths_of_[id];
  std::sort(mine.begin(), mine.end(), std::less<PathEntry*>());
  mine.erase(std::unique(mine.begin(), mine.end()), mine.end());
  for (PathEntry* entry : mine) {
    ++entry->second.records;
    for (const auto folder : folders_above(entry->first)) {
      if (const auto at = inside_.find(folder); at != inside_.end())
        ++at->second;
      else
        inside_.emplace(folder, 1);
    }
  }
}

void RecordIndex::abandon_record(Id id) {
  // Paths only this record had begun to list go again, each once.
  auto& mine = paths_of_[id];
  std::sort(mine.begin(), mine.end(), std::less<PathEntry*>());
  mine.erase(std::unique(mine.begin(), mine.end()), mine.end());
  for (PathEntry* entry : mine)
    if (entry->second.records == 0)
      if (const auto at = paths_.find(entry->first); at != paths_.end()) paths_.erase(at);
  paths_of_[id].clear();
  present_[id] = false;
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
  for (PathEntry* entry : paths_of_[id]) {
    for (const auto folder : folders_above(entry->first)) {
      const auto at = inside_.find(folder);
      if (at != inside_.end() && --at->second == 0) inside_.erase(at);
    }
    if (--entry->second.records == 0) paths_.erase(paths_.find(entry->first));
  }
  paths_of_[id].clear();
}

const RecordIndex::PathEntry* RecordIndex::deepest_line(std::string_view path,
                                                        std::string_view below) const {
  const std::string key = record_key(path);
  const std::string floor = platform::with_trailing_separator(record_key(below));
  if (!key.starts_with(floor) || key.size() == floor.size()) return nullptr;
  const auto listed = [&](std::string_view at) -> const PathEntry* {
    const auto found = paths_.find(std::string(at));
    return found == paths_.end() || found->second.records == 0 ? nullptr : &*found;
  };
  if (const auto* found = listed(key)) return found;
  for (const auto folder : folders_above(key)) {
    if (folder.size() < floor.size()) break;
    if (const auto* found = listed(folder)) return found;
  }
  return nullptr;
}

std::optional<RecordIndex::Cover> RecordIndex::cover(std::string_view path,
                                                     std::string_view below) const {
  const PathEntry* found = deepest_line(path, below);
  if (!found) return std::nullopt;
  const std::string_view at = found->first;
  // Spelled as asked where the key is the path's own letters.
  const bool same = path.size() >= at.size() && record_key(path.substr(0, at.size())) == at;
  return Cover{same ? std::string(path.substr(0, at.size())) : found->first, owners(at)};
}

bool RecordIndex::covered(std::string_view path, std::string_view below) const {
  return deepest_line(path, below) != nullptr;
}

std::size_t RecordIndex::count_inside(std::string_view folder) const {
  const auto found = inside_.find(record_key(folder));
  return found == inside_.end() ? 0 : found->second;
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

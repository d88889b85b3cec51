#include "base/find_file.h"

#include <filesystem>

#include "platform/files.h"

namespace wingstow {

TFileAttr::TFileAttr(std::initializer_list<TFileAttrKind> kinds) {
  for (auto kind : kinds) bits_ |= 1u << static_cast<int>(kind);
}

std::uint32_t TFileAttr::mask() const {
  static constexpr std::uint32_t bits[] = {platform::attr_read_only, platform::attr_hidden,
                                           platform::attr_system,    platform::attr_volume,
                                           platform::attr_directory, platform::attr_archive,
                                           platform::attr_any};
  std::uint32_t result = 0;
  for (int kind = 0; kind < 7; ++kind)
    if (contains(static_cast<TFileAttrKind>(kind))) result |= bits[kind];
  return result;
}

TFindFile::TFindFile() {
  std::error_code error;
  setPath(std::filesystem::current_path(error).string());
}

void TFindFile::setPath(std::string_view value) {
  if (value == path_ || value.empty() || !platform::folder_exists(value)) return;
  path_ = platform::with_trailing_separator(std::string(value));
}

const std::vector<std::string>& TFindFile::Search() {
  results_.clear();
  if (!path_.empty()) search_folder(path_, FileAttr.mask());
  return results_;
}

namespace {

// One listing per folder, kinds as the listing tells them: the matches and
// the subfolders to enter both come from it, and subfolders are opened
// relative to their parent.
void search_tree(const platform::Folder& dir, const std::string& folder, const std::string& mask,
                 std::uint32_t attribute_mask, bool subfolders, std::vector<std::string>& results) {
  const auto entries = dir.entries("*", platform::attr_any, platform::Detail::kinds);
  for (const auto& entry : entries)
    if (platform::admitted(entry.attributes, attribute_mask) &&
        platform::wildcard_match(mask, entry.name))
      results.push_back(folder + entry.name);
  if (!subfolders) return;
  // Hidden folders are not entered; neither are linked ones, which could
  // lead back up the tree.
  for (const auto& entry : entries) {
    if (!(entry.attributes & platform::attr_directory) ||
        !platform::admitted(entry.attributes, platform::attr_directory) || entry.name == "." ||
        entry.name == ".." || entry.link)
      continue;
    const platform::Folder sub(dir, entry.name);
    if (sub.is_open())
      search_tree(sub, folder + entry.name + platform::sep, mask, attribute_mask, true, results);
  }
}

}  // namespace

void TFindFile::search_folder(const std::string& folder, std::uint32_t attribute_mask) {
  const platform::Folder dir(folder);
  if (dir.is_open()) search_tree(dir, folder, FileMask, attribute_mask, InSubFolders, results_);
}

}  // namespace wingstow

#pragma once

// The file finder every search of the engine goes through: the entries of a
// folder (and, on request, of its subfolders) whose names match a wildcard
// mask, as full paths, depth first. Its properties persist between searches,
// so each caller sets what it relies on.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace wingstow {

enum class TFileAttrKind {
  ffaReadOnly,
  ffaHidden,
  ffaSysFile,
  ffaVolumeID,
  ffaDirectory,
  ffaArchive,
  ffaAnyFile
};

// A set of attribute kinds.
class TFileAttr {
 public:
  TFileAttr() = default;
  TFileAttr(std::initializer_list<TFileAttrKind> kinds);
  bool contains(TFileAttrKind kind) const { return (bits_ >> static_cast<int>(kind)) & 1u; }
  bool empty() const { return bits_ == 0; }
  // The attribute bits the set stands for: [] 0, [ffaDirectory] 0x10,
  // [ffaAnyFile] 0x3F.
  std::uint32_t mask() const;
  bool operator==(const TFileAttr&) const = default;

 private:
  std::uint32_t bits_ = 0;
};

class TFindFile {
 public:
  // Path: the current folder; FileMask "*.*"; FileAttr [ffaAnyFile]; no
  // subfolders.
  TFindFile();

  const std::string& Path() const { return path_; }
  // Taken only when it differs from the current Path, is not empty and names
  // an existing folder; stored with a trailing separator. Otherwise the
  // previous Path silently stays.
  void setPath(std::string_view value);

  std::string FileMask = "*.*";
  bool InSubFolders = false;
  TFileAttr FileAttr{TFileAttrKind::ffaAnyFile};

  // Runs the search on Path and returns the finder's own result list, valid
  // until the next search.
  const std::vector<std::string>& Search();

 private:
  void search_folder(const std::string& folder, std::uint32_t attribute_mask);

  std::string path_;
  std::vector<std::string> results_;
};

}  // namespace wingstow

#pragma once

// A temporary folder tree for tests: made empty on construction, removed with
// everything in it on destruction (read-only folders included).

#include <string>
#include <string_view>

namespace wingstow::test {

class TempTree {
 public:
  TempTree();
  // In parent (ending with the separator) instead of the temporary folder.
  explicit TempTree(const std::string& parent);
  ~TempTree();
  TempTree(const TempTree&) = delete;
  TempTree& operator=(const TempTree&) = delete;

  // The tree's folder, with its trailing separator.
  const std::string& root() const { return root_; }

  // root() + relative; no check that it exists.
  std::string path(std::string_view relative) const;

  // Creates the folder and its missing parents; returns its path with a
  // trailing separator.
  std::string make_folder(std::string_view relative) const;

  // Creates (or replaces) the file, and its missing parent folders; returns
  // its path.
  std::string make_file(std::string_view relative, std::string_view content = {}) const;

 private:
  std::string root_;
};

// Whole content of a file; throws std::runtime_error when it cannot be read.
std::string read_file(const std::string& path);

// Creates or replaces a file; throws std::runtime_error on failure.
void write_file(const std::string& path, std::string_view content);

// Removes a tree without following links, opening up read-only folders
// first; quiet when it is gone.
void remove_tree(const std::string& path);

}  // namespace wingstow::test

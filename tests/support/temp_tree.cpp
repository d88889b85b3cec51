#include "support/temp_tree.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace wingstow::test {

namespace fs = std::filesystem;

TempTree::TempTree() : TempTree(fs::temp_directory_path().string() + "/") {}

TempTree::TempTree(const std::string& parent) {
  std::string pattern = parent + "wingstow-test-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr)
    throw std::system_error(errno, std::generic_category(), "mkdtemp");
  root_ = pattern + "/";
}

TempTree::~TempTree() { remove_tree(root_.substr(0, root_.size() - 1)); }

std::string TempTree::path(std::string_view relative) const {
  return root_ + std::string(relative);
}

std::string TempTree::make_folder(std::string_view relative) const {
  auto full = path(relative);
  fs::create_directories(full);
  if (full.back() != '/') full += '/';
  return full;
}

std::string TempTree::make_file(std::string_view relative, std::string_view content) const {
  const auto full = path(relative);
  fs::create_directories(fs::path(full).parent_path());
  write_file(full, content);
  return full;
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write_file(const std::string& path, std::string_view content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
  out.close();
  if (!out) throw std::runtime_error("cannot write " + path);
}

void remove_tree(const std::string& path) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) return;
  if (S_ISDIR(st.st_mode)) {
    if ((st.st_mode & S_IRWXU) != S_IRWXU) ::chmod(path.c_str(), (st.st_mode & 07777) | S_IRWXU);
    std::vector<std::string> entries;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(path, ec))
      entries.push_back(entry.path().string());
    for (const auto& entry : entries) remove_tree(entry);
    ::rmdir(path.c_str());
  } else {
    ::unlink(path.c_str());
  }
}

}  // namespace wingstow::test

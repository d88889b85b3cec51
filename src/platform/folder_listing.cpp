#include "platform/folder_listing.h"

#include "platform/ascii_case.h"
#include "platform/unique_fd.h"

#include <algorithm>
#include <memory>
#include <utility>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace wingstow::platform {

namespace {

// find_entries' order.
bool name_less(const ListedEntry& a, const ListedEntry& b) {
  return less_ignoring_case(a.name, b.name);
}

}  // namespace

std::vector<ListedEntry> list_folder(std::string_view folder) {
  std::vector<ListedEntry> entries;
  if (folder.empty()) return entries;
  const UniqueDir dir(opendir(std::string(folder).c_str()));
  if (!dir) return entries;
  const int fd = dirfd(dir.get());
  while (const dirent* e = readdir(dir.get())) {
    const std::string_view name = e->d_name;
    if (name == "." || name == "..") continue;
    ListedEntry entry{std::string(name)};
    unsigned char type = e->d_type;
    if (type == DT_UNKNOWN) {
      struct stat own;
      if (::fstatat(fd, e->d_name, &own, AT_SYMLINK_NOFOLLOW) != 0) continue;
      type = S_ISLNK(own.st_mode)   ? DT_LNK
             : S_ISDIR(own.st_mode) ? DT_DIR
             : S_ISREG(own.st_mode) ? DT_REG
                                    : DT_UNKNOWN;
    }
    if (type == DT_LNK) {
      entry.link = true;
      struct stat target;
      if (::fstatat(fd, e->d_name, &target, 0) == 0) {
        entry.folder = S_ISDIR(target.st_mode);
        entry.file = S_ISREG(target.st_mode);
      }
    } else {
      entry.folder = type == DT_DIR;
      entry.file = type == DT_REG;
    }
    entries.push_back(std::move(entry));
  }
  std::sort(entries.begin(), entries.end(), name_less);
  return entries;
}

}  // namespace wingstow::platform

#include "platform/shell.h"

#include "platform/files.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QStorageInfo>
#include <QUrl>

#include <algorithm>

namespace wingstow::platform {

namespace {

std::string local(const QString& path) { return QFile::encodeName(path).toStdString(); }

// Volumes mounted for the user: removable media and the usual mount points.
std::vector<Drive> mounted_drives() {
  std::vector<Drive> found;
  for (const auto& volume : QStorageInfo::mountedVolumes()) {
    if (!volume.isValid() || !volume.isReady()) continue;
    const auto root = local(volume.rootPath());
    if (!root.starts_with("/media/") && !root.starts_with("/mnt/") &&
        !root.starts_with("/run/media/"))
      continue;
    const auto name = local(volume.name());
    found.push_back(
        {with_trailing_separator(root), name.empty() ? root : name + " (" + root + ")"});
  }
  std::sort(found.begin(), found.end(),
            [](const Drive& a, const Drive& b) { return a.root < b.root; });
  found.erase(std::unique(found.begin(), found.end(),
                          [](const Drive& a, const Drive& b) { return a.root == b.root; }),
              found.end());
  return found;
}

}  // namespace

bool open_with_default(std::string_view path) {
  const auto real = resolve(path);
  return QDesktopServices::openUrl(
      QUrl::fromLocalFile(QFile::decodeName(QByteArray(real.data(), qsizetype(real.size())))));
}

std::vector<Drive> drives() {
  std::vector<Drive> list{{"/", "/"}};
  const auto home = without_trailing_separators(local(QDir::homePath()));
  if (home != "/") list.push_back({with_trailing_separator(home), "Home (" + home + ")"});
  for (auto& drive : mounted_drives()) list.push_back(std::move(drive));
  return list;
}

bool is_drive_root(std::string_view path) {
  const std::string wanted(without_trailing_separators(path));
  if (wanted == "/") return true;
  const auto mounted = mounted_drives();
  return std::any_of(mounted.begin(), mounted.end(),
                     [&](const Drive& d) { return without_trailing_separators(d.root) == wanted; });
}

}  // namespace wingstow::platform

#include "widgets/file_list_view.h"

#include <QTreeWidgetItem>
#include <algorithm>
#include <string>
#include <utility>

#include "platform/ascii_case.h"
#include "platform/files.h"
#include "platform/shell.h"
#include "widgets/file_operations.h"

namespace wingstow {

const QString FileListView::drives_text = QStringLiteral("Drives");
const QString FileListView::parent_caption = QStringLiteral(" Parent");

namespace {

using file_operations::clean_absolute;
using file_operations::folder_part;
using file_operations::local;
using file_operations::name_part;
using file_operations::shown;
using file_operations::with_trailing_separator;
using file_operations::without_trailing_separators;

}  // namespace

FileListView::FileListView(QWidget* parent) : QTreeWidget(parent) {
  set_up_rows();
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);

  // clicked() comes after the click has updated the selection, and only for
  // a press and release on the same entry.
  connect(this, &QAbstractItemView::clicked, this, [this](const QModelIndex& index) {
    if (selectedItems().isEmpty()) return;
    if (const QTreeWidgetItem* item = itemFromIndex(index)) raise_click(item);
  });

  set_up_actions();

  current_directory = drives_text;
  directory_bytes = local(drives_text);
  fill();
}

void FileListView::setDirectory(const QString& folder) { setDirectoryBytes(local(folder)); }

void FileListView::setDirectoryBytes(const std::string& folder) {
  if (pasting) return;
  if (same_ignoring_case(folder, local(drives_text))) {
    if (current_directory == drives_text) return;
    current_directory = drives_text;
    directory_bytes = local(drives_text);
    fill();
    return;
  }
  if (folder.empty()) return;
  const std::string wanted = with_trailing_separator(clean_absolute(folder));
  if (current_directory != drives_text && same_ignoring_case(wanted, directory_bytes)) return;
  const std::string resolved = platform::resolve(wanted);
  if (!platform::folder_exists(resolved)) return;
  directory_bytes = with_trailing_separator(resolved);
  current_directory = shown(directory_bytes);
  fill();
}

QString FileListView::itemPath(int index) const {
  const QTreeWidgetItem* item = topLevelItem(index);
  return item ? item->text(path_column) : QString();
}

std::string FileListView::itemPathBytes(int index) const {
  const QTreeWidgetItem* item = topLevelItem(index);
  return item ? path_of(item) : std::string();
}

QString FileListView::itemCaption(int index) const {
  const QTreeWidgetItem* item = topLevelItem(index);
  return item ? caption_of(item) : QString();
}

bool FileListView::itemHighlighted(int index) const {
  const QTreeWidgetItem* item = topLevelItem(index);
  return item && item->isSelected();
}

void FileListView::setItemHighlighted(int index, bool highlighted) {
  QTreeWidgetItem* item = topLevelItem(index);
  if (!item) return;
  // The selection model does not enforce single selection by itself.
  if (highlighted && !multiSelect()) clearSelection();
  item->setSelected(highlighted);
}

void FileListView::setMultiSelect(bool multi) {
  if (multi == multiSelect()) return;
  if (!multi && selectedItems().size() > 1) clearSelection();
  setSelectionMode(multi ? QAbstractItemView::ExtendedSelection
                         : QAbstractItemView::SingleSelection);
}

void FileListView::oneLevelUp() {
  if (pasting || current_directory == drives_text) return;
  if (is_drive_root(directory_bytes)) {
    setDirectory(drives_text);
    return;
  }
  const std::string folder = without_trailing_separators(directory_bytes);
  const auto cut = folder.rfind(platform::sep);
  if (cut == std::string::npos) return;
  setDirectoryBytes(folder.substr(0, cut + 1));

  QTreeWidgetItem* entry = find_entry(folder, Qt::CaseSensitive);
  if (!entry) entry = find_entry(folder, Qt::CaseInsensitive);
  if (entry) highlight_entry(entry);
}

void FileListView::refresh() {
  if (!pasting) fill();
}

void FileListView::showFile(const QString& path) { showFileBytes(local(path)); }

void FileListView::showFileBytes(const std::string& path) {
  if (pasting) return;
  const std::string absolute = clean_absolute(path);
  setDirectoryBytes(folder_part(absolute));
  if (current_directory == drives_text) return;
  const std::string wanted = directory_bytes + name_part(absolute);
  QTreeWidgetItem* entry = find_entry(wanted, Qt::CaseSensitive);
  if (!entry) {
    // Listed before the file came; or the same folder in other letter case.
    refresh();
    entry = find_entry(wanted, Qt::CaseSensitive);
    if (!entry) entry = find_entry(wanted, Qt::CaseInsensitive);
  }
  if (entry) highlight_entry(entry);
}

void FileListView::highlight_entry(QTreeWidgetItem* entry) {
  setCurrentItem(entry);  // clears any other highlight, also in multi-select
  scrollToItem(entry);
  setFocus(Qt::OtherFocusReason);
  raise_click(entry);
}

void FileListView::setExtraDrives(std::vector<platform::Drive> drives) {
  extra_drives = std::move(drives);
  if (current_directory == drives_text) fill();
}

std::vector<platform::Drive> FileListView::all_drives() const {
  std::vector<platform::Drive> list = platform::drives();
  list.insert(list.end(), extra_drives.begin(), extra_drives.end());
  return list;
}

// Every entry of the drives list leads back to it, the home folder and a
// prefix's drive_c too, though they are not the roots of their volumes.
bool FileListView::is_drive_root(const std::string& folder) const {
  const auto trimmed = [](std::string path) {
    while (path.size() > 1 && path.back() == platform::sep) path.pop_back();
    return path;
  };
  const std::string wanted = trimmed(folder);
  if (platform::is_drive_root(wanted)) return true;
  const auto list = all_drives();
  return std::any_of(list.begin(), list.end(),
                     [&](const platform::Drive& drive) { return trimmed(drive.root) == wanted; });
}

QTreeWidgetItem* FileListView::find_entry(const std::string& path, Qt::CaseSensitivity cs) const {
  for (int i = 0; i < topLevelItemCount(); ++i) {
    QTreeWidgetItem* item = topLevelItem(i);
    if (kind_of(item) == EntryKind::parent) continue;
    const std::string own = path_of(item);
    if (cs == Qt::CaseSensitive ? own == path : same_ignoring_case(own, path)) return item;
  }
  return nullptr;
}

void FileListView::open_entry(const QTreeWidgetItem* item) {
  const std::string path = path_of(item);
  switch (kind_of(item)) {
    case EntryKind::parent:
      oneLevelUp();
      break;
    case EntryKind::drive:
    case EntryKind::folder:
      setDirectoryBytes(path);
      break;
    case EntryKind::file:
      if (openFile)
        openFile(shown(path));
      else
        platform::open_with_default(path);
      break;
  }
}

void FileListView::raise_click(const QTreeWidgetItem* item) {
  selected_item = item->text(path_column);
  selected_bytes = path_of(item);
  emit listClick();
}

}  // namespace wingstow

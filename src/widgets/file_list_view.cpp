#include "widgets/file_list_view.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLocale>
#include <QMouseEvent>
#include <QPersistentModelIndex>
#include <QStyle>
#include <QStyledItemDelegate>
#include <algorithm>

#include "platform/files.h"
#include "platform/shell.h"

namespace wingstow {

const QString FileListView::drives_text = QStringLiteral("Drives");
const QString FileListView::parent_caption = QStringLiteral(" Parent");

namespace {

constexpr int kind_role = Qt::UserRole;

// Hot tracking: the row under the mouse is drawn underlined.
class HoverUnderlineDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

 protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    if (option->state & QStyle::State_MouseOver) option->font.setUnderline(true);
  }
};

QString with_separator(QString path) {
  if (!path.endsWith(QLatin1Char(platform::sep))) path += QLatin1Char(platform::sep);
  return path;
}

QString without_separator(QString path) {
  while (path.size() > 1 && path.endsWith(QLatin1Char(platform::sep))) path.chop(1);
  return path;
}

// Explorer's way: whole kilobytes, rounded up.
QString size_text(std::uint64_t bytes) {
  return QLocale().toString(static_cast<qulonglong>((bytes + 1023) / 1024)) + QStringLiteral(" KB");
}

QString type_text(const QString& name, bool folder) {
  if (folder) return QStringLiteral("File Folder");
  const QString suffix = QFileInfo(name).suffix();
  return suffix.isEmpty() ? QStringLiteral("File") : suffix.toUpper() + QStringLiteral(" File");
}

// Short date and short time; the locale's short date-time format carries
// seconds in some locales.
QString time_text(const QLocale& locale, const QDateTime& time) {
  if (!time.isValid()) return {};
  return locale.toString(time.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
         locale.toString(time.time(), QLocale::ShortFormat);
}

QString attributes_text(std::uint32_t attributes) {
  QString text;
  if (attributes & platform::attr_read_only) text += QLatin1Char('R');
  if (attributes & platform::attr_hidden) text += QLatin1Char('H');
  if (attributes & platform::attr_system) text += QLatin1Char('S');
  if (attributes & platform::attr_archive) text += QLatin1Char('A');
  return text;
}

bool name_less(const platform::DirEntry& a, const platform::DirEntry& b) {
  const QString left = QString::fromStdString(a.name);
  const QString right = QString::fromStdString(b.name);
  const int order = left.compare(right, Qt::CaseInsensitive);
  return order != 0 ? order < 0 : left < right;
}

}  // namespace

FileListView::FileListView(QWidget* parent) : QTreeWidget(parent) {
  setColumnCount(6);
  setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Size"), QStringLiteral("Type"),
                   QStringLiteral("Modified"), QStringLiteral("Attributes"),
                   QStringLiteral("Path")});
  setColumnHidden(path_column, true);
  setColumnWidth(name_column, 220);
  setColumnWidth(size_column, 80);
  setColumnWidth(type_column, 110);
  setColumnWidth(modified_column, 130);
  headerItem()->setTextAlignment(size_column, Qt::AlignRight | Qt::AlignVCenter);

  setRootIsDecorated(false);
  setItemsExpandable(false);
  setUniformRowHeights(true);
  setAllColumnsShowFocus(true);
  setSortingEnabled(false);  // the order is fixed: parent, folders, files
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);

  setMouseTracking(true);
  viewport()->setAttribute(Qt::WA_Hover);
  setItemDelegate(new HoverUnderlineDelegate(this));

  // clicked() comes after the click has updated the selection, and only for
  // a press and release on the same entry.
  connect(this, &QAbstractItemView::clicked, this, [this](const QModelIndex& index) {
    if (selectedItems().isEmpty()) return;
    if (const QTreeWidgetItem* item = itemFromIndex(index)) raise_click(item);
  });

  current_directory = drives_text;
  fill();
}

void FileListView::setDirectory(const QString& folder) {
  if (folder.compare(drives_text, Qt::CaseInsensitive) == 0) {
    if (current_directory == drives_text) return;
    current_directory = drives_text;
    fill();
    return;
  }
  if (folder.isEmpty()) return;
  const QString wanted = with_separator(
      QDir::toNativeSeparators(QDir::cleanPath(QFileInfo(folder).absoluteFilePath())));
  if (wanted.compare(current_directory, Qt::CaseInsensitive) == 0) return;
  const std::string resolved = platform::resolve(wanted.toStdString());
  if (!platform::folder_exists(resolved)) return;
  current_directory = with_separator(QString::fromStdString(resolved));
  fill();
}

QString FileListView::itemPath(int index) const {
  const QTreeWidgetItem* item = topLevelItem(index);
  return item ? item->text(path_column) : QString();
}

QString FileListView::itemCaption(int index) const {
  const QTreeWidgetItem* item = topLevelItem(index);
  return item ? item->text(name_column) : QString();
}

void FileListView::setItemCaption(int index, const QString& caption) {
  if (QTreeWidgetItem* item = topLevelItem(index)) item->setText(name_column, caption);
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
  if (current_directory == drives_text) return;
  if (platform::is_drive_root(current_directory.toStdString())) {
    setDirectory(drives_text);
    return;
  }
  const QString folder = without_separator(current_directory);
  const qsizetype cut = folder.lastIndexOf(QLatin1Char(platform::sep));
  if (cut < 0) return;
  setDirectory(folder.left(cut + 1));

  QTreeWidgetItem* entry = find_entry(folder, Qt::CaseSensitive);
  if (!entry) entry = find_entry(folder, Qt::CaseInsensitive);
  if (!entry) return;
  setCurrentItem(entry);  // clears any other highlight, also in multi-select
  scrollToItem(entry);
  setFocus(Qt::OtherFocusReason);
  raise_click(entry);
}

void FileListView::refresh() { fill(); }

void FileListView::keyPressEvent(QKeyEvent* event) {
  // The list's own keys are handled here, ahead of the view's navigation.
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      if (const QTreeWidgetItem* item = currentItem()) open_entry(item);
      event->accept();
      return;
    default:
      QTreeWidget::keyPressEvent(event);
  }
}

void FileListView::keyReleaseEvent(QKeyEvent* event) {
  const bool arrow = event->key() == Qt::Key_Up || event->key() == Qt::Key_Down;
  if (arrow && !event->isAutoRepeat() && currentItem() && !selectedItems().isEmpty())
    raise_click(currentItem());
  QTreeWidget::keyReleaseEvent(event);
}

void FileListView::mousePressEvent(QMouseEvent* event) {
  opened_by_double_click = false;
  QTreeWidget::mousePressEvent(event);
}

void FileListView::mouseDoubleClickEvent(QMouseEvent* event) {
  const QPersistentModelIndex index = indexAt(event->position().toPoint());
  // The base class first: after the new listing it would take the double
  // click for a press on whatever entry now lies under the mouse.
  QTreeWidget::mouseDoubleClickEvent(event);
  if (event->button() != Qt::LeftButton || !index.isValid()) return;
  if (const QTreeWidgetItem* item = itemFromIndex(index)) {
    opened_by_double_click = true;
    open_entry(item);
  }
}

void FileListView::mouseReleaseEvent(QMouseEvent* event) {
  QTreeWidget::mouseReleaseEvent(event);
  opened_by_double_click = false;
}

QItemSelectionModel::SelectionFlags FileListView::selectionCommand(const QModelIndex& index,
                                                                   const QEvent* event) const {
  // The view defers the selection of a pressed, already selected entry to
  // the release; after a double click that release belongs to the listing
  // that was left, and must not highlight whatever the new one shows there.
  if (opened_by_double_click && event && event->type() == QEvent::MouseButtonRelease)
    return QItemSelectionModel::NoUpdate;
  return QTreeWidget::selectionCommand(index, event);
}

void FileListView::fill() {
  clear();
  if (current_directory == drives_text)
    fill_drives();
  else
    fill_folder();
}

void FileListView::fill_drives() {
  for (const platform::Drive& drive : platform::drives()) {
    QTreeWidgetItem* item = add_entry(EntryKind::drive, QString::fromStdString(drive.label),
                                      with_separator(QString::fromStdString(drive.root)));
    item->setText(type_column, QStringLiteral("Drive"));
  }
}

void FileListView::fill_folder() {
  add_entry(EntryKind::parent, parent_caption, current_directory + QStringLiteral(".."));

  std::vector<platform::DirEntry> folders;
  std::vector<platform::DirEntry> files;
  for (platform::DirEntry& entry :
       platform::find_entries(current_directory.toStdString(), "*.*", platform::attr_any)) {
    if (entry.name == "." || entry.name == "..") continue;
    ((entry.attributes & platform::attr_directory) ? folders : files).push_back(std::move(entry));
  }
  std::sort(folders.begin(), folders.end(), name_less);
  std::sort(files.begin(), files.end(), name_less);

  const QLocale locale;
  const auto add = [&](const platform::DirEntry& entry, bool folder) {
    const QString name = QString::fromStdString(entry.name);
    const QString path = current_directory + name;
    QTreeWidgetItem* item = add_entry(folder ? EntryKind::folder : EntryKind::file, name, path);
    if (!folder) item->setText(size_column, size_text(entry.size));
    item->setText(type_column, type_text(name, folder));
    item->setText(modified_column, time_text(locale, QFileInfo(path).lastModified()));
    item->setText(attributes_column, attributes_text(entry.attributes));
  };
  for (const platform::DirEntry& entry : folders) add(entry, true);
  for (const platform::DirEntry& entry : files) add(entry, false);
}

QTreeWidgetItem* FileListView::add_entry(EntryKind kind, const QString& caption,
                                         const QString& path) {
  QStyle::StandardPixmap icon = QStyle::SP_FileIcon;
  switch (kind) {
    case EntryKind::drive:
      icon = QStyle::SP_DriveHDIcon;
      break;
    case EntryKind::parent:
      icon = QStyle::SP_FileDialogToParent;
      break;
    case EntryKind::folder:
      icon = QStyle::SP_DirIcon;
      break;
    case EntryKind::file:
      break;
  }
  auto* item = new QTreeWidgetItem(this);
  item->setText(name_column, caption);
  item->setIcon(name_column, style()->standardIcon(icon));
  item->setData(name_column, kind_role, static_cast<int>(kind));
  item->setText(path_column, path);
  item->setTextAlignment(size_column, Qt::AlignRight | Qt::AlignVCenter);
  return item;
}

QTreeWidgetItem* FileListView::find_entry(const QString& path, Qt::CaseSensitivity cs) const {
  for (int i = 0; i < topLevelItemCount(); ++i) {
    QTreeWidgetItem* item = topLevelItem(i);
    if (kind_of(item) != EntryKind::parent && item->text(path_column).compare(path, cs) == 0)
      return item;
  }
  return nullptr;
}

void FileListView::open_entry(const QTreeWidgetItem* item) {
  const QString path = item->text(path_column);
  switch (kind_of(item)) {
    case EntryKind::parent:
      oneLevelUp();
      break;
    case EntryKind::drive:
    case EntryKind::folder:
      setDirectory(path);
      break;
    case EntryKind::file:
      platform::open_with_default(path.toStdString());
      break;
  }
}

void FileListView::raise_click(const QTreeWidgetItem* item) {
  selected_item = item->text(path_column);
  emit listClick();
}

FileListView::EntryKind FileListView::kind_of(const QTreeWidgetItem* item) {
  return static_cast<EntryKind>(item->data(name_column, kind_role).toInt());
}

}  // namespace wingstow

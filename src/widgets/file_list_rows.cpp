// How the list's entries look: the columns, the texts of sizes, types,
// times and attributes, the icons, the owners' captions beside the names,
// and the rows made from a folder's entries or the drives.

#include "widgets/file_list_view.h"

#include <QDate>
#include <QFileInfo>
#include <QHeaderView>
#include <QLocale>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTime>
#include <algorithm>
#include <ctime>
#include <string>
#include <utility>

#include "platform/files.h"
#include "widgets/file_operations.h"

namespace wingstow {

namespace {

constexpr int kind_role = Qt::UserRole;
// The entry's full path in the file system's bytes, on the path column: the
// column's text is for display, and a name that is not UTF-8 does not survive
// a QString.
constexpr int path_role = Qt::UserRole + 1;
// On the name column, once the owner has given an entry a caption of its
// own: the caption the list gave it, and the owner's.
constexpr int own_caption_role = Qt::UserRole + 2;
constexpr int caption_role = Qt::UserRole + 3;
// Between an entry's name and the caption its owner gave it.
const QString caption_gap = QStringLiteral("   ");

using file_operations::local;
using file_operations::shown;

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

QString with_trailing_separator(QString path) {
  if (!path.endsWith(QLatin1Char(platform::sep))) path += QLatin1Char(platform::sep);
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

// Short date and short time, local; the locale's short date-time format
// carries seconds in some locales. The C library takes the time apart with
// the time zone it read once, where QDateTime reads it again for each of
// thousands of entries.
QString time_text(const QLocale& locale, std::int64_t modified_ms) {
  const std::time_t seconds = static_cast<std::time_t>(
      modified_ms >= 0 ? modified_ms / 1000 : -((-modified_ms + 999) / 1000));
  std::tm local{};
  if (!::localtime_r(&seconds, &local)) return {};
  const QDate date(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
  const QTime time(local.tm_hour, local.tm_min, std::min(local.tm_sec, 59));
  return locale.toString(date, QLocale::ShortFormat) + QLatin1Char(' ') +
         locale.toString(time, QLocale::ShortFormat);
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

void FileListView::set_up_rows() {
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

  setMouseTracking(true);
  viewport()->setAttribute(Qt::WA_Hover);
  setItemDelegate(new HoverUnderlineDelegate(this));
}

void FileListView::setItemCaption(int index, const QString& caption) {
  QTreeWidgetItem* item = topLevelItem(index);
  if (!item) return;
  keep_own_caption(item);
  item->setData(name_column, caption_role, caption);
  show_caption(item);
}

QString FileListView::own_caption(const QTreeWidgetItem* item) {
  const QVariant own = item->data(name_column, own_caption_role);
  return own.isValid() ? own.toString() : item->text(name_column);
}

QString FileListView::caption_of(const QTreeWidgetItem* item) {
  const QVariant caption = item->data(name_column, caption_role);
  return caption.isValid() ? caption.toString() : own_caption(item);
}

void FileListView::keep_own_caption(QTreeWidgetItem* item) {
  // Set aside only once the text may change: most entries never need it.
  if (!item->data(name_column, own_caption_role).isValid())
    item->setData(name_column, own_caption_role, item->text(name_column));
}

void FileListView::show_caption(QTreeWidgetItem* item) {
  const QString own = own_caption(item);
  const QString caption = caption_of(item);
  // The owner's caption goes beside the name rather than over it, so that
  // the entry it marks stays known.
  const QString text = caption == own ? own : own + caption_gap + caption;
  item->setText(name_column, text);
  item->setToolTip(name_column, caption == own ? QString() : text);
  if (caption == own) return;
  const QModelIndex index = indexFromItem(item, name_column);
  QStyleOptionViewItem option;
  initViewItemOption(&option);
  const int wanted = itemDelegateForIndex(index)->sizeHint(option, index).width();
  if (wanted <= columnWidth(name_column)) return;
  if (!name_width_before_captions) name_width_before_captions = columnWidth(name_column);
  setColumnWidth(name_column, wanted);
}

void FileListView::fill() {
  // A new listing ends a rename in progress: its editor goes with the rows.
  renaming_path.clear();
  committed_name.reset();
  clear();
  // The owners' captions are gone, and so is the room they took.
  if (name_width_before_captions)
    setColumnWidth(name_column, *std::exchange(name_width_before_captions, std::nullopt));
  if (current_directory == drives_text)
    fill_drives();
  else
    fill_folder();
}

void FileListView::fill_drives() {
  for (const platform::Drive& drive : all_drives()) {
    QTreeWidgetItem* item = add_entry(EntryKind::drive, QString::fromStdString(drive.label),
                                      with_trailing_separator(QString::fromStdString(drive.root)));
    item->setText(type_column, QStringLiteral("Drive"));
  }
}

void FileListView::fill_folder() {
  add_path_entry(EntryKind::parent, parent_caption, directory_bytes + "..");

  std::vector<platform::DirEntry> folders;
  std::vector<platform::DirEntry> files;
  for (platform::DirEntry& entry :
       platform::find_entries(directory_bytes, "*.*", platform::attr_any)) {
    if (entry.name == "." || entry.name == "..") continue;
    ((entry.attributes & platform::attr_directory) ? folders : files).push_back(std::move(entry));
  }
  std::sort(folders.begin(), folders.end(), name_less);
  std::sort(files.begin(), files.end(), name_less);

  const QLocale locale;
  const auto add = [&](const platform::DirEntry& entry, bool folder) {
    const QString name = shown(entry.name);
    const std::string path = directory_bytes + entry.name;
    QTreeWidgetItem* item =
        add_path_entry(folder ? EntryKind::folder : EntryKind::file, name, path);
    if (!folder) item->setText(size_column, size_text(entry.size));
    item->setText(type_column, type_text(name, folder));
    item->setText(modified_column, time_text(locale, entry.modified_ms));
    item->setText(attributes_column, attributes_text(entry.attributes));
  };
  for (const platform::DirEntry& entry : folders) add(entry, true);
  for (const platform::DirEntry& entry : files) add(entry, false);
}

QTreeWidgetItem* FileListView::add_entry(EntryKind kind, const QString& caption,
                                         const QString& path) {
  return add_path_entry(kind, caption, local(path));
}

const QIcon& FileListView::kind_icon(EntryKind kind) {
  if (kind_icons_style != style()) {
    kind_icons_style = style();
    kind_icons = {};
  }
  QIcon& icon = kind_icons[static_cast<std::size_t>(kind)];
  if (icon.isNull()) {
    QStyle::StandardPixmap pixmap = QStyle::SP_FileIcon;
    switch (kind) {
      case EntryKind::drive:
        pixmap = QStyle::SP_DriveHDIcon;
        break;
      case EntryKind::parent:
        pixmap = QStyle::SP_FileDialogToParent;
        break;
      case EntryKind::folder:
        pixmap = QStyle::SP_DirIcon;
        break;
      case EntryKind::file:
        break;
    }
    icon = style()->standardIcon(pixmap);
  }
  return icon;
}

QTreeWidgetItem* FileListView::add_path_entry(EntryKind kind, const QString& caption,
                                              const std::string& path) {
  auto* item = new QTreeWidgetItem(this);
  item->setText(name_column, caption);
  item->setIcon(name_column, kind_icon(kind));
  item->setData(name_column, kind_role, static_cast<int>(kind));
  item->setText(path_column, shown(path));
  item->setData(path_column, path_role, QByteArray::fromStdString(path));
  item->setTextAlignment(size_column, Qt::AlignRight | Qt::AlignVCenter);
  return item;
}

std::string FileListView::path_of(const QTreeWidgetItem* item) {
  return item->data(path_column, path_role).toByteArray().toStdString();
}

FileListView::EntryKind FileListView::kind_of(const QTreeWidgetItem* item) {
  return static_cast<EntryKind>(item->data(name_column, kind_role).toInt());
}

}  // namespace wingstow

#include "widgets/folder_tree_drop_down.h"

#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QHeaderView>
#include <QKeyEvent>
#include <QScreen>
#include <QStandardItemModel>
#include <QStyle>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>

#include "platform/files.h"
#include "platform/shell.h"

namespace wingstow {

namespace {

constexpr int path_role = Qt::UserRole + 1;
constexpr int loaded_role = Qt::UserRole + 2;
constexpr int popup_height = 240;
constexpr int popup_min_width = 240;

QString with_trailing_separator(QString path) {
  if (!path.endsWith(QLatin1Char(platform::sep))) path += QLatin1Char(platform::sep);
  return path;
}

// "/" and "C:\" keep theirs: without it they would name no folder at all.
QString without_trailing_separators(QString path) {
  while (path.size() > 1 && path.endsWith(QLatin1Char(platform::sep)) &&
         !(path.size() == 3 && path.at(1) == QLatin1Char(':')))
    path.chop(1);
  return path;
}

QStandardItem* child_named(QStandardItem* parent, const QString& name) {
  for (const Qt::CaseSensitivity cs : {Qt::CaseSensitive, Qt::CaseInsensitive}) {
    for (int row = 0; row < parent->rowCount(); ++row) {
      QStandardItem* child = parent->child(row);
      if (child->text().compare(name, cs) == 0) return child;
    }
  }
  return nullptr;
}

}  // namespace

FolderTreeDropDown::FolderTreeDropDown(QWidget* parent)
    : QComboBox(parent),
      popup(new QFrame(this, Qt::Popup)),
      tree(new QTreeView(popup)),
      model(new QStandardItemModel(this)) {
  setEditable(false);
  setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  setMinimumContentsLength(20);

  popup->setObjectName(QStringLiteral("popup"));
  popup->setFrameShape(QFrame::StyledPanel);
  // A click on the control while the tree is open only closes it.
  popup->setAttribute(Qt::WA_NoMouseReplay);
  auto* layout = new QVBoxLayout(popup);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(tree);

  tree->setObjectName(QStringLiteral("tree"));
  tree->setModel(model);
  tree->header()->hide();
  tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
  tree->setSelectionMode(QAbstractItemView::SingleSelection);
  tree->setUniformRowHeights(true);
  tree->setExpandsOnDoubleClick(false);  // the first click has chosen already
  tree->installEventFilter(this);

  connect(tree, &QTreeView::expanded, this,
          [this](const QModelIndex& index) { populate(model->itemFromIndex(index)); });
  // clicked() is not raised for the branch arrow, so expanding keeps it open.
  connect(tree, &QAbstractItemView::clicked, this, &FolderTreeDropDown::choose);

  rebuild();
}

void FolderTreeDropDown::setSelectedFolder(const QString& folder) {
  if (folder.isEmpty()) return;
  const QString absolute =
      QDir::toNativeSeparators(QDir::cleanPath(QFileInfo(folder).absoluteFilePath()));
  const std::string resolved = platform::resolve(absolute.toStdString());
  if (!platform::folder_exists(resolved)) return;
  selected = without_trailing_separators(QString::fromStdString(resolved));

  // A shortcut's caption says more than its long path, which stays the tip.
  QString caption = selected;
  for (const Shortcut& shortcut : shortcuts)
    if (without_trailing_separators(shortcut.path) == selected) caption = shortcut.caption;
  clear();
  addItem(style()->standardIcon(QStyle::SP_DirIcon), caption);
  setItemData(0, selected, Qt::ToolTipRole);
  setToolTip(selected);
  emit pathChange(selected);
}

void FolderTreeDropDown::setExtraDrives(std::vector<platform::Drive> drives) {
  extra_drives = std::move(drives);
}

void FolderTreeDropDown::setShortcuts(std::vector<Shortcut> list) { shortcuts = std::move(list); }

void FolderTreeDropDown::showPopup() {
  // Built afresh each time: drives come and go, folders are created.
  rebuild();
  if (!selected.isEmpty()) reveal(selected);

  const QRect screen_area = screen()->availableGeometry();
  // Wide enough for the top level's captions, within half the screen.
  int captions = 0;
  for (int row = 0; row < model->rowCount(); ++row)
    captions = std::max(captions, tree->fontMetrics().horizontalAdvance(model->item(row)->text()));
  captions += tree->indentation() + tree->iconSize().width() + 4 * tree->frameWidth() + 16;
  const QSize size(
      std::max({width(), popup_min_width, std::min(captions, screen_area.width() / 2)}),
      popup_height);
  QPoint origin = mapToGlobal(QPoint(0, height()));
  if (origin.y() + size.height() > screen_area.bottom()) {
    const int above = mapToGlobal(QPoint(0, 0)).y() - size.height();
    if (above >= screen_area.top()) origin.setY(above);
  }
  origin.setX(
      std::max(screen_area.left(), std::min(origin.x(), screen_area.right() - size.width() + 1)));
  popup->setGeometry(QRect(origin, size));
  popup->show();
  tree->setFocus(Qt::PopupFocusReason);
}

void FolderTreeDropDown::hidePopup() { popup->hide(); }

bool FolderTreeDropDown::eventFilter(QObject* watched, QEvent* event) {
  if (watched == tree && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    switch (key->key()) {
      case Qt::Key_Return:
      case Qt::Key_Enter:
        choose(tree->currentIndex());
        return true;
      case Qt::Key_Escape:
      case Qt::Key_F4:
        hidePopup();
        return true;
      default:
        break;
    }
  }
  return QComboBox::eventFilter(watched, event);
}

void FolderTreeDropDown::rebuild() {
  model->clear();
  QStandardItem* top = model->invisibleRootItem();
  for (const Shortcut& shortcut : shortcuts)
    add_folder_item(top, shortcut.caption, with_trailing_separator(shortcut.path),
                    QStyle::SP_DirLinkIcon);
  std::vector<platform::Drive> drives = platform::drives();
  drives.insert(drives.end(), extra_drives.begin(), extra_drives.end());
  for (const platform::Drive& drive : drives) {
    add_folder_item(top, QString::fromStdString(drive.label),
                    with_trailing_separator(QString::fromStdString(drive.root)),
                    QStyle::SP_DriveHDIcon);
  }
}

QStandardItem* FolderTreeDropDown::add_folder_item(QStandardItem* parent, const QString& caption,
                                                   const QString& path,
                                                   QStyle::StandardPixmap icon) {
  auto* item = new QStandardItem(style()->standardIcon(icon), caption);
  item->setEditable(false);
  item->setData(path, path_role);
  item->setData(false, loaded_role);
  item->setToolTip(path);
  // Read on expansion only; the stand-in child gives the item its branch
  // arrow, and goes away when the folder turns out to have no subfolders.
  auto* stand_in = new QStandardItem;
  stand_in->setEditable(false);
  stand_in->setSelectable(false);
  item->appendRow(stand_in);
  parent->appendRow(item);
  return item;
}

void FolderTreeDropDown::populate(QStandardItem* item) {
  if (!item || item->data(loaded_role).toBool()) return;
  item->setData(true, loaded_role);
  item->removeRows(0, item->rowCount());

  const QString folder = with_trailing_separator(item->data(path_role).toString());
  // Dot-folders too: Wine prefixes, and so the simulators, live in them.
  for (const platform::DirEntry& entry : platform::find_entries(
           folder.toStdString(), "*", platform::attr_directory | platform::attr_hidden)) {
    if (!(entry.attributes & platform::attr_directory) || entry.name == "." || entry.name == "..")
      continue;
    const QString name = QString::fromStdString(entry.name);
    add_folder_item(item, name, folder + name, QStyle::SP_DirIcon);
  }
}

void FolderTreeDropDown::reveal(const QString& folder) {
  const QString wanted = with_trailing_separator(folder);
  // The deepest top-level entry holding the folder: a shortcut for its own
  // folder and below, otherwise a drive.
  QStandardItem* drive = nullptr;
  qsizetype drive_length = -1;
  for (int row = 0; row < model->rowCount(); ++row) {
    QStandardItem* item = model->item(row);
    const QString root = item->data(path_role).toString();
    if (root.size() > drive_length && wanted.startsWith(root, Qt::CaseInsensitive)) {
      drive = item;
      drive_length = root.size();
    }
  }
  if (!drive) return;

  QStandardItem* current = drive;
  const QStringList names =
      wanted.mid(drive_length).split(QLatin1Char(platform::sep), Qt::SkipEmptyParts);
  for (const QString& name : names) {
    populate(current);
    QStandardItem* child = child_named(current, name);
    if (!child) break;
    tree->expand(current->index());
    current = child;
  }
  tree->setCurrentIndex(current->index());
  tree->scrollTo(current->index());
}

void FolderTreeDropDown::choose(const QModelIndex& index) {
  const QString path = index.data(path_role).toString();
  if (path.isEmpty()) return;  // the stand-in child of an unread folder
  hidePopup();
  setSelectedFolder(path);
}

}  // namespace wingstow

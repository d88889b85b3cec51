#include "widgets/file_list_view.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDateTime>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QMetaProperty>
#include <QMouseEvent>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QStyle>
#include <QStyledItemDelegate>
#include <algorithm>
#include <ctime>
#include <string>
#include <utility>

#include "platform/files.h"
#include "platform/shell.h"
#include "widgets/file_operations.h"

namespace wingstow {

const QString FileListView::drives_text = QStringLiteral("Drives");
const QString FileListView::parent_caption = QStringLiteral(" Parent");

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

using file_operations::clean_absolute;
using file_operations::equal_ignoring_ascii_case;
using file_operations::folder_part;
using file_operations::local;
using file_operations::name_part;
using file_operations::shown;
using file_operations::with_separator;
using file_operations::without_separator;

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

std::string path_of(const QTreeWidgetItem* item) {
  return item->data(FileListView::path_column, path_role).toByteArray().toStdString();
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

  confirm = [this](const QString& question) {
    QMessageBox box(QMessageBox::Question, QStringLiteral("Confirmation"), question,
                    QMessageBox::NoButton, this);
    QAbstractButton* yes = box.addButton(QStringLiteral("&Oui"), QMessageBox::YesRole);
    box.setEscapeButton(box.addButton(QStringLiteral("&Non"), QMessageBox::NoRole));
    box.exec();
    return box.clickedButton() == yes;
  };
  warn = [this](const QString& message) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Avertissement"), message,
                    QMessageBox::NoButton, this);
    box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.exec();
  };
  create_actions();
  check_action = new QAction(QStringLiteral("Chec&k"), this);
  check_action->setObjectName(QStringLiteral("checkAction"));
  connect(check_action, &QAction::triggered, this, [this] {
    const QTreeWidgetItem* item = currentItem();
    if (checkFolder && item && kind_of(item) == EntryKind::folder) checkFolder(path_of(item));
  });

  current_directory = drives_text;
  directory_bytes = local(drives_text);
  fill();
}

void FileListView::setDirectory(const QString& folder) { setDirectoryBytes(local(folder)); }

void FileListView::setDirectoryBytes(const std::string& folder) {
  if (pasting) return;
  if (equal_ignoring_ascii_case(folder, local(drives_text))) {
    if (current_directory == drives_text) return;
    current_directory = drives_text;
    directory_bytes = local(drives_text);
    fill();
    return;
  }
  if (folder.empty()) return;
  const std::string wanted = with_separator(clean_absolute(folder));
  if (current_directory != drives_text && equal_ignoring_ascii_case(wanted, directory_bytes))
    return;
  const std::string resolved = platform::resolve(wanted);
  if (!platform::folder_exists(resolved)) return;
  directory_bytes = with_separator(resolved);
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

void FileListView::setItemCaption(int index, const QString& caption) {
  QTreeWidgetItem* item = topLevelItem(index);
  if (!item) return;
  keep_own_caption(item);
  item->setData(name_column, caption_role, caption);
  show_caption(item);
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
  const std::string folder = without_separator(directory_bytes);
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

QStringList FileListView::findFiles(const QString& mask) const {
  QStringList matches;
  if (current_directory == drives_text) return matches;
  file_operations::walk_files(directory_bytes, mask, [&](const std::string& path) {
    matches << shown(path);
    return true;
  });
  return matches;
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

void FileListView::copySelection() { put_on_clipboard(false); }

void FileListView::cutSelection() { put_on_clipboard(true); }

void FileListView::put_on_clipboard(bool cut) {
  const std::vector<std::string> paths = highlighted_paths();
  if (!pasting && !paths.empty()) file_operations::put_on_clipboard(paths, cut);
}

void FileListView::paste() {
  if (pasting || current_directory == drives_text) return;
  const file_operations::ClipboardFiles files = file_operations::clipboard_files();
  if (files.sources.empty()) return;
  // The hooks and the folder as they are now: while events are pumped the
  // owner may change the hooks, or even take the list away.
  const file_operations::PasteProgress progress{progressStarted, progressStep, progressFinished};
  const std::string folder = directory_bytes;
  const QPointer<FileListView> alive(this);
  struct Pasting {
    QPointer<FileListView> view;
    explicit Pasting(FileListView* list) : view(list) { view->pasting = true; }
    ~Pasting() {
      if (view) view->pasting = false;
    }
  };
  file_operations::PasteOutcome outcome;
  {
    const Pasting running(this);
    outcome = file_operations::paste_files(files, folder, progress);
  }
  if (!alive) return;
  if (files.cut) file_operations::clipboard_after_cut(outcome);
  refresh();
  tell(file_operations::paste_report(outcome));
}

void FileListView::openCurrent() {
  if (const QTreeWidgetItem* item = currentItem()) open_entry(item);
}

void FileListView::viewSelection() {
  QTreeWidgetItem* item = currentItem();
  if (!item || !item->isSelected()) {
    const QList<QTreeWidgetItem*> selected = selectedItems();
    item = selected.isEmpty() ? nullptr : selected.front();
  }
  if (item) open_entry(item);
}

void FileListView::newFolder() {
  if (pasting || current_directory == drives_text) return;
  const file_operations::NewFolder made = file_operations::create_new_folder(directory_bytes);
  if (made.path.empty()) {
    warn(made.problem);
    return;
  }
  refresh();
  if (QTreeWidgetItem* entry = find_entry(made.path, Qt::CaseSensitive)) {
    highlight_entry(entry);
    renameCurrent();
  }
}

void FileListView::selectAllEntries() {
  if (!multiSelect()) return;
  selectAll();
  if (QTreeWidgetItem* first = topLevelItem(0); first && kind_of(first) == EntryKind::parent)
    first->setSelected(false);
}

void FileListView::deleteSelection() {
  const std::vector<std::string> paths = highlighted_paths();
  if (pasting || paths.empty() || !confirm(file_operations::trash_question(paths))) return;
  const QStringList failures = file_operations::move_to_trash(paths);
  refresh();
  tell(file_operations::failure_report(QStringLiteral("Could not delete:"), failures));
}

void FileListView::renameCurrent() {
  QTreeWidgetItem* item = rename_target();
  if (pasting || !item || state() == QAbstractItemView::EditingState) return;
  renaming_path = path_of(item);
  committed_name.reset();
  // The owner may have put its own caption there; the editor edits the name.
  keep_own_caption(item);
  item->setText(name_column, shown(name_part(renaming_path)));
  // Editable only for the length of this edit: no click or key opens an
  // editor on its own.
  item->setFlags(item->flags() | Qt::ItemIsEditable);
  renaming_index = QPersistentModelIndex(indexFromItem(item, name_column));
  scrollToItem(item);
  editItem(item, name_column);
}

void FileListView::findFile() {
  if (pasting || current_directory == drives_text) return;
  file_operations::open_find_dialog(this, directory_bytes,
                                    [this](const std::string& path) { showFileBytes(path); });
}

bool FileListView::event(QEvent* event) {
  // The list's keys win over window shortcuts while it has the focus.
  if (event->type() == QEvent::ShortcutOverride && !from_editor() &&
      action_for(static_cast<QKeyEvent*>(event))) {
    event->accept();
    return true;
  }
  return QTreeWidget::event(event);
}

void FileListView::keyPressEvent(QKeyEvent* event) {
  // The list's own keys are handled here, ahead of the view's navigation
  // (whose Ctrl+C would copy a caption).
  if (from_editor()) {
    // Keys the rename editor leaves unused, Enter among them: not the list's.
    QTreeWidget::keyPressEvent(event);
    return;
  }
  if (const FileAction* action = action_for(event)) {
    if (actionStarting) actionStarting();
    (this->*action->run)();
    event->accept();
    return;
  }
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      openCurrent();
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

void FileListView::contextMenuEvent(QContextMenuEvent* event) {
  update_actions();
  auto* menu = new QMenu(this);
  menu->setObjectName(QStringLiteral("fileListMenu"));
  menu->setAttribute(Qt::WA_DeleteOnClose);
  // Groups as file managers show them.
  static constexpr int group_ends[] = {2, 5, 6, 8, 10};
  for (std::size_t i = 0; i < file_actions.size(); ++i) {
    menu->addAction(file_actions[i].action);
    if (std::find(std::begin(group_ends), std::end(group_ends), int(i)) != std::end(group_ends))
      menu->addSeparator();
  }
  if (checkFolder) {
    const QTreeWidgetItem* item = currentItem();
    check_action->setEnabled(!pasting && item && kind_of(item) == EntryKind::folder);
    menu->addSeparator();
    menu->addAction(check_action);
  }
  QPoint at = event->globalPos();
  if (event->reason() == QContextMenuEvent::Keyboard && currentItem())
    at = viewport()->mapToGlobal(visualItemRect(currentItem()).center());
  menu->popup(at);
  event->accept();
}

void FileListView::commitData(QWidget* editor) {
  if (renaming_path.empty()) {
    QTreeWidget::commitData(editor);
    return;
  }
  // The name goes to the disk, not into the item: the folder is read again.
  const QMetaProperty text = editor->metaObject()->userProperty();
  if (text.isValid()) committed_name = text.read(editor).toString();
}

void FileListView::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
  if (renaming_path.empty()) {
    QTreeWidget::closeEditor(editor, hint);
    return;
  }
  // Tab would carry the editor on to the next entry; a rename ends here.
  if (hint == QAbstractItemDelegate::EditNextItem ||
      hint == QAbstractItemDelegate::EditPreviousItem)
    hint = QAbstractItemDelegate::SubmitModelCache;
  QTreeWidget::closeEditor(editor, hint);
  const std::string source = std::exchange(renaming_path, {});
  const std::optional<QString> name = std::exchange(committed_name, std::nullopt);
  if (QTreeWidgetItem* item = itemFromIndex(renaming_index)) {
    item->setFlags(item->flags() & ~Qt::ItemIsEditable);
    if (!name) show_caption(item);
  }
  renaming_index = QPersistentModelIndex();
  if (name) finish_rename(source, *name);
}

void FileListView::create_actions() {
  struct Definition {
    const char* name;
    const char* text;
    QKeySequence key;
    void (FileListView::*run)();
  };
  const Definition definitions[] = {
      {"openAction", "&Open", QKeySequence(Qt::CTRL | Qt::Key_O), &FileListView::openCurrent},
      {"viewAction", "&View", QKeySequence(Qt::CTRL | Qt::Key_F), &FileListView::viewSelection},
      {"backAction", "&Back", QKeySequence(Qt::Key_Backspace), &FileListView::oneLevelUp},
      {"cutAction", "Cu&t", QKeySequence(Qt::CTRL | Qt::Key_X), &FileListView::cutSelection},
      {"copyAction", "&Copy", QKeySequence(Qt::CTRL | Qt::Key_C), &FileListView::copySelection},
      {"pasteAction", "&Paste", QKeySequence(Qt::CTRL | Qt::Key_V), &FileListView::paste},
      {"deleteAction", "&Delete", QKeySequence(Qt::Key_Delete), &FileListView::deleteSelection},
      {"renameAction", "Rena&me", QKeySequence(Qt::Key_F2), &FileListView::renameCurrent},
      {"newFolderAction", "&New Folder", QKeySequence(Qt::CTRL | Qt::Key_N),
       &FileListView::newFolder},
      {"selectAllAction", "Select &All", QKeySequence(Qt::CTRL | Qt::Key_A),
       &FileListView::selectAllEntries},
      {"findFileAction", "&Find File...", QKeySequence(Qt::Key_F3), &FileListView::findFile},
      {"refreshAction", "&Refresh", QKeySequence(Qt::Key_F5), &FileListView::refresh},
  };
  for (const Definition& definition : definitions) {
    // Not added to the widget: the keys are taken in keyPressEvent, the
    // shortcut is only what the menu shows.
    auto* action = new QAction(QString::fromLatin1(definition.text), this);
    action->setObjectName(QString::fromLatin1(definition.name));
    action->setShortcut(definition.key);
    action->setShortcutContext(Qt::WidgetShortcut);
    connect(action, &QAction::triggered, this, [this, run = definition.run] {
      if (actionStarting) actionStarting();
      (this->*run)();
    });
    file_actions.push_back({action, definition.run});
  }
}

const FileListView::FileAction* FileListView::action_for(const QKeyEvent* event) const {
  // Del and the others also come from the keypad.
  const QKeySequence pressed(QKeyCombination(event->modifiers() & ~Qt::KeypadModifier,
                                             static_cast<Qt::Key>(event->key())));
  for (const FileAction& action : file_actions)
    if (action.action->shortcut() == pressed) return &action;
  return nullptr;
}

bool FileListView::from_editor() const {
  return state() == QAbstractItemView::EditingState && !hasFocus();
}

void FileListView::update_actions() {
  const bool folder = current_directory != drives_text;
  const bool entries = !highlighted_paths().empty();
  // A paste under way takes no other action, nor a second paste.
  const auto set = [this](void (FileListView::*run)(), bool enabled) {
    for (const FileAction& action : file_actions)
      if (action.run == run) action.action->setEnabled(enabled && !pasting);
  };
  set(&FileListView::openCurrent, currentItem() != nullptr);
  set(&FileListView::viewSelection, !selectedItems().isEmpty());
  set(&FileListView::oneLevelUp, folder);
  set(&FileListView::cutSelection, entries);
  set(&FileListView::copySelection, entries);
  set(&FileListView::paste, folder && file_operations::files_on_clipboard());
  set(&FileListView::deleteSelection, entries);
  set(&FileListView::renameCurrent, rename_target() != nullptr);
  set(&FileListView::newFolder, folder);
  set(&FileListView::selectAllEntries, multiSelect());
  set(&FileListView::findFile, folder);
}

QList<QTreeWidgetItem*> FileListView::highlighted_entries() const {
  QList<QTreeWidgetItem*> entries;
  for (int i = 0; i < topLevelItemCount(); ++i) {
    QTreeWidgetItem* item = topLevelItem(i);
    const EntryKind kind = kind_of(item);
    if (item->isSelected() && (kind == EntryKind::folder || kind == EntryKind::file))
      entries << item;
  }
  return entries;
}

std::vector<std::string> FileListView::highlighted_paths() const {
  std::vector<std::string> paths;
  for (const QTreeWidgetItem* item : highlighted_entries()) paths.push_back(path_of(item));
  return paths;
}

QTreeWidgetItem* FileListView::rename_target() const {
  const QList<QTreeWidgetItem*> entries = highlighted_entries();
  if (entries.isEmpty()) return nullptr;
  return entries.contains(currentItem()) ? currentItem() : entries.front();
}

void FileListView::finish_rename(const std::string& source, const QString& name) {
  // The editor showed the name as text; unchanged text keeps the bytes.
  const file_operations::RenameResult renamed = name == shown(name_part(source))
                                                    ? file_operations::RenameResult{}
                                                    : file_operations::rename_entry(source, name);
  if (renamed.target.empty() || !renamed.problem.isEmpty()) {
    if (QTreeWidgetItem* item = find_entry(source, Qt::CaseSensitive)) show_caption(item);
    tell(renamed.problem);
    return;
  }
  refresh();
  if (QTreeWidgetItem* entry = find_entry(renamed.target, Qt::CaseSensitive))
    highlight_entry(entry);
}

void FileListView::highlight_entry(QTreeWidgetItem* entry) {
  setCurrentItem(entry);  // clears any other highlight, also in multi-select
  scrollToItem(entry);
  setFocus(Qt::OtherFocusReason);
  raise_click(entry);
}

void FileListView::tell(const QString& message) {
  if (!message.isEmpty()) warn(message);
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

void FileListView::fill_drives() {
  for (const platform::Drive& drive : all_drives()) {
    QTreeWidgetItem* item = add_entry(EntryKind::drive, QString::fromStdString(drive.label),
                                      with_separator(QString::fromStdString(drive.root)));
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

QTreeWidgetItem* FileListView::find_entry(const std::string& path, Qt::CaseSensitivity cs) const {
  for (int i = 0; i < topLevelItemCount(); ++i) {
    QTreeWidgetItem* item = topLevelItem(i);
    if (kind_of(item) == EntryKind::parent) continue;
    const std::string own = path_of(item);
    if (cs == Qt::CaseSensitive ? own == path : equal_ignoring_ascii_case(own, path)) return item;
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

FileListView::EntryKind FileListView::kind_of(const QTreeWidgetItem* item) {
  return static_cast<EntryKind>(item->data(name_column, kind_role).toInt());
}

}  // namespace wingstow

// What the list does on keys, mouse buttons and its context menu: the
// file actions (clipboard, paste, rename in place, new folder, trash,
// find) and the dialogs they open.

#include "widgets/file_list_view.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QMetaProperty>
#include <QMouseEvent>
#include <QPersistentModelIndex>
#include <QPointer>
#include <algorithm>
#include <string>
#include <utility>

#include "widgets/file_operations.h"

namespace wingstow {

namespace {

using file_operations::name_part;
using file_operations::shown;

}  // namespace

void FileListView::set_up_actions() {
  // The dialogs the actions open, until the owner gives its own.
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
  check_action = new QAction(QStringLiteral("Chec&k"), this);
  check_action->setObjectName(QStringLiteral("checkAction"));
  connect(check_action, &QAction::triggered, this, [this] {
    const QTreeWidgetItem* item = currentItem();
    if (checkFolder && item && kind_of(item) == EntryKind::folder) checkFolder(path_of(item));
  });
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

void FileListView::tell(const QString& message) {
  if (!message.isEmpty()) warn(message);
}

}  // namespace wingstow

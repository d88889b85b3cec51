#pragma once

// A file-explorer list: the drives, or the entries of one folder, with their
// size, type, time and attributes. Folders are read synchronously on the UI
// thread so that what the list shows is known the moment a call returns.
//
// The list carries its own file actions (clipboard, paste, rename, new
// folder, trash, find), on keys and in its context menu
// (file_list_actions.cpp); what they do to the disk lives in
// widgets/file_operations.h. How the rows look is file_list_rows.cpp.

#include <QIcon>
#include <QPersistentModelIndex>
#include <QString>
#include <QStringList>
#include <QTreeWidget>
#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/shell.h"

class QAction;

namespace wingstow {

class FileListView : public QTreeWidget {
  Q_OBJECT
  Q_PROPERTY(QString Directory READ directory WRITE setDirectory)

 public:
  // Column 5 holds each entry's full path; it is never shown.
  enum Column {
    name_column,
    size_column,
    type_column,
    modified_column,
    attributes_column,
    path_column
  };

  // What an entry stands for, kept in Qt::UserRole of the name column.
  enum class EntryKind { drive, parent, folder, file };

  // The value of Directory while the drives are listed.
  static const QString drives_text;
  static const QString parent_caption;

  explicit FileListView(QWidget* parent = nullptr);

  // The folder shown, with its trailing separator, or drives_text.
  QString directory() const { return current_directory; }
  // An existing folder is listed; anything else but drives_text is ignored,
  // and so is the value already held (letter case aside).
  void setDirectory(const QString& folder);

  // The same paths in the file system's bytes. A name that is not UTF-8
  // shows with a replacement character in the texts above, yet these give
  // it back as it lies on disk; the engine works with these.
  std::string directoryBytes() const { return directory_bytes; }
  void setDirectoryBytes(const std::string& folder);
  std::string selectedItemBytes() const { return selected_bytes; }
  std::string itemPathBytes(int index) const;

  // Drives beyond the platform's (the Wine prefixes' drive_c), listed after
  // them in the drives list.
  void setExtraDrives(std::vector<platform::Drive> drives);

  // Full path of the entry last clicked (or reached with the arrow keys).
  QString selectedItem() const { return selected_item; }

  int itemCount() const { return topLevelItemCount(); }
  QString itemPath(int index) const;
  // An entry's caption: the list's own (the name, a drive's label) until the
  // owner gives it another, which the name column shows after the own one,
  // "Piper_Cub   ##### already installed #####", until the next listing.
  QString itemCaption(int index) const;
  void setItemCaption(int index, const QString& caption);
  bool itemHighlighted(int index) const;
  void setItemHighlighted(int index, bool highlighted);

  void setMultiSelect(bool multi);
  bool multiSelect() const { return selectionMode() == QAbstractItemView::ExtendedSelection; }

  // Drives list <- drive root (any entry of the drives list) <- folder; a
  // folder's parent comes up with the folder's entry highlighted and clicked.
  void oneLevelUp();
  // Reads the folder again: real captions, nothing highlighted.
  void refresh();

  // Files (not folders) under the listed folder and its subfolders whose
  // names match mask ("*", "?", letter case ignored), full paths, in walking
  // order. Linked folders are not entered. Nothing while drives are listed.
  QStringList findFiles(const QString& mask) const;
  // Lists the folder holding path and highlights path's entry there, which
  // raises the click event.
  void showFile(const QString& path);
  void showFileBytes(const std::string& path);

  // The dialogs the actions open, replaceable so that callers (and tests)
  // can answer without a modal loop. confirm gets a yes/no question;
  // warn a message listing what failed; openFile a file to hand to the
  // desktop's default program (when empty, the desktop gets the file's bytes).
  std::function<bool(const QString& question)> confirm;
  std::function<void(const QString& message)> warn;
  std::function<bool(const QString& path)> openFile;
  // Runs before each file action (key or menu), so that the owner can clear
  // what an earlier command left on its status line.
  std::function<void()> actionStarting;
  // "Check" in the context menu, shown only when set, for a folder entry:
  // the owner checks the airplanes of the folder (path in the file system's
  // bytes) and shows what it found.
  std::function<void(const std::string& folder)> checkFolder;

  // A paste's progress, in bytes of file data, for the owner's progress
  // window and Cancel button. progressStarted comes once the clipboard's
  // items are measured; progressStep after every file and between the
  // chunks of a large one, and answering false cancels the paste before its
  // next file; progressFinished once after progressStarted, whatever the
  // end, before any message. Unset, a step only pumps events (user input
  // excluded) and never cancels.
  std::function<void(qint64 total_bytes)> progressStarted;
  std::function<bool(qint64 done_bytes)> progressStep;
  std::function<void()> progressFinished;

  // While a paste runs, every action, a second paste, a refresh and a change
  // of folder are refused.
  bool isPasting() const { return pasting; }

 public slots:
  // The actions apply to the highlighted folders and files; " Parent" and
  // drives are never copied, moved, renamed or deleted.

  // Ctrl+C / Ctrl+X: the entries go to the desktop clipboard in the format
  // file managers exchange.
  void copySelection();
  void cutSelection();
  // Ctrl+V: copies (after a cut: moves) the clipboard's files and folders
  // into the listed folder. Nothing is overwritten: a taken name becomes
  // "name - Copy", "name - Copy (2)", ... Events are pumped between files;
  // a cancelled paste leaves every item pasted whole or not at all, and one
  // message tells what was not pasted.
  void paste();
  // Ctrl+O: what Enter does with the current entry.
  void openCurrent();
  // Ctrl+F: the highlighted file goes to the default program; a highlighted
  // folder, drive or parent is listed.
  void viewSelection();
  // Ctrl+N: "New Folder", "New Folder (2)", ... in the listed folder,
  // highlighted and in the rename editor.
  void newFolder();
  // Ctrl+A: every entry but the parent; nothing in single-select mode.
  void selectAllEntries();
  // Del: after confirm(), to the trash.
  void deleteSelection();
  // F2: the in-place editor on the name; committing renames on disk.
  void renameCurrent();
  // F3: a modal dialog asking a name mask and listing the matches below the
  // listed folder; activating a match shows it (showFile). Returns at once.
  void findFile();

 signals:
  // The click event: an entry was clicked, reached with Up/Down, or
  // highlighted by the list itself (oneLevelUp, a rename, a new folder,
  // showFile). selectedItem() is already set.
  void listClick();

 protected:
  bool event(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                       const QEvent* event) const override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void commitData(QWidget* editor) override;
  void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;

 private:
  struct FileAction {
    QAction* action;
    void (FileListView::*run)();
  };

  // The columns, the rows' look and the hover underline.
  void set_up_rows();
  // The default dialogs, the file actions and "Check".
  void set_up_actions();
  const FileAction* action_for(const QKeyEvent* event) const;
  // A key event reaching the list from an open editor, which left it unused.
  bool from_editor() const;
  void update_actions();
  QList<QTreeWidgetItem*> highlighted_entries() const;
  std::vector<std::string> highlighted_paths() const;
  QTreeWidgetItem* rename_target() const;
  void put_on_clipboard(bool cut);
  void finish_rename(const std::string& source, const QString& name);
  void highlight_entry(QTreeWidgetItem* entry);
  // warn(), unless there is nothing to say.
  void tell(const QString& message);
  static QString own_caption(const QTreeWidgetItem* item);
  static QString caption_of(const QTreeWidgetItem* item);
  static void keep_own_caption(QTreeWidgetItem* item);
  // The name column's text from the captions, the column widened to show it.
  void show_caption(QTreeWidgetItem* item);
  void fill();
  void fill_drives();
  std::vector<platform::Drive> all_drives() const;
  bool is_drive_root(const std::string& folder) const;
  void fill_folder();
  QTreeWidgetItem* add_entry(EntryKind kind, const QString& caption, const QString& path);
  QTreeWidgetItem* add_path_entry(EntryKind kind, const QString& caption, const std::string& path);
  // The icon of a kind of entry, asked of the style once: a style makes its
  // standard icons anew on every request, which is what a folder of
  // thousands of entries spent its time on.
  const QIcon& kind_icon(EntryKind kind);
  // ASCII letters only when ignoring case, as the platform's look-ups.
  QTreeWidgetItem* find_entry(const std::string& path, Qt::CaseSensitivity cs) const;
  void open_entry(const QTreeWidgetItem* item);
  void raise_click(const QTreeWidgetItem* item);
  static EntryKind kind_of(const QTreeWidgetItem* item);
  // The entry's full path in the file system's bytes.
  static std::string path_of(const QTreeWidgetItem* item);

  QString current_directory;
  QString selected_item;
  std::string directory_bytes;
  std::string selected_bytes;
  std::vector<platform::Drive> extra_drives;
  std::array<QIcon, 4> kind_icons;
  const QStyle* kind_icons_style = nullptr;  // the style they came from
  // Set between a double click that opened an entry and the button's release.
  bool opened_by_double_click = false;

  std::vector<FileAction> file_actions;
  QAction* check_action = nullptr;

  // The entry in the rename editor and its path; the name committed waits
  // for the editor to close.
  QPersistentModelIndex renaming_index;
  std::string renaming_path;
  std::optional<QString> committed_name;

  // The name column's width before owners' captions widened it.
  std::optional<int> name_width_before_captions;
  bool pasting = false;
};

}  // namespace wingstow

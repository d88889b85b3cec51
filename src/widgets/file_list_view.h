#pragma once

// A file-explorer list: the drives, or the entries of one folder, with their
// size, type, time and attributes. Folders are read synchronously on the UI
// thread so that what the list shows is known the moment a call returns.

#include <QString>
#include <QTreeWidget>

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

  // Full path of the entry last clicked (or reached with the arrow keys).
  QString selectedItem() const { return selected_item; }

  int itemCount() const { return topLevelItemCount(); }
  QString itemPath(int index) const;
  QString itemCaption(int index) const;
  void setItemCaption(int index, const QString& caption);
  bool itemHighlighted(int index) const;
  void setItemHighlighted(int index, bool highlighted);

  void setMultiSelect(bool multi);
  bool multiSelect() const { return selectionMode() == QAbstractItemView::ExtendedSelection; }

  // Drives list <- drive root <- folder; a folder's parent comes up with the
  // folder's entry highlighted and clicked.
  void oneLevelUp();
  // Reads the folder again: real captions, nothing highlighted.
  void refresh();

 signals:
  // The click event: an entry was clicked, reached with Up/Down, or
  // highlighted by oneLevelUp. selectedItem() is already set.
  void listClick();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                       const QEvent* event) const override;

 private:
  void fill();
  void fill_drives();
  void fill_folder();
  QTreeWidgetItem* add_entry(EntryKind kind, const QString& caption, const QString& path);
  QTreeWidgetItem* find_entry(const QString& path, Qt::CaseSensitivity cs) const;
  void open_entry(const QTreeWidgetItem* item);
  void raise_click(const QTreeWidgetItem* item);
  static EntryKind kind_of(const QTreeWidgetItem* item);

  QString current_directory;
  QString selected_item;
  // Set between a double click that opened an entry and the button's release.
  bool opened_by_double_click = false;
};

}  // namespace wingstow

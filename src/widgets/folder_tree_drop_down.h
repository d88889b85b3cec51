#pragma once

// A combo box whose drop-down part is a tree of the drives and their folders.
// The text cannot be typed: a folder is chosen in the tree (or through
// selectedFolder), and every choice is reported, the same folder again too.

#include <QComboBox>
#include <QString>
#include <QStyle>
#include <vector>

#include "platform/shell.h"

class QFrame;
class QModelIndex;
class QStandardItem;
class QStandardItemModel;
class QTreeView;

namespace wingstow {

class FolderTreeDropDown : public QComboBox {
  Q_OBJECT
  Q_PROPERTY(QString selectedFolder READ selectedFolder WRITE setSelectedFolder NOTIFY pathChange)

 public:
  explicit FolderTreeDropDown(QWidget* parent = nullptr);

  // Full path without trailing separator ("/" stays "/"); empty before the
  // first choice.
  QString selectedFolder() const { return selected; }
  // Chooses folder as the user would; ignored unless it is an existing folder.
  void setSelectedFolder(const QString& folder);

  // Drives beyond the platform's (the Wine prefixes' drive_c), listed after
  // them.
  void setExtraDrives(std::vector<platform::Drive> drives);

  // Folders offered above the drives, such as the simulators found: each
  // shows its caption, in the tree and in the box once chosen.
  struct Shortcut {
    QString caption;
    QString path;
  };
  void setShortcuts(std::vector<Shortcut> shortcuts);

  void showPopup() override;
  void hidePopup() override;

 signals:
  void pathChange(const QString& folder);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void rebuild();
  QStandardItem* add_folder_item(QStandardItem* parent, const QString& caption, const QString& path,
                                 QStyle::StandardPixmap icon);
  void populate(QStandardItem* item);
  void reveal(const QString& folder);
  void choose(const QModelIndex& index);

  QFrame* popup;
  QTreeView* tree;
  QStandardItemModel* model;
  QString selected;
  std::vector<platform::Drive> extra_drives;
  std::vector<Shortcut> shortcuts;
};

}  // namespace wingstow

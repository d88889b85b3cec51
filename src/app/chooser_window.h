#pragma once

#include <QDialog>
#include <QPushButton>

#include "widgets/folder_tree_drop_down.h"

namespace wingstow {

// The chooser Form2: the user picks the root folder of a simulator. OK is
// enabled only for a folder that holds the simulator's six standard folders,
// and never for one whose path holds a line break.
class TForm2 : public QDialog {
  Q_OBJECT

 public:
  explicit TForm2(QWidget* parent = nullptr);

  FolderTreeDropDown* LsDirTree1;
  QPushButton* BitBtn1;
  QPushButton* BitBtn2;

  // The six folders every simulator root holds.
  static bool is_simulator_root(const QString& folder);

 public slots:
  void LsDirTree1PathChange(const QString& folder);
  void BitBtn1Click();
  void reject() override;
};

}  // namespace wingstow

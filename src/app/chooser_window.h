#pragma once

#include <QDialog>
#include <QPushButton>
#include <string>
#include <vector>

#include "settings/wine.h"
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

  // The simulator roots found on the disk go at the top of the tree, named
  // after their folder and Wine prefix, and the first is chosen, so that OK
  // takes it. None leaves the last choice as it was.
  void offer_simulators(const std::vector<std::string>& found_roots,
                        const std::vector<WinePrefix>& prefixes);

 public slots:
  void LsDirTree1PathChange(const QString& folder);
  void BitBtn1Click();
  void reject() override;
};

}  // namespace wingstow

#include "app/chooser_window.h"

#include "platform/files.h"

namespace wingstow {

TForm2::TForm2(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
  setObjectName("Form2");
  setWindowTitle(QString());
  setFixedSize(235, 98);
  move(502, 279);
  setModal(true);

  LsDirTree1 = new FolderTreeDropDown(this);
  LsDirTree1->setObjectName("LsDirTree1");
  LsDirTree1->setGeometry(8, 8, 216, 24);
  LsDirTree1->setEnabled(false);

  BitBtn1 = new QPushButton("OK", this);
  BitBtn1->setObjectName("BitBtn1");
  BitBtn1->setGeometry(8, 40, 73, 25);
  BitBtn1->setDefault(true);
  BitBtn1->setEnabled(false);

  BitBtn2 = new QPushButton("Annuler", this);
  BitBtn2->setObjectName("BitBtn2");
  BitBtn2->setGeometry(152, 40, 73, 25);

  connect(LsDirTree1, &FolderTreeDropDown::pathChange, this, &TForm2::LsDirTree1PathChange);
  connect(BitBtn1, &QPushButton::clicked, this, [this] {
    BitBtn1Click();
    accept();
  });
  connect(BitBtn2, &QPushButton::clicked, this, [this] { reject(); });
}

void TForm2::offer_simulators(const std::vector<std::string>& found_roots,
                              const std::vector<WinePrefix>& prefixes) {
  std::vector<FolderTreeDropDown::Shortcut> shortcuts;
  for (const std::string& root : found_roots) {
    std::string folder = root;
    while (folder.size() > 1 && folder.back() == platform::sep) folder.pop_back();
    // The full path is the tip.
    shortcuts.push_back(
        {QString::fromStdString(found_caption(root, prefixes)), QString::fromStdString(folder)});
  }
  LsDirTree1->setShortcuts(shortcuts);
  if (!shortcuts.empty()) LsDirTree1->setSelectedFolder(shortcuts.front().path);
}

void TForm2::LsDirTree1PathChange(const QString& folder) {
  // The settings file keeps one folder a line: a name with a line break
  // could never be stored, so OK goes off for it.
  if (folder.contains(u'\n') || folder.contains(u'\r')) BitBtn1->setEnabled(false);
  // Any other failing folder leaves OK as it was.
  else if (is_simulator_root(folder.toStdString()))
    BitBtn1->setEnabled(true);
}

void TForm2::BitBtn1Click() { BitBtn1->setEnabled(false); }

void TForm2::reject() {
  BitBtn1Click();
  QDialog::reject();
}

}  // namespace wingstow

#include <QDir>
#include <QFile>
#include <QFrame>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <memory>

#include "platform/shell.h"
#include "widgets/folder_tree_drop_down.h"

using wingstow::FolderTreeDropDown;

class FolderTreeDropDownTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup() {
    delete box;
    temp.reset();
  }

  void choosing_raises_path_change_every_time();
  void drives_on_top_and_no_typing();
  void popup_reveals_and_chooses();
  void extra_drives_and_shortcuts();

 private:
  QModelIndex child(const QModelIndex& parent, const QString& name) const;

  std::unique_ptr<QTemporaryDir> temp;
  QString base;  // without trailing separator
  FolderTreeDropDown* box = nullptr;
  QTreeView* tree = nullptr;
  QFrame* popup = nullptr;
};

void FolderTreeDropDownTest::init() {
  temp = std::make_unique<QTemporaryDir>();
  base = temp->path();
  for (const char* folder : {"a/b/deep", "a/C", "a/.hidden", "a/zed", "e"})
    QVERIFY(QDir(base).mkpath(folder));
  QVERIFY(QFile(base + "/a/f.txt").open(QIODevice::WriteOnly));
  box = new FolderTreeDropDown;
  box->resize(300, 28);
  box->show();
  QVERIFY(QTest::qWaitForWindowExposed(box));
  tree = box->findChild<QTreeView*>("tree");
  popup = box->findChild<QFrame*>("popup");
  QVERIFY(tree && popup);
}

QModelIndex FolderTreeDropDownTest::child(const QModelIndex& parent, const QString& name) const {
  for (int row = 0; row < tree->model()->rowCount(parent); ++row)
    if (tree->model()->index(row, 0, parent).data() == name)
      return tree->model()->index(row, 0, parent);
  return {};
}

void FolderTreeDropDownTest::choosing_raises_path_change_every_time() {
  QSignalSpy changes(box, &FolderTreeDropDown::pathChange);
  QCOMPARE(box->selectedFolder(), QString());

  box->setProperty("selectedFolder", base + "/a/");
  QCOMPARE(box->selectedFolder(), base + "/a");
  QCOMPARE(changes.count(), 1);
  QCOMPARE(changes.at(0).at(0).toString(), base + "/a");
  QCOMPARE(box->currentText(), base + "/a");

  // The owner re-runs its checks when the same folder is chosen again.
  box->setSelectedFolder(base + "/a");
  QCOMPARE(changes.count(), 2);
  QCOMPARE(box->count(), 1);

  box->setSelectedFolder(base + "/missing");
  box->setSelectedFolder(base + "/a/f.txt");
  QCOMPARE(changes.count(), 2);
  QCOMPARE(box->selectedFolder(), base + "/a");

  box->setSelectedFolder("/");
  QCOMPARE(box->selectedFolder(), QStringLiteral("/"));
}

void FolderTreeDropDownTest::drives_on_top_and_no_typing() {
  const auto drives = wingstow::platform::drives();
  QCOMPARE(tree->model()->rowCount(), int(drives.size()));
  for (int row = 0; row < int(drives.size()); ++row)
    QCOMPARE(tree->model()->index(row, 0).data(), QString::fromStdString(drives[row].label));

  box->setSelectedFolder(base + "/e");
  QVERIFY(!box->isEditable());
  QTest::keyClicks(box, "xyz");
  QTest::keyClick(box, Qt::Key_Backspace);
  QTest::keyClick(box, Qt::Key_Down);
  QCOMPARE(box->currentText(), base + "/e");
  QCOMPARE(box->selectedFolder(), base + "/e");
}

void FolderTreeDropDownTest::popup_reveals_and_chooses() {
  box->setSelectedFolder(base + "/a/b");
  QSignalSpy changes(box, &FolderTreeDropDown::pathChange);
  box->showPopup();
  QVERIFY(popup->isVisible());
  QVERIFY(popup->width() >= box->width());

  const QModelIndex a = tree->currentIndex().parent();
  QCOMPARE(tree->currentIndex().data(Qt::ToolTipRole).toString(), base + "/a/b");
  QVERIFY(tree->isExpanded(a));
  // Folders only, dot-folders among them, letter case ignored in the order.
  QStringList names;
  for (int row = 0; row < tree->model()->rowCount(a); ++row)
    names << tree->model()->index(row, 0, a).data().toString();
  QCOMPARE(names, (QStringList{".hidden", "b", "C", "zed"}));

  // Expanding with the branch arrow or the keyboard keeps the tree open; a
  // click on the folder chooses it and closes.
  const QRect b = tree->visualRect(child(a, "b"));
  QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                    QPoint(b.left() - tree->indentation() / 2, b.center().y()));
  QVERIFY(tree->isExpanded(child(a, "b")) && popup->isVisible());
  tree->setCurrentIndex(child(a, "C"));
  QTest::keyClick(tree, Qt::Key_Right);
  QVERIFY(tree->isExpanded(child(a, "C")) && popup->isVisible());
  QCOMPARE(changes.count(), 0);
  QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualRect(child(a, "C")).center());
  QCOMPARE(changes.count(), 1);
  QCOMPARE(box->selectedFolder(), base + "/a/C");
  QVERIFY(!popup->isVisible());

  // Enter on the very same folder reports it again; Escape only closes.
  box->showPopup();
  QCOMPARE(tree->currentIndex().data(Qt::ToolTipRole).toString(), base + "/a/C");
  QTest::keyClick(tree, Qt::Key_Return);
  QCOMPARE(changes.count(), 2);
  QVERIFY(!popup->isVisible());
  box->showPopup();
  QTest::keyClick(tree, Qt::Key_Escape);
  QVERIFY(!popup->isVisible());
  QCOMPARE(changes.count(), 2);
}

// A prefix's drive_c comes after the platform's drives; a shortcut (a
// simulator found) comes first, shows its caption once chosen, and is where
// the tree opens for its folder.
void FolderTreeDropDownTest::extra_drives_and_shortcuts() {
  const auto drives = wingstow::platform::drives();
  box->setExtraDrives({{(base + "/a/").toStdString(), "C: of ~/.wine"}});
  box->setShortcuts({{"b (C: of ~/.wine)", base + "/a/b"}});
  box->setSelectedFolder(base + "/a/b/");
  QCOMPARE(box->selectedFolder(), base + "/a/b");
  QCOMPARE(box->currentText(), QStringLiteral("b (C: of ~/.wine)"));
  QCOMPARE(box->toolTip(), base + "/a/b");

  box->showPopup();
  const auto* model = tree->model();
  QCOMPARE(model->rowCount(), int(drives.size()) + 2);
  QCOMPARE(model->index(0, 0).data().toString(), QStringLiteral("b (C: of ~/.wine)"));
  QCOMPARE(tree->currentIndex(), model->index(0, 0));
  const QModelIndex wine = model->index(int(drives.size()) + 1, 0);
  QCOMPARE(wine.data().toString(), QStringLiteral("C: of ~/.wine"));
  QCOMPARE(wine.data(Qt::ToolTipRole).toString(), base + "/a/");

  // Below the drive like any other folder.
  box->setSelectedFolder(base + "/a/C");
  QCOMPARE(box->currentText(), base + "/a/C");
  box->showPopup();
  QCOMPARE(tree->currentIndex().parent().data().toString(), QStringLiteral("C: of ~/.wine"));
  QTest::keyClick(tree, Qt::Key_Escape);
}

QTEST_MAIN(FolderTreeDropDownTest)
#include "folder_tree_drop_down_test.moc"

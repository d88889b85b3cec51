#include <QDir>
#include <QFile>
#include <QFrame>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include "platform/shell.h"
#include "widgets/folder_tree_drop_down.h"

using wingstow::FolderTreeDropDown;

class FolderTreeDropDownTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();

  void selection_raises_path_change_every_time();
  void drives_on_top_and_text_not_editable();
  void popup_reveals_selection_and_chooses_by_click();
  void keyboard_expands_without_closing_and_enter_chooses();

 private:
  QModelIndex child_named(const QModelIndex& parent, const QString& name) const;
  QStringList children_of(const QModelIndex& parent) const;

  QTemporaryDir* temp = nullptr;
  QString base;  // without trailing separator
  FolderTreeDropDown* box = nullptr;
  QTreeView* tree = nullptr;
  QFrame* popup = nullptr;
};

void FolderTreeDropDownTest::init() {
  temp = new QTemporaryDir;
  QVERIFY(temp->isValid());
  base = temp->path();
  QDir dir(base);
  for (const char* folder : {"a/b/deep", "a/C", "a/.hidden", "e"}) QVERIFY(dir.mkpath(folder));
  QFile file(base + "/a/f.txt");
  QVERIFY(file.open(QIODevice::WriteOnly));

  box = new FolderTreeDropDown;
  box->setObjectName("LsDirTree1");
  box->resize(300, 28);
  box->show();
  QVERIFY(QTest::qWaitForWindowExposed(box));
  tree = box->findChild<QTreeView*>("tree");
  popup = box->findChild<QFrame*>("popup");
  QVERIFY(tree && popup);
}

void FolderTreeDropDownTest::cleanup() {
  delete box;
  delete temp;
}

QModelIndex FolderTreeDropDownTest::child_named(const QModelIndex& parent,
                                                const QString& name) const {
  const QAbstractItemModel* model = tree->model();
  for (int row = 0; row < model->rowCount(parent); ++row) {
    const QModelIndex index = model->index(row, 0, parent);
    if (index.data().toString() == name) return index;
  }
  return {};
}

QStringList FolderTreeDropDownTest::children_of(const QModelIndex& parent) const {
  QStringList names;
  for (int row = 0; row < tree->model()->rowCount(parent); ++row)
    names << tree->model()->index(row, 0, parent).data().toString();
  return names;
}

void FolderTreeDropDownTest::selection_raises_path_change_every_time() {
  QSignalSpy changes(box, &FolderTreeDropDown::pathChange);
  QCOMPARE(box->selectedFolder(), QString());

  box->setProperty("selectedFolder", base + "/a/");
  QCOMPARE(box->selectedFolder(), base + "/a");
  QCOMPARE(changes.count(), 1);
  QCOMPARE(changes.at(0).at(0).toString(), base + "/a");
  QCOMPARE(box->currentText(), base + "/a");
  QCOMPARE(box->toolTip(), base + "/a");

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
  QCOMPARE(changes.count(), 3);
}

void FolderTreeDropDownTest::drives_on_top_and_text_not_editable() {
  QCOMPARE(box->currentText(), QString());
  const auto drives = wingstow::platform::drives();
  QCOMPARE(tree->model()->rowCount(), int(drives.size()));
  for (int row = 0; row < int(drives.size()); ++row) {
    const QModelIndex drive = tree->model()->index(row, 0);
    QCOMPARE(drive.data().toString(), QString::fromStdString(drives[row].label));
    QVERIFY(drive.data(Qt::ToolTipRole).toString().endsWith('/'));
  }

  box->setSelectedFolder(base + "/e");
  QVERIFY(!box->isEditable());
  QVERIFY(!box->lineEdit());
  QTest::keyClicks(box, "xyz");
  QTest::keyClick(box, Qt::Key_Backspace);
  QTest::keyClick(box, Qt::Key_Down);
  QCOMPARE(box->currentText(), base + "/e");
  QCOMPARE(box->selectedFolder(), base + "/e");
}

void FolderTreeDropDownTest::popup_reveals_selection_and_chooses_by_click() {
  box->setSelectedFolder(base + "/a/b");
  box->showPopup();
  QVERIFY(popup->isVisible());
  QVERIFY(popup->width() >= box->width());
  QCOMPARE(popup->height(), 240);

  const QModelIndex current = tree->currentIndex();
  QCOMPARE(current.data(Qt::ToolTipRole).toString(), base + "/a/b");
  QVERIFY(tree->isExpanded(current.parent()));
  // Folders only, no dot-folders, letter case ignored in the order.
  QCOMPARE(children_of(current.parent()), (QStringList{"b", "C"}));

  QSignalSpy changes(box, &FolderTreeDropDown::pathChange);
  const QModelIndex c = child_named(current.parent(), "C");
  tree->scrollTo(c);
  QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualRect(c).center());
  QCOMPARE(changes.count(), 1);
  QCOMPARE(box->selectedFolder(), base + "/a/C");
  QVERIFY(!popup->isVisible());

  // Choosing the very same folder again still reports it.
  box->showPopup();
  const QModelIndex again = tree->currentIndex();
  QCOMPARE(again.data(Qt::ToolTipRole).toString(), base + "/a/C");
  QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualRect(again).center());
  QCOMPARE(changes.count(), 2);
  QVERIFY(!popup->isVisible());
}

void FolderTreeDropDownTest::keyboard_expands_without_closing_and_enter_chooses() {
  box->setSelectedFolder(base + "/a");
  box->showPopup();
  QSignalSpy changes(box, &FolderTreeDropDown::pathChange);

  const QModelIndex a = tree->currentIndex();
  QVERIFY(!tree->isExpanded(a));
  QTest::keyClick(tree, Qt::Key_Right);
  QVERIFY(tree->isExpanded(a));
  QVERIFY(popup->isVisible());
  QCOMPARE(changes.count(), 0);

  tree->setCurrentIndex(child_named(a, "b"));
  QTest::keyClick(tree, Qt::Key_Return);
  QCOMPARE(changes.count(), 1);
  QCOMPARE(box->selectedFolder(), base + "/a/b");
  QVERIFY(!popup->isVisible());

  box->showPopup();
  QTest::keyClick(tree, Qt::Key_Escape);
  QVERIFY(!popup->isVisible());
  QCOMPARE(changes.count(), 1);
}

QTEST_MAIN(FolderTreeDropDownTest)
#include "folder_tree_drop_down_test.moc"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "platform/shell.h"
#include "widgets/file_list_view.h"

using wingstow::FileListView;

namespace {

void make_file(const QString& path) {
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write("x");
}

int row_of(const FileListView& view, const QString& caption) {
  for (int i = 0; i < view.itemCount(); ++i)
    if (view.itemCaption(i) == caption) return i;
  return -1;
}

QPoint centre_of(FileListView& view, int row) {
  return view.visualItemRect(view.topLevelItem(row)).center();
}

}  // namespace

class FileListViewTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();

  void directory_writes();
  void listing_order_and_full_paths();
  void captions_and_highlights_restored_by_refresh();
  void mouse_click_raises_click_event();
  void arrow_key_release_raises_click_event();
  void multi_select();
  void one_level_up();
  void opening_folders_and_parent();

 private:
  QTemporaryDir* temp = nullptr;
  QString root;  // with trailing separator
  FileListView* view = nullptr;
};

void FileListViewTest::init() {
  temp = new QTemporaryDir;
  QVERIFY(temp->isValid());
  root = temp->path() + '/';
  QDir dir(root);
  for (const char* folder : {"Beta", "alpha", ".dotdir", "sub/inner"}) QVERIFY(dir.mkpath(folder));
  for (const char* file : {"zeta.txt", "Apple.TXT", ".hidden"}) make_file(root + file);

  view = new FileListView;
  view->resize(700, 400);
  view->show();
  QVERIFY(QTest::qWaitForWindowExposed(view));
}

void FileListViewTest::cleanup() {
  delete view;
  delete temp;
}

void FileListViewTest::directory_writes() {
  QCOMPARE(view->directory(), QStringLiteral("Drives"));
  const auto drives = wingstow::platform::drives();
  QCOMPARE(view->itemCount(), int(drives.size()));
  for (int i = 0; i < view->itemCount(); ++i) {
    QCOMPARE(view->itemCaption(i), QString::fromStdString(drives[i].label));
    QVERIFY(view->itemPath(i).endsWith('/'));
  }

  view->setProperty("Directory", temp->path());
  QCOMPARE(view->directory(), root);

  view->setDirectory(root + "missing");
  QCOMPARE(view->directory(), root);

  // The same folder, letter case aside, is not read again.
  make_file(root + "late.txt");
  view->setDirectory(root.toUpper());
  QCOMPARE(view->directory(), root);
  QCOMPARE(row_of(*view, "late.txt"), -1);
  view->refresh();
  QVERIFY(row_of(*view, "late.txt") > 0);

  view->setDirectory("Drives");
  QCOMPARE(view->directory(), QStringLiteral("Drives"));
  QCOMPARE(view->itemCount(), int(drives.size()));
}

void FileListViewTest::listing_order_and_full_paths() {
  view->setDirectory(root);
  const QStringList expected{" Parent", ".dotdir", "alpha",     "Beta",
                             "sub",     ".hidden", "Apple.TXT", "zeta.txt"};
  QStringList captions;
  for (int i = 0; i < view->itemCount(); ++i) captions << view->itemCaption(i);
  QCOMPARE(captions, expected);

  QVERIFY(view->isColumnHidden(FileListView::path_column));
  QCOMPARE(view->topLevelItem(0)->text(5), root + "..");
  QCOMPARE(view->itemPath(row_of(*view, "alpha")), root + "alpha");
  QCOMPARE(view->itemPath(row_of(*view, ".hidden")), root + ".hidden");
  QCOMPARE(view->topLevelItem(row_of(*view, ".hidden"))->text(FileListView::attributes_column),
           QStringLiteral("HA"));
  QCOMPARE(view->itemPath(99), QString());
}

void FileListViewTest::captions_and_highlights_restored_by_refresh() {
  view->setDirectory(root);
  const int alpha = row_of(*view, "alpha");
  view->setItemCaption(alpha, "Installed: alpha");
  view->setItemHighlighted(alpha, true);
  QCOMPARE(view->itemCaption(alpha), QStringLiteral("Installed: alpha"));
  QVERIFY(view->itemHighlighted(alpha));

  view->refresh();
  QCOMPARE(view->itemCaption(alpha), QStringLiteral("alpha"));
  for (int i = 0; i < view->itemCount(); ++i) QVERIFY(!view->itemHighlighted(i));
}

void FileListViewTest::mouse_click_raises_click_event() {
  view->setDirectory(root);
  QSignalSpy clicks(view, &FileListView::listClick);
  const int zeta = row_of(*view, "zeta.txt");

  // The selected item is already known to the click handler.
  QString seen;
  connect(view, &FileListView::listClick, this, [&] { seen = view->selectedItem(); });
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, centre_of(*view, zeta));
  QCOMPARE(clicks.count(), 1);
  QCOMPARE(seen, root + "zeta.txt");
  QVERIFY(view->itemHighlighted(zeta));

  const QPoint below_last = centre_of(*view, view->itemCount() - 1) + QPoint(0, 100);
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, below_last);
  QCOMPARE(clicks.count(), 1);

  // Control-clicks: raised while something stays selected, not when the
  // last highlight goes.
  view->setMultiSelect(true);
  const int alpha = row_of(*view, "alpha");
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, centre_of(*view, alpha));
  QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ControlModifier, centre_of(*view, zeta));
  QCOMPARE(clicks.count(), 3);
  QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ControlModifier, centre_of(*view, zeta));
  QCOMPARE(clicks.count(), 4);
  QCOMPARE(view->selectedItem(), root + "zeta.txt");
  QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ControlModifier, centre_of(*view, alpha));
  QVERIFY(view->selectedItems().isEmpty());
  QCOMPARE(clicks.count(), 4);
}

void FileListViewTest::arrow_key_release_raises_click_event() {
  view->setDirectory(root);
  QSignalSpy clicks(view, &FileListView::listClick);
  const int alpha = row_of(*view, "alpha");
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, centre_of(*view, alpha));

  QTest::keyPress(view, Qt::Key_Down);
  QCOMPARE(clicks.count(), 1);  // on release, not on press
  QTest::keyRelease(view, Qt::Key_Down);
  QCOMPARE(clicks.count(), 2);
  QCOMPARE(view->selectedItem(), root + "Beta");

  QTest::keyClick(view, Qt::Key_Up);
  QCOMPARE(clicks.count(), 3);
  QCOMPARE(view->selectedItem(), root + "alpha");

  view->clearSelection();
  QTest::keyRelease(view, Qt::Key_Up);
  QCOMPARE(clicks.count(), 3);
}

void FileListViewTest::multi_select() {
  view->setDirectory(root);
  QVERIFY(!view->multiSelect());
  view->setItemHighlighted(1, true);
  view->setItemHighlighted(2, true);
  QVERIFY(!view->itemHighlighted(1));
  QVERIFY(view->itemHighlighted(2));

  view->setMultiSelect(true);
  QVERIFY(view->multiSelect());
  view->setItemHighlighted(1, true);
  view->setItemHighlighted(4, true);
  QVERIFY(view->itemHighlighted(1) && view->itemHighlighted(2) && view->itemHighlighted(4));
  QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ControlModifier, centre_of(*view, 6));
  QCOMPARE(view->selectedItems().size(), 4);
  view->setItemHighlighted(2, false);
  QVERIFY(!view->itemHighlighted(2));
}

void FileListViewTest::one_level_up() {
  QSignalSpy clicks(view, &FileListView::listClick);
  view->oneLevelUp();
  QCOMPARE(view->directory(), QStringLiteral("Drives"));
  QCOMPARE(clicks.count(), 0);

  view->setMultiSelect(true);
  view->setDirectory(root + "sub/inner");
  view->setItemHighlighted(0, true);
  view->oneLevelUp();
  QCOMPARE(view->directory(), root + "sub/");
  QCOMPARE(clicks.count(), 1);
  QCOMPARE(view->selectedItem(), root + "sub/inner");
  const int inner = row_of(*view, "inner");
  QVERIFY(view->itemHighlighted(inner));
  QCOMPARE(view->selectedItems().size(), 1);
  QCOMPARE(view->currentItem(), view->topLevelItem(inner));

  view->setDirectory("/");
  QVERIFY(wingstow::platform::is_drive_root("/"));
  view->oneLevelUp();
  QCOMPARE(view->directory(), QStringLiteral("Drives"));
  QCOMPARE(clicks.count(), 1);
}

void FileListViewTest::opening_folders_and_parent() {
  view->setDirectory(root);
  QSignalSpy clicks(view, &FileListView::listClick);

  // A real double click: press, release, press, double-click, release.
  const QPoint alpha = centre_of(*view, row_of(*view, "alpha"));
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, alpha);
  QTest::mousePress(view->viewport(), Qt::LeftButton, {}, alpha);
  QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, alpha);
  QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, alpha);
  QCOMPARE(view->directory(), root + "alpha/");
  QCOMPARE(clicks.count(), 1);
  QCOMPARE(view->selectedItem(), root + "alpha");

  // Enter on " Parent" goes up and lands on the folder we came from.
  view->setCurrentItem(view->topLevelItem(0));
  QTest::keyClick(view, Qt::Key_Return);
  QCOMPARE(view->directory(), root);
  QCOMPARE(view->selectedItem(), root + "alpha");
  QVERIFY(view->itemHighlighted(row_of(*view, "alpha")));

  view->setCurrentItem(view->topLevelItem(row_of(*view, "sub")));
  QTest::keyClick(view, Qt::Key_Enter);
  QCOMPARE(view->directory(), root + "sub/");

  QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, centre_of(*view, 0));
  QCOMPARE(view->directory(), root);
  QCOMPARE(view->selectedItem(), root + "sub");

  view->setDirectory("Drives");
  const QString first_drive = view->itemPath(0);
  QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, centre_of(*view, 0));
  QCOMPARE(view->directory(), first_drive);
}

QTEST_MAIN(FileListViewTest)
#include "file_list_view_test.moc"

#include <fcntl.h>
#include <sys/stat.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <memory>

#include "platform/shell.h"
#include "widgets/file_list_view.h"

using wingstow::FileListView;

class FileListViewTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup() {
    view.reset();
    temp.reset();
  }

  void directory_writes();
  void listing_and_refresh();
  void mouse_clicks_and_highlights();
  void arrow_key_release();
  void one_level_up();
  void opening_entries();
  void extra_drives();
  void names_as_bytes();
  void icons_by_kind();
  void modified_times();

 private:
  int row(const QString& caption) const;
  void click(int row, Qt::KeyboardModifiers modifiers = {});
  void double_click(int row);

  std::unique_ptr<QTemporaryDir> temp;
  QString root;  // with trailing separator
  std::unique_ptr<FileListView> view;
};

void FileListViewTest::init() {
  temp = std::make_unique<QTemporaryDir>();
  root = temp->path() + '/';
  for (const char* folder : {"Beta", "alpha", ".dotdir", "sub/inner"})
    QVERIFY(QDir(root).mkpath(folder));
  // alpha's own entries fill the rows where alpha itself was shown.
  for (const char* file : {"zeta.txt", "Apple.TXT", ".hidden", "alpha/1", "alpha/2", "alpha/3"})
    QVERIFY(QFile(root + file).open(QIODevice::WriteOnly));
  view = std::make_unique<FileListView>();
  view->resize(700, 400);
  view->show();
  QVERIFY(QTest::qWaitForWindowExposed(view.get()));
}

int FileListViewTest::row(const QString& caption) const {
  for (int i = 0; i < view->itemCount(); ++i)
    if (view->itemCaption(i) == caption) return i;
  return -1;
}

void FileListViewTest::click(int row, Qt::KeyboardModifiers modifiers) {
  const QPoint at = view->visualItemRect(view->topLevelItem(row)).center();
  QTest::mouseClick(view->viewport(), Qt::LeftButton, modifiers, at);
}

// As the system delivers it: press, release, press, double-click, release.
void FileListViewTest::double_click(int row) {
  const QPoint at = view->visualItemRect(view->topLevelItem(row)).center();
  click(row);
  QTest::mousePress(view->viewport(), Qt::LeftButton, {}, at);
  QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
  QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, at);
}

void FileListViewTest::directory_writes() {
  const auto drives = wingstow::platform::drives();
  QCOMPARE(view->directory(), QStringLiteral("Drives"));
  QCOMPARE(view->itemCount(), int(drives.size()));
  QCOMPARE(view->itemCaption(0), QString::fromStdString(drives[0].label));
  QVERIFY(view->itemPath(0).endsWith('/'));

  view->setProperty("Directory", temp->path());
  QCOMPARE(view->directory(), root);
  view->setDirectory(root + "missing");
  QCOMPARE(view->directory(), root);

  // The same folder, letter case aside, is not read again.
  QVERIFY(QFile(root + "late.txt").open(QIODevice::WriteOnly));
  view->setDirectory(root.toUpper());
  QCOMPARE(view->directory(), root);
  QCOMPARE(row("late.txt"), -1);
  view->refresh();
  QVERIFY(row("late.txt") > 0);

  view->setDirectory("Drives");
  QCOMPARE(view->itemCount(), int(drives.size()));
}

void FileListViewTest::listing_and_refresh() {
  view->setDirectory(root);
  QStringList captions;
  for (int i = 0; i < view->itemCount(); ++i) captions << view->itemCaption(i);
  QCOMPARE(captions, (QStringList{" Parent", ".dotdir", "alpha", "Beta", "sub", ".hidden",
                                  "Apple.TXT", "zeta.txt"}));
  QVERIFY(view->isColumnHidden(5));
  QCOMPARE(view->topLevelItem(0)->text(5), root + "..");
  QCOMPARE(view->topLevelItem(row("alpha"))->text(5), root + "alpha");
  QCOMPARE(view->itemPath(row(".hidden")), root + ".hidden");

  // An owner's caption shows beside the name, in a column wide enough for
  // both, until the next listing.
  const int alpha = row("alpha");
  const int width = view->columnWidth(FileListView::name_column);
  const QString mark = "##### already installed #####";
  view->setItemCaption(alpha, mark);
  view->setItemHighlighted(alpha, true);
  QCOMPARE(view->itemCaption(alpha), mark);
  const QTreeWidgetItem* marked = view->topLevelItem(alpha);
  QCOMPARE(marked->text(FileListView::name_column), "alpha   " + mark);
  QVERIFY(view->columnWidth(FileListView::name_column) >
          view->fontMetrics().horizontalAdvance("alpha   " + mark));
  view->setItemCaption(alpha, "alpha");
  QCOMPARE(marked->text(FileListView::name_column), QStringLiteral("alpha"));
  view->setItemCaption(alpha, mark);
  view->refresh();
  QCOMPARE(view->itemCaption(alpha), QStringLiteral("alpha"));
  QCOMPARE(view->topLevelItem(alpha)->text(FileListView::name_column), QStringLiteral("alpha"));
  QCOMPARE(view->columnWidth(FileListView::name_column), width);
  QVERIFY(view->selectedItems().isEmpty());
}

void FileListViewTest::mouse_clicks_and_highlights() {
  view->setDirectory(root);
  QSignalSpy clicks(view.get(), &FileListView::listClick);
  QString seen;  // the handler already finds the entry set
  connect(view.get(), &FileListView::listClick, this, [&] { seen = view->selectedItem(); });
  const int alpha = row("alpha"), zeta = row("zeta.txt");

  click(zeta);
  QCOMPARE(clicks.count(), 1);
  QCOMPARE(seen, root + "zeta.txt");
  QVERIFY(view->itemHighlighted(zeta));

  const QPoint empty_space =
      view->visualItemRect(view->topLevelItem(zeta)).center() + QPoint(0, 100);
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, empty_space);
  QCOMPARE(clicks.count(), 1);

  view->setItemHighlighted(alpha, true);  // single selection: replaces zeta
  QVERIFY(!view->itemHighlighted(zeta));

  // Control-clicks count while an entry stays highlighted.
  view->setMultiSelect(true);
  click(zeta, Qt::ControlModifier);
  QCOMPARE(clicks.count(), 2);
  QVERIFY(view->itemHighlighted(alpha) && view->itemHighlighted(zeta));
  view->setItemHighlighted(row("sub"), true);
  QCOMPARE(view->selectedItems().size(), 3);
  click(zeta, Qt::ControlModifier);
  click(row("sub"), Qt::ControlModifier);
  QCOMPARE(clicks.count(), 4);
  QCOMPARE(view->selectedItem(), root + "sub");
  click(alpha, Qt::ControlModifier);
  QVERIFY(view->selectedItems().isEmpty());
  QCOMPARE(clicks.count(), 4);
}

void FileListViewTest::arrow_key_release() {
  view->setDirectory(root);
  QSignalSpy clicks(view.get(), &FileListView::listClick);
  click(row("alpha"));
  QTest::keyPress(view.get(), Qt::Key_Down);
  QCOMPARE(clicks.count(), 1);
  QTest::keyRelease(view.get(), Qt::Key_Down);
  QCOMPARE(clicks.count(), 2);
  QCOMPARE(view->selectedItem(), root + "Beta");

  view->clearSelection();
  QTest::keyRelease(view.get(), Qt::Key_Up);
  QCOMPARE(clicks.count(), 2);
}

void FileListViewTest::one_level_up() {
  QSignalSpy clicks(view.get(), &FileListView::listClick);
  view->oneLevelUp();
  QCOMPARE(view->directory(), QStringLiteral("Drives"));

  view->setMultiSelect(true);
  view->setDirectory(root + "sub/inner");
  view->setItemHighlighted(0, true);
  view->oneLevelUp();
  QCOMPARE(view->directory(), root + "sub/");
  QCOMPARE(clicks.count(), 1);
  QCOMPARE(view->selectedItem(), root + "sub/inner");
  QCOMPARE(view->selectedItems(), {view->topLevelItem(row("inner"))});
  QCOMPARE(view->currentItem(), view->topLevelItem(row("inner")));

  view->setDirectory("/");
  view->oneLevelUp();
  QCOMPARE(view->directory(), QStringLiteral("Drives"));
  QCOMPARE(clicks.count(), 1);
}

void FileListViewTest::opening_entries() {
  view->setDirectory(root);
  QSignalSpy clicks(view.get(), &FileListView::listClick);
  double_click(row("alpha"));
  QCOMPARE(view->directory(), root + "alpha/");
  QCOMPARE(clicks.count(), 1);  // the first click only
  QVERIFY(view->selectedItems().isEmpty());

  view->setCurrentItem(view->topLevelItem(0));
  QTest::keyClick(view.get(), Qt::Key_Return);
  QCOMPARE(view->directory(), root);
  QCOMPARE(view->selectedItem(), root + "alpha");

  view->setCurrentItem(view->topLevelItem(row("sub")));
  QTest::keyClick(view.get(), Qt::Key_Enter);
  QCOMPARE(view->directory(), root + "sub/");

  // The release ending the double click leaves the highlight where going
  // up has put it.
  double_click(0);
  QCOMPARE(view->directory(), root);
  QCOMPARE(view->selectedItems(), {view->topLevelItem(row("sub"))});

  view->setDirectory("Drives");
  const QString first_drive = view->itemPath(0);
  double_click(0);
  QCOMPARE(view->directory(), first_drive);
}

// A Wine prefix's drive_c is a drive like the others: listed after them,
// opened by its entry, and one level up from it (or from the home folder)
// leads back to the drives list.
void FileListViewTest::extra_drives() {
  const auto drives = wingstow::platform::drives();
  const QString drive_c = root + "sub/";
  view->setExtraDrives({{drive_c.toStdString(), "C: of ~/.wine"}});
  QCOMPARE(view->itemCount(), int(drives.size()) + 1);
  const int wine = int(drives.size());
  QCOMPARE(view->itemCaption(wine), QStringLiteral("C: of ~/.wine"));
  QCOMPARE(view->itemPath(wine), drive_c);
  QCOMPARE(view->topLevelItem(wine)->text(FileListView::type_column), QStringLiteral("Drive"));

  double_click(wine);
  QCOMPARE(view->directory(), drive_c);
  QCOMPARE(view->itemCaption(1), QStringLiteral("inner"));
  view->oneLevelUp();
  QCOMPARE(view->directory(), QStringLiteral("Drives"));

  // Below it, folders go up one level at a time; the parent entry of
  // drive_c goes up too.
  view->setDirectory(drive_c + "inner");
  view->oneLevelUp();
  QCOMPARE(view->directory(), drive_c);
  double_click(0);
  QCOMPARE(view->directory(), QStringLiteral("Drives"));

  view->setDirectory(QDir::homePath());
  view->oneLevelUp();
  QCOMPARE(view->directory(), QStringLiteral("Drives"));

  // The folder holding drive_c is no drive.
  view->setDirectory(root);
  view->oneLevelUp();
  QCOMPARE(view->directory(), QFileInfo(temp->path()).path() + '/');
}

// A folder and a file named in Latin-1 show with a replacement character,
// yet the paths the view gives back, and the folders it opens, are the disk's
// bytes.
void FileListViewTest::names_as_bytes() {
  const std::string base = root.toStdString();
  const std::string folder = base + "Caf\xe9";
  const std::string file = folder + "/na\xefve.txt";
  struct Cleanup {
    std::string folder;
    ~Cleanup() { std::filesystem::remove_all(folder); }  // QTemporaryDir cannot
  } cleanup{folder};
  QVERIFY(std::filesystem::create_directory(folder));
  QVERIFY(std::ofstream(file).good());

  view->setDirectoryBytes(base);
  const auto row_of = [this](const std::string& path) {
    for (int i = 0; i < view->itemCount(); ++i)
      if (view->itemPathBytes(i) == path) return i;
    return -1;
  };
  const int folder_row = row_of(folder);
  QVERIFY(folder_row >= 0);
  double_click(folder_row);
  QCOMPARE(view->directoryBytes(), folder + "/");
  const int file_row = row_of(file);
  QVERIFY(file_row >= 0);
  click(file_row);
  QCOMPARE(view->selectedItemBytes(), file);

  view->oneLevelUp();
  QCOMPARE(view->directoryBytes(), base);
  QCOMPARE(view->selectedItemBytes(), folder);
  view->showFileBytes(file);
  QCOMPARE(view->selectedItemBytes(), file);
}

// Every entry of a kind shows the one icon the list's style gives that kind,
// asked of the style once, and a new style's once more.
void FileListViewTest::icons_by_kind() {
  view->setDirectory(root);
  QMap<int, qint64> icon_of_kind;
  for (int i = 0; i < view->itemCount(); ++i) {
    const QTreeWidgetItem* item = view->topLevelItem(i);
    const int kind = item->data(FileListView::name_column, Qt::UserRole).toInt();
    const QIcon icon = item->icon(FileListView::name_column);
    QVERIFY(!icon.isNull());
    QCOMPARE(icon.cacheKey(), icon_of_kind.value(kind, icon.cacheKey()));
    icon_of_kind[kind] = icon.cacheKey();
  }
  QCOMPARE(icon_of_kind.size(), 3);  // the parent, folders, files
  const auto file_icon = [&] {
    return view->topLevelItem(row("zeta.txt"))->icon(FileListView::name_column).cacheKey();
  };
  const qint64 before = file_icon();

  std::unique_ptr<QStyle> other(QStyleFactory::create("Fusion"));
  view->setStyle(other.get());
  view->refresh();
  QVERIFY(file_icon() != before);
  view->setStyle(nullptr);
}

// The Modified column shows the file's local time in the locale's short
// formats, for a time in summer and one in winter.
void FileListViewTest::modified_times() {
  const QLocale locale;
  for (const QDateTime& when : {QDateTime(QDate(2003, 7, 14), QTime(15, 42, 30)),
                                QDateTime(QDate(1999, 12, 31), QTime(23, 59, 59))}) {
    const std::string path = (root + "zeta.txt").toStdString();
    const timespec times[2] = {{when.toSecsSinceEpoch(), 0}, {when.toSecsSinceEpoch(), 0}};
    QCOMPARE(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    view->setDirectory(root);
    view->refresh();
    QCOMPARE(view->topLevelItem(row("zeta.txt"))->text(FileListView::modified_column),
             locale.toString(when.date(), QLocale::ShortFormat) + ' ' +
                 locale.toString(when.time(), QLocale::ShortFormat));
  }
}

QTEST_MAIN(FileListViewTest)
#include "file_list_view_test.moc"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMimeData>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <sys/stat.h>

#include "file_list_fixture.h"
#include "platform/faults.h"
#include "widgets/file_list_view.h"

using wingstow::FileListView;

// The list's copy, cut and paste: the clipboard as file managers read it,
// and what a paste leaves on disk and in the list.
class FileListPasteTest : public QObject, public wingstow::test::FileListFixture {
  Q_OBJECT

 private slots:
  void initTestCase() { set_up_home(); }
  void init() { set_up(); }
  void cleanup() { tear_down(); }

  void copy_and_paste();
  void paste_progress_cancel_and_failures();
  void paste_into_itself_is_refused();
  void cut_and_paste_moves();
  void cut_and_paste_across_file_systems();
};

void FileListPasteTest::copy_and_paste() {
  const QString src = root + "src/";
  view->setMultiSelect(true);
  view->setDirectory(src);
  highlight({"a.txt", "Sub"});
  QTest::keyClick(view.get(), Qt::Key_C, Qt::ControlModifier);

  // What file managers read: the list order, local URLs, and "copy".
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  QVERIFY(data);
  const QList<QUrl> urls{QUrl::fromLocalFile(src + "Sub"), QUrl::fromLocalFile(src + "a.txt")};
  QCOMPARE(data->urls(), urls);
  QCOMPARE(data->data("x-special/gnome-copied-files"),
           "copy\n" + urls[0].toEncoded() + '\n' + urls[1].toEncoded());
  QCOMPARE(data->text(), src + "Sub\n" + src + "a.txt");

  view->setDirectory(root + "dst");
  QTest::keyClick(view.get(), Qt::Key_V, Qt::ControlModifier);
  QVERIFY(warnings.isEmpty());
  QCOMPARE(read(root + "dst/a.txt"), QByteArray("old"));
  QCOMPARE(read(root + "dst/a - Copy.txt"), QByteArray("A"));
  QCOMPARE(read(root + "dst/Sub/inner.cfg"), QByteArray("inner"));
  QCOMPARE(read(root + "dst/Sub/deep/x.cfg"), QByteArray("x"));
  QVERIFY(row("a - Copy.txt") > 0 && row("Sub") > 0);
  QVERIFY(QFile::exists(src + "a.txt") && QFile::exists(src + "Sub/deep/x.cfg"));

  // A copy stays on the clipboard; the next paste numbers the names.
  QTest::keyClick(view.get(), Qt::Key_V, Qt::ControlModifier);
  QCOMPARE(read(root + "dst/a - Copy (2).txt"), QByteArray("A"));
  QCOMPARE(read(root + "dst/Sub - Copy/deep/x.cfg"), QByteArray("x"));

  // Pasted where it came from, an entry is duplicated beside itself.
  view->setDirectory(src);
  view->paste();
  QCOMPARE(read(src + "a - Copy.txt"), QByteArray("A"));
  QVERIFY(QFileInfo(src + "Sub - Copy/deep").isDir());

  // A source gone since the copy is reported, the rest still pasted.
  view->setDirectory(root + "dst");
  highlight({"a.txt"});
  QTest::keyClick(view.get(), Qt::Key_C, Qt::ControlModifier);
  QVERIFY(QFile::remove(root + "dst/a.txt"));
  view->setDirectory(src);
  view->paste();
  QCOMPARE(warnings.size(), 1);
  QVERIFY(warnings[0].contains("a.txt"));

  // Nothing of the drives list goes to the clipboard.
  view->setDirectory("Drives");
  view->setItemHighlighted(0, true);
  QGuiApplication::clipboard()->clear();
  QTest::keyClick(view.get(), Qt::Key_C, Qt::ControlModifier);
  const QMimeData* data_after = QGuiApplication::clipboard()->mimeData();
  QVERIFY(!data_after || !data_after->hasUrls());
}

// A paste reports its bytes as it goes and takes nothing else meanwhile; a
// cancel leaves each item pasted whole or not at all, a failed file leaves
// no part of itself, and one message tells what was not pasted.
void FileListPasteTest::paste_progress_cancel_and_failures() {
  const QString src = root + "src/";
  view->setMultiSelect(true);
  view->setDirectory(src);
  highlight({"Sub", "a.txt", "b.cfg"});
  view->copySelection();

  const QStringList everything{"Sub",           "Sub/deep", "Sub/deep/x.cfg",
                               "Sub/inner.cfg", "a.txt",    "b.cfg"};
  struct Case {
    int cancel_at;  // the step answered with a cancel; 0 for none
    int failing_write;
    QStringList left;  // what the target holds afterwards, hidden entries too
    QString warning;
  };
  const Case cases[] = {
      {0, 0, everything, {}},
      {1,
       0,
       {},
       "Paste cancelled: 0 of 3 items pasted.\nNot pasted:\n" + src + "Sub\n" + src + "a.txt\n" +
           src + "b.cfg"},
      {3, 0, everything.mid(0, 5),
       "Paste cancelled: 2 of 3 items pasted.\nNot pasted:\n" + src + "b.cfg"},
      {0,
       1,
       {"Sub", "Sub/deep", "Sub/inner.cfg", "a.txt", "b.cfg"},
       "Could not paste:\n" + src + "Sub/deep/x.cfg: " + qt_error_string(ENOSPC)},
  };
  for (const Case& test : cases) {
    const QString target =
        root + QString("target%1%2/").arg(test.cancel_at).arg(test.failing_write);
    QVERIFY(QDir().mkpath(target));
    view->setDirectory(target);
    warnings.clear();
    qint64 total = -1;
    int starts = 0, finishes = 0;
    bool disturbed = false, half_shown = false;
    QList<qint64> steps;
    view->progressStarted = [&](qint64 bytes) {
      total = bytes;
      ++starts;
    };
    view->progressStep = [&](qint64 done) {
      steps << done;
      // Neither a second paste, nor a refresh, nor another folder.
      view->paste();
      view->refresh();
      view->setDirectory(src);
      disturbed =
          disturbed || !view->isPasting() || view->directory() != target || view->itemCount() != 1;
      // A folder under way has no name of its own yet.
      half_shown = half_shown || (QFileInfo::exists(target + "Sub") && steps.size() < 2);
      return steps.size() != test.cancel_at;
    };
    view->progressFinished = [&] { ++finishes; };
    wingstow::platform::FaultScope faults;
    if (test.failing_write)
      wingstow::platform::inject_fault(wingstow::platform::FaultPoint::write, test.failing_write,
                                       ENOSPC);
    view->paste();

    QCOMPARE(total, qint64(8));
    QCOMPARE(steps, (QList<qint64>{1, 6, 7, 8}).mid(0, test.cancel_at ? test.cancel_at : 4));
    QCOMPARE(starts, 1);
    QCOMPARE(finishes, 1);
    QVERIFY(!disturbed && !view->isPasting());
    QVERIFY(!half_shown);
    QStringList left;
    QDirIterator it(target, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) left << it.next().mid(target.size());
    left.sort();
    QCOMPARE(left, test.left);
    QCOMPARE(warnings, test.warning.isEmpty() ? QStringList() : QStringList{test.warning});
    if (left.contains("Sub/inner.cfg")) QCOMPARE(read(target + "Sub/inner.cfg"), "inner");
    // The sources are all there, and the list shows what was pasted.
    QCOMPARE(read(src + "Sub/deep/x.cfg") + read(src + "a.txt") + read(src + "b.cfg"), "xAB");
    QCOMPARE(view->itemCount(), 1 + int(left.filter(QRegularExpression("^[^/]+$")).size()));
  }
}

void FileListPasteTest::paste_into_itself_is_refused() {
  view->setDirectory(root + "src");
  highlight({"Sub"});
  view->copySelection();
  view->setDirectory(root + "src/Sub/deep");
  view->paste();
  QCOMPARE(warnings.size(), 1);
  QVERIFY(warnings[0].startsWith("Could not paste:"));
  QCOMPARE(QDir(root + "src/Sub/deep").entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
           QStringList{"x.cfg"});
}

void FileListPasteTest::cut_and_paste_moves() {
  const QString src = root + "src/";
  struct stat before {};
  QCOMPARE(::stat(QFile::encodeName(src + "Sub/deep/x.cfg").constData(), &before), 0);

  view->setMultiSelect(true);
  view->setDirectory(src);
  highlight({"Sub", "a.txt", "b.cfg"});
  QTest::keyClick(view.get(), Qt::Key_X, Qt::ControlModifier);
  const QByteArray gnome =
      QGuiApplication::clipboard()->mimeData()->data("x-special/gnome-copied-files");
  QVERIFY(gnome.startsWith("cut\nfile://"));
  QCOMPARE(gnome.count('\n'), 3);
  // Cutting alone moves nothing.
  QVERIFY(QFile::exists(src + "a.txt"));

  view->setDirectory(root + "dst");
  QTest::keyClick(view.get(), Qt::Key_V, Qt::ControlModifier);
  QVERIFY(warnings.isEmpty());
  QCOMPARE(QDir(src).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
  QCOMPARE(read(root + "dst/b.cfg"), QByteArray("B"));
  QCOMPARE(read(root + "dst/a.txt"), QByteArray("old"));
  QCOMPARE(read(root + "dst/a - Copy.txt"), QByteArray("A"));
  // Same file system: renamed, not copied.
  struct stat after {};
  QCOMPARE(::stat(QFile::encodeName(root + "dst/Sub/deep/x.cfg").constData(), &after), 0);
  QCOMPARE(after.st_ino, before.st_ino);
  QVERIFY(row("Sub") > 0 && row("b.cfg") > 0);

  // The clipboard no longer names files that are gone.
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  QVERIFY(!data || !data->hasUrls());
  view->paste();
  QVERIFY(warnings.isEmpty());
}

void FileListPasteTest::cut_and_paste_across_file_systems() {
  // /dev/shm is a file system of its own on most Linux systems.
  struct stat shm {
  }, tmp{};
  if (::stat("/dev/shm", &shm) != 0 || ::stat(QFile::encodeName(root).constData(), &tmp) != 0 ||
      shm.st_dev == tmp.st_dev)
    QSKIP("no second file system to move across");
  QTemporaryDir other("/dev/shm/file_list_actions-XXXXXX");
  QVERIFY(other.isValid());
  const QString far = other.path() + '/';
  QVERIFY(QDir(far).mkpath("Plane/panel"));
  write(far + "Plane/panel/panel.cfg", "panel");
  QVERIFY(QFile::link("panel/panel.cfg", far + "Plane/link.cfg"));
  QVERIFY(QDir(far).mkpath("Broken"));
  write(far + "Broken/kept.txt", "kept");
  QCOMPARE(::mkfifo(QFile::encodeName(far + "Broken/pipe").constData(), 0600), 0);

  view->setMultiSelect(true);
  view->setDirectory(far);
  highlight({"Broken", "Plane"});
  view->cutSelection();
  view->setDirectory(root + "dst");
  view->paste();

  QCOMPARE(read(root + "dst/Plane/panel/panel.cfg"), QByteArray("panel"));
  QCOMPARE(QFileInfo(root + "dst/Plane/link.cfg").symLinkTarget(),
           root + "dst/Plane/panel/panel.cfg");
  QVERIFY(!QFileInfo::exists(far + "Plane"));
  // What cannot be copied whole stays where it was, with no half copy.
  QCOMPARE(warnings.size(), 1);
  QVERIFY(warnings[0].contains("pipe"));
  QCOMPARE(read(far + "Broken/kept.txt"), QByteArray("kept"));
  QVERIFY(!QFileInfo::exists(root + "dst/Broken"));
  // What stayed stays cut, for another paste to finish the move.
  QCOMPARE(QGuiApplication::clipboard()->mimeData()->urls(),
           QList<QUrl>{QUrl::fromLocalFile(far + "Broken")});
}

QTEST_MAIN(FileListPasteTest)
#include "file_list_paste_test.moc"

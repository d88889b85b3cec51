#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDialog>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QShortcut>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <memory>

#include <sys/stat.h>

#include "platform/faults.h"
#include "widgets/file_list_view.h"

using wingstow::FileListView;

class FileListActionsTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void init();
  void cleanup();

  void rename_with_the_editor();
  void rename_refusals();
  void new_folder();
  void delete_to_the_trash();
  void copy_and_paste();
  void paste_progress_cancel_and_failures();
  void paste_into_itself_is_refused();
  void cut_and_paste_moves();
  void cut_and_paste_across_file_systems();
  void keys_reach_the_actions();
  void list_keys_win_over_window_shortcuts();
  void context_menu();
  void find_file();
  void default_dialogs();

 private:
  int row(const QString& caption) const;
  QTreeWidgetItem* entry(const QString& caption) const;
  void highlight(const QStringList& captions);
  QLineEdit* editor() const;
  bool editing() const;
  static void write(const QString& path, const QByteArray& content);
  static QByteArray read(const QString& path);

  std::unique_ptr<QTemporaryDir> home;
  std::unique_ptr<QTemporaryDir> temp;
  QString root;  // with trailing separator
  std::unique_ptr<FileListView> view;
  QStringList warnings;
  QStringList questions;
  QStringList opened;
  bool answer = true;
};

void FileListActionsTest::initTestCase() {
  // The trash used is the one of this temporary home, never the user's.
  home = std::make_unique<QTemporaryDir>();
  QVERIFY(home->isValid());
  qputenv("HOME", home->path().toUtf8());
  qputenv("XDG_DATA_HOME", (home->path() + "/.local/share").toUtf8());
}

void FileListActionsTest::init() {
  temp = std::make_unique<QTemporaryDir>();
  root = temp->path() + '/';
  for (const char* folder : {"src/Sub/deep", "dst"}) QVERIFY(QDir(root).mkpath(folder));
  write(root + "src/a.txt", "A");
  write(root + "src/b.cfg", "B");
  write(root + "src/Sub/inner.cfg", "inner");
  write(root + "src/Sub/deep/x.cfg", "x");
  write(root + "dst/a.txt", "old");
  QGuiApplication::clipboard()->clear();

  warnings.clear();
  questions.clear();
  opened.clear();
  answer = true;
  view = std::make_unique<FileListView>();
  view->warn = [this](const QString& message) { warnings << message; };
  view->confirm = [this](const QString& question) {
    questions << question;
    return answer;
  };
  view->openFile = [this](const QString& path) {
    opened << path;
    return true;
  };
  view->resize(700, 400);
  view->show();
  view->activateWindow();
  QVERIFY(QTest::qWaitForWindowExposed(view.get()));
  view->setFocus();
}

void FileListActionsTest::cleanup() {
  view.reset();
  temp.reset();
}

int FileListActionsTest::row(const QString& caption) const {
  for (int i = 0; i < view->itemCount(); ++i)
    if (view->itemCaption(i) == caption) return i;
  return -1;
}

QTreeWidgetItem* FileListActionsTest::entry(const QString& caption) const {
  return view->topLevelItem(row(caption));
}

void FileListActionsTest::highlight(const QStringList& captions) {
  view->clearSelection();
  for (const QString& caption : captions) {
    QVERIFY2(row(caption) >= 0, qPrintable(caption));
    view->setItemHighlighted(row(caption), true);
  }
  view->setCurrentItem(entry(captions.back()), 0, QItemSelectionModel::NoUpdate);
}

QLineEdit* FileListActionsTest::editor() const {
  return qobject_cast<QLineEdit*>(QApplication::focusWidget());
}

bool FileListActionsTest::editing() const {
  const auto* line = view->findChild<QLineEdit*>();
  return line && line->isVisible();
}

void FileListActionsTest::write(const QString& path, const QByteArray& content) {
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write(content);
}

QByteArray FileListActionsTest::read(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void FileListActionsTest::rename_with_the_editor() {
  view->setDirectory(root + "src");
  QSignalSpy clicks(view.get(), &FileListView::listClick);
  // The owner's caption is not what gets renamed: the editor holds the name.
  view->setItemCaption(row("a.txt"), "Installed: a");
  highlight({"Installed: a"});

  QTest::keyClick(view.get(), Qt::Key_F2);
  QLineEdit* line = editor();
  QVERIFY(line);
  QCOMPARE(line->text(), QStringLiteral("a.txt"));
  QTest::keyClicks(line, "renamed.txt");
  QTest::keyClick(line, Qt::Key_Return);

  QTRY_VERIFY(QFile::exists(root + "src/renamed.txt"));
  QVERIFY(!QFile::exists(root + "src/a.txt"));
  QCOMPARE(read(root + "src/renamed.txt"), QByteArray("A"));
  QVERIFY(warnings.isEmpty());
  // The Enter that commits is the editor's: it opens nothing.
  QVERIFY(opened.isEmpty());
  QVERIFY(!editing());
  // Listed again, the renamed entry highlighted and reported.
  QVERIFY(row("renamed.txt") > 0);
  QCOMPARE(row("a.txt"), -1);
  QCOMPARE(view->selectedItems(), {entry("renamed.txt")});
  QCOMPARE(view->selectedItem(), root + "src/renamed.txt");
  QCOMPARE(clicks.count(), 1);

  // Letter case alone may change, though the name "exists" for the
  // simulators' case-blind lookups.
  highlight({"b.cfg"});
  view->renameCurrent();
  QTest::keyClicks(editor(), "B.CFG");
  QTest::keyClick(editor(), Qt::Key_Enter);
  QTRY_VERIFY(row("B.CFG") > 0);
  QVERIFY(warnings.isEmpty());
  QCOMPARE(QDir(root + "src").entryList(QDir::Files), (QStringList{"B.CFG", "renamed.txt"}));

  // Escape renames nothing, and the entry is no longer editable: only F2
  // opens an editor.
  highlight({"renamed.txt"});
  view->setItemCaption(row("renamed.txt"), "Shown");
  QTest::keyClick(view.get(), Qt::Key_F2);
  QTest::keyClicks(editor(), "other.txt");
  QTest::keyClick(editor(), Qt::Key_Escape);
  QTRY_VERIFY(!editing());
  QCOMPARE(view->itemCaption(row("Shown")), QStringLiteral("Shown"));
  QCOMPARE(entry("Shown")->text(FileListView::name_column), QStringLiteral("renamed.txt   Shown"));
  QVERIFY(QFile::exists(root + "src/renamed.txt"));
  QVERIFY(!QFile::exists(root + "src/other.txt"));
  QVERIFY(!(entry("Shown")->flags() & Qt::ItemIsEditable));
  QCOMPARE(view->editTriggers(), QAbstractItemView::NoEditTriggers);
}

void FileListActionsTest::rename_refusals() {
  view->setDirectory(root + "src");
  view->setItemCaption(row("b.cfg"), "Custom");
  highlight({"Custom"});

  // A name taken, in any letter case, is refused; both files stay intact.
  QTest::keyClick(view.get(), Qt::Key_F2);
  QTest::keyClicks(editor(), "A.TXT");
  QTest::keyClick(editor(), Qt::Key_Return);
  QTRY_COMPARE(warnings.size(), 1);
  QVERIFY(warnings[0].contains("already exists"));
  QCOMPARE(read(root + "src/a.txt"), QByteArray("A"));
  QCOMPARE(read(root + "src/b.cfg"), QByteArray("B"));
  QCOMPARE(view->itemCaption(row("Custom")), QStringLiteral("Custom"));

  for (const char* bad : {"x/y", " "}) {
    highlight({"Custom"});
    view->renameCurrent();
    QTest::keyClicks(editor(), bad);
    QTest::keyClick(editor(), Qt::Key_Return);
    QTRY_VERIFY(!editing());
  }
  QCOMPARE(warnings.size(), 3);
  QVERIFY(QFile::exists(root + "src/b.cfg"));
  QCOMPARE(QDir(root + "src")
               .entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase),
           (QStringList{"a.txt", "b.cfg", "Sub"}));

  // Neither the parent entry nor a drive gets an editor.
  highlight({" Parent"});
  QTest::keyClick(view.get(), Qt::Key_F2);
  QVERIFY(!editing());
  view->setDirectory("Drives");
  view->setItemHighlighted(0, true);
  view->setCurrentItem(view->topLevelItem(0));
  QTest::keyClick(view.get(), Qt::Key_F2);
  QVERIFY(!editing());
}

void FileListActionsTest::new_folder() {
  view->setDirectory(root + "dst");
  QTest::keyClick(view.get(), Qt::Key_N, Qt::ControlModifier);
  QVERIFY(QFileInfo(root + "dst/New Folder").isDir());
  QVERIFY(editor());
  QCOMPARE(editor()->text(), QStringLiteral("New Folder"));
  QCOMPARE(view->selectedItems(), {entry("New Folder")});
  QTest::keyClick(editor(), Qt::Key_Escape);
  QTRY_VERIFY(!editing());

  // The second one is numbered, and the editor names it at once.
  QTest::keyClick(view.get(), Qt::Key_N, Qt::ControlModifier);
  QVERIFY(QFileInfo(root + "dst/New Folder (2)").isDir());
  QCOMPARE(editor()->text(), QStringLiteral("New Folder (2)"));
  QTest::keyClicks(editor(), "Liveries");
  QTest::keyClick(editor(), Qt::Key_Return);
  QTRY_VERIFY(QFileInfo(root + "dst/Liveries").isDir());
  QCOMPARE(view->directory(), root + "dst/");
  QVERIFY(!QFileInfo::exists(root + "dst/New Folder (2)"));
  QVERIFY(row("Liveries") > 0 && row("New Folder") > 0);

  // A differently cased "new folder (2)" counts as taken.
  QVERIFY(QDir(root + "dst").mkdir("new folder (2)"));
  view->newFolder();
  QVERIFY(QFileInfo(root + "dst/New Folder (3)").isDir());
  QVERIFY(warnings.isEmpty());
}

void FileListActionsTest::delete_to_the_trash() {
  const QString trash = qEnvironmentVariable("XDG_DATA_HOME") + "/Trash/files/";
  view->setDirectory(root + "src");
  highlight({"a.txt"});

  answer = false;
  QTest::keyClick(view.get(), Qt::Key_Delete);
  QCOMPARE(questions, QStringList{"Move 'a.txt' to the trash?"});
  QVERIFY(QFile::exists(root + "src/a.txt"));
  QVERIFY(row("a.txt") > 0);

  answer = true;
  QTest::keyClick(view.get(), Qt::Key_Delete);
  QVERIFY(!QFile::exists(root + "src/a.txt"));
  QCOMPARE(read(trash + "a.txt"), QByteArray("A"));
  QCOMPARE(row("a.txt"), -1);

  // Several entries, a folder among them; the parent entry is never one.
  view->setMultiSelect(true);
  highlight({" Parent", "Sub", "b.cfg"});
  QTest::keyClick(view.get(), Qt::Key_Delete, Qt::KeypadModifier);
  QCOMPARE(questions.last(), QStringLiteral("Move 2 items to the trash?"));
  QVERIFY(QFileInfo(trash + "Sub/deep/x.cfg").isFile());
  QVERIFY(QFile::exists(trash + "b.cfg"));
  QCOMPARE(QDir(root + "src").entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
  QVERIFY(QFileInfo(root + "dst").isDir());
  QVERIFY(warnings.isEmpty());
}

void FileListActionsTest::copy_and_paste() {
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
void FileListActionsTest::paste_progress_cancel_and_failures() {
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

void FileListActionsTest::paste_into_itself_is_refused() {
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

void FileListActionsTest::cut_and_paste_moves() {
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

void FileListActionsTest::cut_and_paste_across_file_systems() {
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

void FileListActionsTest::keys_reach_the_actions() {
  view->setDirectory(root + "src");

  highlight({"Sub"});
  QTest::keyClick(view.get(), Qt::Key_O, Qt::ControlModifier);
  QCOMPARE(view->directory(), root + "src/Sub/");
  QTest::keyClick(view.get(), Qt::Key_Backspace);
  QCOMPARE(view->directory(), root + "src/");
  QCOMPARE(view->selectedItem(), root + "src/Sub");

  highlight({"b.cfg"});
  QTest::keyClick(view.get(), Qt::Key_F, Qt::ControlModifier);
  QCOMPARE(opened, QStringList{root + "src/b.cfg"});
  QCOMPARE(view->directory(), root + "src/");
  highlight({"Sub"});
  QTest::keyClick(view.get(), Qt::Key_F, Qt::ControlModifier);
  QCOMPARE(view->directory(), root + "src/Sub/");
  QCOMPARE(opened.size(), 1);

  write(root + "src/Sub/late.txt", "");
  QCOMPARE(row("late.txt"), -1);
  QTest::keyClick(view.get(), Qt::Key_F5);
  QVERIFY(row("late.txt") > 0);

  // Select all: nothing in single-select mode, all but the parent otherwise.
  view->clearSelection();
  QTest::keyClick(view.get(), Qt::Key_A, Qt::ControlModifier);
  QVERIFY(view->selectedItems().isEmpty());
  view->setMultiSelect(true);
  QTest::keyClick(view.get(), Qt::Key_A, Qt::ControlModifier);
  QCOMPARE(view->selectedItems().size(), view->itemCount() - 1);
  QVERIFY(!view->itemHighlighted(0));

  QTest::keyClick(view.get(), Qt::Key_F3);
  auto* dialog = view->findChild<QDialog*>("findFileDialog");
  QVERIFY(dialog && dialog->isVisible());
  dialog->reject();
}

void FileListActionsTest::list_keys_win_over_window_shortcuts() {
  QVERIFY(QTest::qWaitForWindowActive(view.get()));
  QShortcut copy(QKeySequence::Copy, view.get());
  QShortcut other(QKeySequence(Qt::CTRL | Qt::Key_K), view.get());
  QSignalSpy copy_fired(&copy, &QShortcut::activated);
  QSignalSpy other_fired(&other, &QShortcut::activated);
  view->setDirectory(root + "src");
  highlight({"a.txt"});

  QTest::keyClick(view.get(), Qt::Key_K, Qt::ControlModifier);
  QCOMPARE(other_fired.count(), 1);  // shortcuts do work here
  QTest::keyClick(view.get(), Qt::Key_C, Qt::ControlModifier);
  QCOMPARE(copy_fired.count(), 0);
  QCOMPARE(QGuiApplication::clipboard()->mimeData()->urls(),
           QList<QUrl>{QUrl::fromLocalFile(root + "src/a.txt")});
}

void FileListActionsTest::context_menu() {
  view->setDirectory(root + "src");
  const QPoint at = view->visualItemRect(entry("a.txt")).center();
  // The right button highlights the entry under it, as file managers do.
  QTest::mouseClick(view->viewport(), Qt::RightButton, {}, at);
  QContextMenuEvent event(QContextMenuEvent::Mouse, at, view->viewport()->mapToGlobal(at));
  QApplication::sendEvent(view->viewport(), &event);
  auto* menu = view->findChild<QMenu*>("fileListMenu");
  QVERIFY(menu);
  QTRY_VERIFY(menu->isVisible());

  QMap<QString, QAction*> shown;
  for (QAction* action : menu->actions())
    if (!action->isSeparator()) shown[action->text().remove('&')] = action;
  const QMap<QString, QString> keys{
      {"Open", "Ctrl+O"},       {"View", "Ctrl+F"},     {"Back", "Backspace"},
      {"Cut", "Ctrl+X"},        {"Copy", "Ctrl+C"},     {"Paste", "Ctrl+V"},
      {"Delete", "Del"},        {"Rename", "F2"},       {"New Folder", "Ctrl+N"},
      {"Select All", "Ctrl+A"}, {"Find File...", "F3"}, {"Refresh", "F5"}};
  QCOMPARE(shown.keys(), keys.keys());
  for (auto it = keys.cbegin(); it != keys.cend(); ++it)
    QCOMPARE(shown[it.key()]->shortcut().toString(), it.value());

  QVERIFY(shown["Copy"]->isEnabled() && shown["Rename"]->isEnabled());
  QVERIFY(!shown["Paste"]->isEnabled());       // nothing on the clipboard
  QVERIFY(!shown["Select All"]->isEnabled());  // single-select mode
  shown["Copy"]->trigger();
  QCOMPARE(QGuiApplication::clipboard()->mimeData()->urls(),
           QList<QUrl>{QUrl::fromLocalFile(root + "src/a.txt")});
  menu->close();
  QTRY_VERIFY(!view->findChild<QMenu*>("fileListMenu"));

  // On the parent entry there is nothing to copy, but a paste target.
  view->setCurrentItem(view->topLevelItem(0));
  const QPoint parent_at = view->visualItemRect(view->topLevelItem(0)).center();
  QContextMenuEvent again(QContextMenuEvent::Mouse, parent_at,
                          view->viewport()->mapToGlobal(parent_at));
  QApplication::sendEvent(view->viewport(), &again);
  menu = view->findChild<QMenu*>("fileListMenu");
  QVERIFY(menu);
  for (QAction* action : menu->actions()) {
    const QString text = action->text().remove('&');
    if (text == "Copy" || text == "Cut" || text == "Delete" || text == "Rename")
      QVERIFY2(!action->isEnabled(), qPrintable(text));
    if (text == "Paste" || text == "New Folder") QVERIFY2(action->isEnabled(), qPrintable(text));
  }
  menu->close();
}

void FileListActionsTest::find_file() {
  // Linked folders are not searched: a Wine prefix links z: to the root.
  QVERIFY(QFile::link(root + "src/Sub", root + "src/Linked"));
  view->setDirectory(root + "src");
  view->findFile();
  auto* dialog = view->findChild<QDialog*>("findFileDialog");
  QVERIFY(dialog);
  QVERIFY(dialog->isModal() && dialog->isVisible());

  dialog->findChild<QLineEdit*>("mask")->setText("*.CFG");
  QTest::mouseClick(dialog->findChild<QPushButton*>("find"), Qt::LeftButton);
  auto* matches = dialog->findChild<QListWidget*>("matches");
  QStringList found;
  for (int i = 0; i < matches->count(); ++i)
    found << matches->item(i)->data(Qt::UserRole).toString();
  const QStringList expected{root + "src/b.cfg", root + "src/Sub/inner.cfg",
                             root + "src/Sub/deep/x.cfg"};
  QCOMPARE(found, expected);
  QCOMPARE(view->findFiles("*.cfg"), expected);
  QCOMPARE(view->findFiles("X.CFG"), QStringList{root + "src/Sub/deep/x.cfg"});

  QSignalSpy clicks(view.get(), &FileListView::listClick);
  QListWidgetItem* deep = matches->item(2);
  const QPoint at = matches->visualItemRect(deep).center();
  // As the system delivers it: press, release, press, double-click, release.
  QTest::mouseClick(matches->viewport(), Qt::LeftButton, {}, at);
  QTest::mousePress(matches->viewport(), Qt::LeftButton, {}, at);
  QTest::mouseDClick(matches->viewport(), Qt::LeftButton, {}, at);
  QTest::mouseRelease(matches->viewport(), Qt::LeftButton, {}, at);
  QTRY_VERIFY(!view->findChild<QDialog*>("findFileDialog"));
  QCOMPARE(view->directory(), root + "src/Sub/deep/");
  QCOMPARE(view->selectedItems(), {entry("x.cfg")});
  QCOMPARE(view->selectedItem(), root + "src/Sub/deep/x.cfg");
  QCOMPARE(clicks.count(), 1);
}

void FileListActionsTest::default_dialogs() {
  // The real message boxes, answered as soon as they show.
  FileListView plain;
  QString title;
  QStringList buttons;
  const auto answer_with = [&](const QString& button) {
    QTimer::singleShot(0, this, [&, button] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box) return;
      title = box->windowTitle();
      buttons.clear();
      QAbstractButton* chosen = nullptr;
      for (QAbstractButton* b : box->buttons()) {
        buttons << b->text();
        if (b->text() == button) chosen = b;
      }
      if (chosen) chosen->click();
    });
  };

  answer_with("&Non");
  QVERIFY(!plain.confirm("Move 'a.txt' to the trash?"));
  QCOMPARE(title, QStringLiteral("Confirmation"));
  QCOMPARE(buttons, (QStringList{"&Oui", "&Non"}));
  answer_with("&Oui");
  QVERIFY(plain.confirm("Move 'a.txt' to the trash?"));

  answer_with("OK");
  plain.warn("Could not paste:\nx: gone");
  QCOMPARE(title, QStringLiteral("Avertissement"));
  QCOMPARE(buttons, QStringList{"OK"});
}

QTEST_MAIN(FileListActionsTest)
#include "file_list_actions_test.moc"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QShortcut>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include "file_list_fixture.h"
#include "widgets/file_list_view.h"

using wingstow::FileListView;

class FileListActionsTest : public QObject, public wingstow::test::FileListFixture {
  Q_OBJECT

 private slots:
  void initTestCase() { set_up_home(); }
  void init() { set_up(); }
  void cleanup() { tear_down(); }

  void rename_with_the_editor();
  void rename_refusals();
  void new_folder();
  void delete_to_the_trash();
  void keys_reach_the_actions();
  void list_keys_win_over_window_shortcuts();
  void context_menu();
  void find_file();
  void default_dialogs();
};

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

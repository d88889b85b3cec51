// The airplane check in the window: a click on a package shows the count
// beside the status line, a click on the count, "Check" of the file list and
// "Check airplane" of the catalogue open the findings, copyable as text, and
// Install to FS asks before installing a package with findings.

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileInfo>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QToolButton>

#include "app/check_window.h"
#include "app/main_window.h"
#include "platform/ini_file.h"
#include "support/recording_ui.h"
#include "support/temp_tree.h"
#include "widgets/file_list_view.h"
#include "widgets/flat_button.h"
#include "window_fixture.h"

namespace wingstow {

namespace {

int entry_index(FileListView* list, const QString& name) {
  for (int i = 0; i < list->itemCount(); ++i)
    if (list->itemPath(i) == list->directory() + name) return i;
  return -1;
}

void put(const std::string& path, const std::string& content) {
  QDir().mkpath(QString::fromStdString(path.substr(0, path.rfind('/'))));
  test::write_file(path, content);
}

QPoint entry_point(FileListView* list, int index) {
  return QPoint(20, list->visualItemRect(list->topLevelItem(index)).center().y());
}

// The action of that name in the context menu the widget pops up at.
QAction* menu_action(QWidget* owner, const char* menu_name, const char* action) {
  auto* menu = owner->findChild<QMenu*>(menu_name);
  if (!menu) return nullptr;
  for (QAction* each : menu->actions())
    if (each->objectName() == action) return each;
  return nullptr;
}

}  // namespace

class CheckWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void findingsBeforeAndAfterInstall() {
    QTemporaryDir dir;
    const std::string program = test::folder_with_sep(dir, "prog");
    const std::string fs = test::ready_for_fs2004(dir, program);
    test::RecordingUi recorder;
    Tutil w(program, &recorder);
    w.show();
    QVERIFY(QTest::qWaitFor([&] { return w.activated(); }));

    // Two packages with the same fault; the second one brings its own
    // installer, whose text takes the status line.
    const std::string unzip = program + "unzip_fs2004/";
    const std::string faulty = "[fltsim.0]\r\ntitle=Faulty\r\nmodel=F16\r\n";
    put(unzip + "Faulty/Plane/aircraft.cfg", faulty);
    put(unzip + "Setup/Plane/aircraft.cfg", "[fltsim.0]\r\ntitle=Setup\r\nmodel=F16\r\n");
    put(unzip + "Setup/setup.exe", "MZ");
    const std::string missing =
        "aircraft.cfg, line 3, [fltsim.0]: folder \"model.F16\" "
        "(model=F16) is missing";

    QTest::mouseClick(w.FlatButton3, Qt::LeftButton);
    FileListView* list = w.LsFilelistView_util;
    list->refresh();  // it showed the unzip folder before the packages came
    const int faulty_entry = entry_index(list, "Faulty");
    const int setup_entry = entry_index(list, "Setup");
    QVERIFY(faulty_entry >= 0 && setup_entry >= 0);
    auto* notice = w.findChild<QToolButton*>("CheckNotice");
    QVERIFY(notice && !notice->isVisible());

    // The count stands beside the status line, whatever the line says, and
    // in the entry's tooltip.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, entry_point(list, setup_entry));
    QCOMPARE(w.StatusBar1->currentMessage(),
             QString("This airplane use an executable for the installation !"));
    QVERIFY(notice->isVisible());
    QCOMPARE(notice->text(), QString("1 problem(s) found"));
    QCOMPARE(list->topLevelItem(setup_entry)->toolTip(0), QString("Setup\n1 problem(s) found"));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, entry_point(list, faulty_entry));
    QVERIFY(w.StatusBar1->currentMessage().isEmpty());
    QCOMPARE(notice->text(), QString("1 problem(s) found"));
    QVERIFY(notice->toolTip().startsWith("Faulty: 1 problem(s) found"));

    // A click on it opens the findings: relative to the unzip folder, with
    // what to do.
    QTest::mouseClick(notice, Qt::LeftButton);
    QVERIFY(w.check_window && w.check_window->isVisible());
    const QString before = w.check_window->text();
    QVERIFY2(
        before.contains("Missing folders (1)\n  Faulty/Plane/" + QString::fromStdString(missing)),
        qPrintable(before));
    QVERIFY(before.contains("the simulator cannot show this airplane"));
    QVERIFY(before.contains("looked for: Faulty/Plane/model.F16\n"));
    w.check_window->findChild<QPushButton*>("CheckCopy")->click();
    QCOMPARE(QGuiApplication::clipboard()->text(), before);
    w.check_window->close();

    // "Check" on the entry under the mouse shows the same.
    const QPoint at = entry_point(list, faulty_entry);
    QTest::mouseClick(list->viewport(), Qt::RightButton, {}, at);
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, list->viewport()->mapToGlobal(at));
    QApplication::sendEvent(list->viewport(), &event);
    QAction* check = menu_action(list, "fileListMenu", "checkAction");
    QVERIFY(check && check->isEnabled());
    QCOMPARE(check->text().remove('&'), QString("Check"));
    check->trigger();
    QCOMPARE(w.check_window->text(), before);
    w.check_window->close();

    // Install to FS asks first, naming the finding; No installs nothing.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, entry_point(list, faulty_entry));
    recorder.answers = {Answer::no};
    QTest::mouseClick(w.SpeedButton7, Qt::LeftButton);
    QCOMPARE(recorder.messages.size(), std::size_t(1));
    QCOMPARE(recorder.messages[0].kind, MessageKind::confirmation);
    QCOMPARE(recorder.messages[0].buttons, Buttons::yes_no);
    QCOMPARE(recorder.messages[0].text,
             "The airplane check found 1 problem(s) in Faulty:\n  Faulty/Plane/" + missing +
                 "\nInstall it all the same?");
    QCOMPARE(w.ListBox2->count(), 0);
    QVERIFY(!QFileInfo::exists(QString::fromStdString(fs + "Aircraft/Faulty")));
    QCOMPARE(w.StatusBar1->currentMessage(), QString("Nothing installed"));

    // Yes installs it; the catalogue's check finds the same, now in the
    // simulator.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, entry_point(list, faulty_entry));
    QTest::mouseClick(w.SpeedButton7, Qt::LeftButton);
    QCOMPARE(recorder.messages.size(), std::size_t(2));
    QCOMPARE(recorder.messages[1].text, recorder.messages[0].text);
    QCOMPARE(w.ListBox2->count(), 1);
    const QRect row = w.ListBox2->visualItemRect(w.ListBox2->item(0));
    emit w.ListBox2->customContextMenuRequested(row.center());
    QAction* check_airplane = menu_action(w.ListBox2, "catalogueMenu", "checkAirplaneAction");
    QVERIFY(check_airplane && check_airplane->isEnabled());
    QCOMPARE(check_airplane->text(), QString("Check airplane"));
    check_airplane->trigger();
    QVERIFY(w.check_window->isVisible());
    const QString after = w.check_window->text();
    QVERIFY2(after.startsWith("Airplane check of Faulty\n1 problem(s) found in 1 airplane(s)"),
             qPrintable(after));
    QVERIFY(after.contains("  Aircraft/Faulty/" + QString::fromStdString(missing)));
    QVERIFY(after.contains("looked for: Aircraft/Faulty/model.F16\n"));
    QCOMPARE(w.StatusBar1->currentMessage(), QString("1 problem(s) found"));
    QCOMPARE(recorder.messages.size(), std::size_t(2));

    // A clean package asks nothing and shows no count.
    put(unzip + "Clean/Plane/aircraft.cfg", "[fltsim.0]\r\ntitle=Clean\r\n");
    list->refresh();
    const int clean_entry = entry_index(list, "Clean");
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, entry_point(list, clean_entry));
    QVERIFY(!notice->isVisible());
    QTest::mouseClick(w.SpeedButton7, Qt::LeftButton);
    QCOMPARE(recorder.messages.size(), std::size_t(2));
    QCOMPARE(w.ListBox2->count(), 2);
  }

  void escapeClosesIt() {
    CheckWindow check;
    check.showReport("1 problem(s) found", "report");
    check.show();
    QVERIFY(QTest::qWaitForWindowActive(&check));
    QTest::keyClick(check.findChild<QWidget*>("CheckText"), Qt::Key_Escape);
    QVERIFY(!check.isVisible());
  }
};

}  // namespace wingstow

QTEST_MAIN(wingstow::CheckWindowTest)
#include "check_window_test.moc"

// The tab "Delete installed airplanes" through the window: check marks by
// the user and by the program, Find, and "Delete from FS".

#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <QToolButton>

#include "app/main_window.h"
#include "app/progress_window.h"
#include "platform/files.h"
#include "platform/ini_file.h"
#include "support/recording_ui.h"
#include "support/temp_tree.h"
#include "widgets/picture_view.h"
#include "window_fixture.h"

namespace wingstow {

class RemovalWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    // Trashed folders must stay inside the test's own folder.
    saved_home = qgetenv("HOME");
    saved_data = qgetenv("XDG_DATA_HOME");
    qputenv("HOME", QByteArray::fromStdString(test::folder_with_sep(dir, "home")));
    qputenv("XDG_DATA_HOME",
            QByteArray::fromStdString(test::folder_with_sep(dir, "home") + ".local/share"));
  }
  void cleanup() {
    qputenv("HOME", saved_home);
    saved_data.isNull() ? qunsetenv("XDG_DATA_HOME") : qputenv("XDG_DATA_HOME", saved_data);
  }

  void checkFindAndDelete() {
    const std::string program = test::folder_with_sep(dir, "prog");
    const std::string fs = test::ready_for_fs2004(dir, program);
    const std::string unzip = program + "unzip_fs2004/";
    test::write_file(fs + "Gauges/zulu.gau", "z");
    test::write_file(fs + "Gauges/alpha.gau", "a");
    test::folder_with_sep(dir, "prog/unzip_fs2004");
    test::write_file(unzip + "Zulu.txt", fs + "gauges/zulu.gau\r\n");
    test::write_file(unzip + "alpha.txt", fs + "gauges/alpha.gau\r\n");
    test::write_file(unzip + "Mooney.txt", fs + "aircraft/Mooney\r\n");

    test::RecordingUi recorder;
    Tutil w(program, &recorder);
    w.show();
    QVERIFY(QTest::qWaitFor([&] { return w.activated(); }));
    QCOMPARE(w.ListBox2->count(), 3);
    QVERIFY(!w.SpeedButton8->isEnabled());

    // The user's check box enables "Delete from FS", and unchecking it again
    // disables it.
    w.ListBox2->setCurrentRow(1);
    QTest::keyClick(w.ListBox2->viewport(), Qt::Key_Space);
    QCOMPARE(w.ListBox2->item(1)->checkState(), Qt::Checked);
    QVERIFY(w.SpeedButton8->isEnabled());
    QTest::keyClick(w.ListBox2->viewport(), Qt::Key_Space);
    QVERIFY(!w.SpeedButton8->isEnabled());

    QTest::mouseClick(w.SpeedButton2, Qt::LeftButton);
    for (int i = 0; i < 3; ++i) QCOMPARE(w.ListBox2->item(i)->checkState(), Qt::Checked);
    QVERIFY(w.SpeedButton8->isEnabled());
    QTest::mouseClick(w.SpeedButton3, Qt::LeftButton);
    QVERIFY(!w.SpeedButton8->isEnabled());

    QTest::keyClicks(w.Edit3, "GAUGES");
    QVERIFY(w.SpeedButton1->isEnabled());
    QTest::mouseClick(w.SpeedButton1, Qt::LeftButton);
    QCOMPARE(w.ListBox3->count(), 2);
    QCOMPARE(w.ListBox3->item(0)->text(), QString("alpha"));  // letter case aside
    QCOMPARE(w.ListBox3->item(1)->text(), QString("Zulu"));
    QCOMPARE(w.ListBox2->item(1)->checkState(), Qt::Unchecked);  // Mooney
    QVERIFY(w.SpeedButton8->isEnabled());

    QTest::mouseClick(w.SpeedButton8, Qt::LeftButton);
    const std::string question =
        "Are you really sure ? \nRemove from fs2004: alpha, Zulu. Their airplane folders go to "
        "the trash; their gauges, sounds and other side files are deleted.";
    QCOMPARE(recorder.message_texts(),
             (std::vector<std::string>{question, "End of  delete from fs2004"}));
    QCOMPARE(w.ListBox2->count(), 1);
    QCOMPARE(w.ListBox2->item(0)->text(), QString::fromStdString(unzip + "Mooney.txt"));
    QVERIFY(!platform::exists(fs + "Gauges/zulu.gau"));
    QVERIFY(w.isEnabled());
    QVERIFY(!w.Form1->isVisible());
    QCOMPARE(w.Form1->windowTitle(),
             QString::fromStdString("delete " + unzip + "Zulu.txt <---- fs2004"));

    QTest::mouseClick(w.Edit3, Qt::LeftButton);
    w.Edit3->clear();
    QVERIFY(!w.SpeedButton1->isEnabled());
    QCOMPARE(w.ListBox3->count(), 0);
  }

 private:
  QTemporaryDir dir;
  QByteArray saved_home, saved_data;
};

}  // namespace wingstow

QTEST_MAIN(wingstow::RemovalWindowTest)
#include "removal_window_test.moc"

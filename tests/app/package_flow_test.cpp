// The way of a package through the window: download folder, Unzip, unzip
// folder, click, Install to FS, catalogue.

#include <sys/stat.h>
#include <unistd.h>

#include <QBuffer>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
#include <QStatusBar>
#include <QTest>
#include <QToolButton>

#include "app/main_window.h"
#include "app/progress_window.h"
#include "platform/files.h"
#include "platform/ini_file.h"
#include "support/recording_ui.h"
#include "support/temp_tree.h"
#include "support/zip_builder.h"
#include "widgets/file_list_view.h"
#include "widgets/flat_button.h"
#include "widgets/picture_view.h"
#include "window_fixture.h"

namespace wingstow {

namespace {

QByteArray jpeg_bytes() {
  QImage image(40, 30, QImage::Format_RGB32);
  image.fill(Qt::darkGreen);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "JPG");
  return bytes;
}

// Clicks the list entry named name with the mouse, as the user does.
bool click_entry(FileListView* list, const QString& name) {
  for (int i = 0; i < list->itemCount(); ++i) {
    if (list->itemPath(i) != list->directory() + name) continue;
    const QRect rect = list->visualItemRect(list->topLevelItem(i));
    // The row spans every column; its start is what the user sees.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(20, rect.center().y()));
    return true;
  }
  return false;
}

}  // namespace

class PackageFlowTest : public QObject {
  Q_OBJECT

 private slots:
  void unzipClickInstall() {
    QTemporaryDir dir;
    const std::string program = test::folder_with_sep(dir, "prog");
    const std::string fs = test::ready_for_fs2004(dir, program);

    test::RecordingUi recorder;
    Tutil w(program, &recorder);
    w.show();
    QVERIFY(QTest::qWaitFor([&] { return w.activated(); }));
    const std::string download = program + "download_fs2004/";
    const QByteArray picture = jpeg_bytes();
    test::write_zip(download + "cessna.v2.zip",
                    {{"Cessna/aircraft.cfg", "[fltsim.0]\r\ntitle=Cessna\r\n"},
                     {"Cessna/panel/panel.cfg", "[Window]\r\n"},
                     {"Gauges/cessna_panel.gau", "gauge"},
                     {"cessna.jpg", std::string(picture.constData(), size_t(picture.size()))}});

    QTest::mouseClick(w.FlatButton2, Qt::LeftButton);
    auto* list = w.LsFilelistView_util;
    QVERIFY(click_entry(list, "cessna.v2.zip"));
    QVERIFY(w.SpeedButton5->isEnabled());
    QTest::mouseClick(w.SpeedButton5, Qt::LeftButton);
    const std::string package = program + "unzip_fs2004/cessna_v2";
    QVERIFY(platform::file_exists(package + "/Cessna/aircraft.cfg"));
    QCOMPARE(w.ProgressBar1->maximum(), 10001);
    QVERIFY(!w.SpeedButton10->isEnabled());
    QVERIFY(w.FlatButton3->isEnabled());

    QTest::mouseClick(w.FlatButton3, Qt::LeftButton);
    QVERIFY(click_entry(list, "cessna_v2"));
    QVERIFY(w.SpeedButton7->isEnabled());
    QCOMPARE(w.Edit1->text(), QString("0 Mb"));
    QVERIFY(!w.AdvImage3->isEmpty());
    QCOMPARE(w.ListBox1->count(), 1);
    // Named below the package; the whole path is what a click shows.
    const QString shown = w.ListBox1->item(0)->data(Qt::UserRole).toString();
    QVERIFY(shown.startsWith(QString::fromStdString(package + "/")));
    QVERIFY(shown.endsWith("/" + w.ListBox1->item(0)->text()));
    QVERIFY(!w.ListBox1->item(0)->text().startsWith("/"));

    QTest::mouseClick(w.SpeedButton7, Qt::LeftButton);
    QVERIFY(recorder.messages.empty());
    QVERIFY(platform::file_exists(fs + "Aircraft/cessna_v2/panel/panel.cfg"));
    QVERIFY(platform::file_exists(fs + "Gauges/cessna_panel.gau"));
    QCOMPARE(test::read_file(program + "unzip_fs2004/cessna_v2.txt"),
             fs + "aircraft/cessna_v2\r\n" + fs + "gauges/cessna_panel.gau\r\n");
    QCOMPARE(w.StatusBar1->currentMessage(), QString("End of copy into fs2004"));
    QCOMPARE(w.ListBox2->count(), 1);
    QVERIFY(w.isEnabled());
    QVERIFY(!w.Form1->isVisible());
    QVERIFY(!w.Form1->Animate1->isPlaying());
    QCOMPARE(w.Form1->windowTitle(), QString::fromStdString(package + "  ----> fs2004"));
    QVERIFY(w.AdvImage1->isEmpty());
    QCOMPARE(w.ListBox1->count(), 0);

    // A second install of the same package is refused.
    QVERIFY(click_entry(list, "cessna_v2"));
    QVERIFY(!w.SpeedButton7->isEnabled());  // already installed
    QCOMPARE(w.StatusBar1->currentMessage(), QString(" Already installed!"));
  }

  // Named pipes called like an archive or a picture never freeze the
  // window: Unzip reports the one, the package view passes over the other.
  // The alarm ends a blocked test.
  void specialFilesNeverBlockTheWindow() {
    QTemporaryDir dir;
    const std::string program = test::folder_with_sep(dir, "prog");
    const std::string fs = test::ready_for_fs2004(dir, program);
    test::RecordingUi recorder;
    Tutil w(program, &recorder);
    w.show();
    QVERIFY(QTest::qWaitFor([&] { return w.activated(); }));
    const std::string download = program + "download_fs2004/";
    const QByteArray picture = jpeg_bytes();
    test::write_zip(download + "pack.zip",
                    {{"Plane/aircraft.cfg", "[fltsim.0]\r\n"},
                     {"shot.jpg", std::string(picture.constData(), size_t(picture.size()))}});
    QVERIFY(::mkfifo((download + "pipe.zip").c_str(), 0600) == 0);
    ::alarm(20);

    QTest::mouseClick(w.FlatButton2, Qt::LeftButton);
    auto* list = w.LsFilelistView_util;
    QVERIFY(click_entry(list, "pipe.zip"));
    QTest::mouseClick(w.SpeedButton5, Qt::LeftButton);
    QCOMPARE(recorder.message_texts(),
             std::vector<std::string>{"Zip file could not be opened: '" + download +
                                      "pipe.zip' is not a regular file"});
    QVERIFY(!platform::exists(program + "unzip_fs2004/pipe"));
    QVERIFY(w.isEnabled());

    QVERIFY(click_entry(list, "pack.zip"));
    QTest::mouseClick(w.SpeedButton5, Qt::LeftButton);
    const std::string package = program + "unzip_fs2004/pack/";
    QVERIFY(platform::file_exists(package + "shot.jpg"));
    QVERIFY(::mkfifo((package + "a_pipe.jpg").c_str(), 0600) == 0);
    QTest::mouseClick(w.FlatButton3, Qt::LeftButton);
    QVERIFY(click_entry(list, "pack"));
    QCOMPARE(w.ListBox1->count(), 1);
    QCOMPARE(w.AdvImage3->fileName(), QString::fromStdString(package + "shot.jpg"));
    QVERIFY(!w.AdvImage3->isEmpty());
    ::alarm(0);
  }

  void stretchMenu() {
    QTemporaryDir dir;
    test::RecordingUi recorder;
    Tutil w(test::folder_with_sep(dir, "prog"), &recorder);
    QVERIFY(w.AdvImage1->stretchRatio());
    w.Off1->trigger();
    QVERIFY(!w.AdvImage1->stretchRatio());
    QVERIFY(!w.Stretch1->menuAction()->isChecked());
    w.On1->trigger();
    QVERIFY(w.AdvImage1->stretchRatio());
    QVERIFY(w.Stretch1->menuAction()->isChecked());
    w.Off1->trigger();
    QVERIFY(w.Stretch1->menuAction()->isChecked());  // Off leaves the mark
  }
};

}  // namespace wingstow

QTEST_MAIN(wingstow::PackageFlowTest)
#include "package_flow_test.moc"

#include "app/main_window.h"

#include <QCheckBox>
#include <QClipboard>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <cstdlib>
#include <filesystem>

#include "app/chooser_window.h"
#include "app/help_window.h"
#include "app/progress_window.h"
#include "packages/import_archives.h"
#include "platform/files.h"
#include "platform/ini_file.h"
#include "support/recording_ui.h"
#include "support/temp_tree.h"
#include "support/zip_builder.h"
#include "widgets/file_list_view.h"
#include "widgets/flat_button.h"
#include "widgets/gradient_panel.h"
#include "window_fixture.h"

namespace wingstow {

using test::on_next_modal;

class MainWindowTest : public QObject {
  Q_OBJECT

  std::unique_ptr<QTemporaryDir> dir;
  std::string program;
  test::RecordingUi recorder;

  std::unique_ptr<Tutil> start() {
    auto window = std::make_unique<Tutil>(program, &recorder);
    window->show();
    if (!QTest::qWaitFor([&] { return window->activated(); })) qWarning("window not activated");
    return window;
  }
  void write_setting(const char* key, const std::string& value) {
    platform::IniFile(program + "planeyard.ini").write("main_path", key, value);
  }
  std::string setting(const char* key) {
    return platform::IniFile(program + "planeyard.ini").read("main_path", key, "valeur");
  }
  static bool enabled(Tutil& w, const char* name) {
    return w.findChild<QWidget*>(name)->isEnabled();
  }

 private slots:
  void init() {
    dir = std::make_unique<QTemporaryDir>();
    program = test::folder_with_sep(*dir, "prog");
    recorder = test::RecordingUi();
  }

  // The engine names controls by an enum: each one is a widget of the window
  // under that object name (util is the window itself).
  void everyControlTheEngineNamesIsInTheWindow() {
    Tutil w(program, &recorder);
    for (int i = 0; i <= static_cast<int>(Control::util); ++i) {
      const auto control = static_cast<Control>(i);
      const QString name = QString::fromUtf8(control_name(control).data(),
                                             static_cast<qsizetype>(control_name(control).size()));
      if (control == Control::util) continue;
      QVERIFY2(w.findChild<QWidget*>(name), qPrintable(name));
    }
  }

  void controlsAsTheWindowOpens() {
    Tutil w(program, &recorder);
    QCOMPARE(w.windowTitle(), QString("  Fs2002 - Fs2004 Wingstow/uninstaller"));
    QCOMPARE(w.size(), QSize(416, 554));
    QCOMPARE(w.minimumSize(), w.maximumSize());

    struct Tool {
      const char* name;
      const char* hint;
      int x;
      bool enabled;
    };
    const Tool tools[] = {{"SpeedButton5", "Unzip", 9, false},
                          {"SpeedButton10", "Cancel unzip", 50, false},
                          {"SpeedButton8", "Delete from FS", 91, false},
                          {"Btn1LevelUp", "One Level Up", 132, true},
                          {"SpeedButton7", "Install to FS", 173, false},
                          {"SpeedButton4", "Set main FS path", 214, true},
                          {"SpeedButton40", "Help", 255, true},
                          {"BtnRefresh", "Refresh", 296, true},
                          {"SpeedButton9", "About", 337, true},
                          {"SpeedButton6", "exit", 378, true}};
    for (const auto& tool : tools) {
      auto* button = w.findChild<QToolButton*>(tool.name);
      QVERIFY2(button, tool.name);
      QCOMPARE(button->toolTip(), QString(tool.hint));
      QCOMPARE(button->x(), tool.x);
      QCOMPARE(button->size(), QSize(30, 30));
      QCOMPARE(button->isEnabled(), tool.enabled);
      QVERIFY(!button->icon().isNull());
      QVERIFY(button->autoRaise());
    }
    for (auto [name, hint] : {std::pair{"SpeedButton11", "Empty recycle bin"},
                              {"SpeedButton12", "View airplane already installed"},
                              {"SpeedButton2", "Check all"},
                              {"SpeedButton3", "Uncheck all"},
                              {"SpeedButton1", "Find"},
                              {"prompt", "Multiple installation"}})
      QCOMPARE(w.findChild<QWidget*>(name)->toolTip(), QString(hint));
    QVERIFY(!enabled(w, "SpeedButton1"));

    auto* pages = w.findChild<QTabWidget*>("PageControl1");
    QCOMPARE(pages->count(), 4);
    QCOMPARE(pages->tabText(0), QString("Explore Files"));
    QCOMPARE(pages->tabText(1), QString("Liste find "));
    QCOMPARE(pages->tabText(2), QString("Pictures"));
    QCOMPARE(pages->tabText(3), QString("Delete installed airplanes"));
    QVERIFY(!pages->isTabVisible(1));
    QCOMPARE(pages->currentWidget()->objectName(), QString("TabSheet1"));

    QCOMPARE(w.FlatButton1->text(), QString());
    QCOMPARE(w.FlatButton2->text(), QString("Download Path"));
    QCOMPARE(w.FlatButton3->text(), QString("Unzip Path"));
    QCOMPARE(w.fs2002x->text(), QString("FS 2002"));
    QCOMPARE(w.fs2004x->text(), QString("FS 2004"));
    QCOMPARE(w.prompt->text(), QString("Multi select"));
    for (auto* edit : {w.Edit1, w.Edit2, w.e_fs_path, w.edit_download, w.edit_unzip}) {
      QVERIFY(!edit->isEnabled());
      QVERIFY(edit->text().isEmpty());
    }
    QVERIFY(!w.prompt->isChecked());
    QCOMPARE(w.ProgressBar1->maximum(), 100);
    QCOMPARE(w.LsFilelistView_util->directory(), QString("Drives"));
    QVERIFY(!w.LsFilelistView_util->multiSelect());
    QCOMPARE(w.Stretch1->title(), QString("&Strech "));
    QCOMPARE(w.On1->text(), QString("On"));
    QCOMPARE(w.Off1->text(), QString("Off"));
    // The progress window and the chooser exist from the start, hidden.
    QVERIFY(w.Form1 && !w.Form1->isVisible());
    QVERIFY(w.Form2 && !w.Form2->isVisible());
    QCOMPARE(w.Form1->size(), QSize(289, 65));
    QCOMPARE(w.Form2->size(), QSize(235, 98));
  }

  void firstStartSelectsAndCreatesNothing() {
    auto w = start();
    QVERIFY(!w->fs2002x->isChecked());
    QVERIFY(!w->fs2004x->isChecked());
    QCOMPARE(w->FlatButton1->text(), QString());
    QVERIFY(w->e_fs_path->text().isEmpty());
    QCOMPARE(w->LsFilelistView_util->directory(), QString("Drives"));
    QVERIFY(!platform::exists(program + "planeyard.ini"));
    QVERIFY(!platform::exists(program + "download_fs2002"));
    QVERIFY(!platform::exists(program + "unzip_fs2004"));
    QVERIFY(recorder.messages.empty());
    QVERIFY(w->zip_master().unz_dll_version() > 0);

    // "Set main FS path" before any simulator: nothing happens.
    QTest::mouseClick(w->SpeedButton4, Qt::LeftButton);
    QVERIFY(!platform::exists(program + "unzip_fs2002"));
    QVERIFY(recorder.messages.empty());
  }

  void storedSimulatorIsSelectedOnceAtStart() {
    const QString sim = test::make_simulator(*dir, "FS9");
    write_setting("fs_path_2004", sim.toStdString() + "/");
    write_setting("fs_start", "fs2004");

    Tutil w(program, &recorder);
    int switches = 0;
    connect(w.fs2004x, &QRadioButton::toggled, [&](bool on) { switches += on; });
    w.show();
    QTRY_VERIFY(w.activated());

    QCOMPARE(switches, 1);
    QVERIFY(w.fs2004x->isChecked());
    QVERIFY(!w.fs2002x->isChecked());
    QCOMPARE(w.FlatButton1->text(), QString("Fs2004 Path :"));
    QCOMPARE(w.BFSBackground1->color(), QColor(255, 0, 0));
    QCOMPARE(w.e_fs_path->text(), sim + "/");
    QCOMPARE(w.LsFilelistView_util->directory(), QString::fromStdString(program + "unzip_fs2004/"));
    QVERIFY(w.Edit2->text().endsWith(" Mb"));
    QVERIFY(w.SpeedButton11->isEnabled());
    QVERIFY(!w.Form2->isVisible());
    // Fields and the status line cut at the window's edge tell the whole as
    // their tip.
    QCOMPARE(w.e_fs_path->toolTip(), sim + "/");
    QVERIFY(!w.StatusBar1->currentMessage().isEmpty());
    QCOMPARE(w.StatusBar1->toolTip(), w.StatusBar1->currentMessage());
    // "Multi select" reads on the red panel.
    const QColor caption = w.prompt->palette().color(QPalette::Active, QPalette::WindowText);
    QVERIFY(std::abs(caption.lightness() - w.BFSBackground1->color().lightness()) > 100);
  }

  void fsStartInCapitalsSelectsNothing() {
    write_setting("fs_start", "FS2004");
    auto w = start();
    QVERIFY(!w->fs2002x->isChecked());
    QVERIFY(!w->fs2004x->isChecked());
    QVERIFY(!platform::exists(program + "unzip_fs2004"));
  }

  void firstPressOpensTheChooserAndCancelLeavesControlsDisabled() {
    auto w = start();
    QString caption;
    on_next_modal([&](QWidget* modal) {
      caption = modal->windowTitle();
      QVERIFY(modal->findChild<QWidget*>("LsDirTree1")->isEnabled());
      QTest::mouseClick(modal->findChild<QPushButton*>("BitBtn2"), Qt::LeftButton);
    });
    QTest::mouseClick(w->fs2002x, Qt::LeftButton);

    QCOMPARE(caption, QString("Set the main fs2002 path"));
    QVERIFY(w->fs2002x->isChecked());
    QCOMPARE(w->BFSBackground1->color(), QColor(255, 255, 0));
    QCOMPARE(w->FlatButton1->text(), QString("Fs2002 Path :"));
    QCOMPARE(w->edit_unzip->text(), QString::fromStdString(program + "unzip_fs2002/"));
    QCOMPARE(w->e_fs_path->text(), QString("valeur"));
    for (const char* name : {"LsFilelistView_util", "FlatButton1", "FlatButton2", "FlatButton3",
                             "BtnRefresh", "Btn1LevelUp", "prompt", "SpeedButton11"})
      QVERIFY2(!enabled(*w, name), name);
    QVERIFY(enabled(*w, "fs2004x"));
    QVERIFY(enabled(*w, "SpeedButton4"));
    QCOMPARE(setting("fs_start"), std::string("fs2002"));
    QVERIFY(platform::folder_exists(program + "download_fs2004"));
  }

  void confirmedFolderIsStoredAndTheWindowGetsReady() {
    const QString sim = test::make_simulator(*dir, "FS8");
    auto w = start();
    on_next_modal([&](QWidget* modal) {
      auto* ok = modal->findChild<QPushButton*>("BitBtn1");
      QVERIFY(!ok->isEnabled());
      modal->findChild<QWidget*>("LsDirTree1")->setProperty("selectedFolder", sim);
      QVERIFY(ok->isEnabled());
      QTest::mouseClick(ok, Qt::LeftButton);
    });
    QTest::mouseClick(w->fs2002x, Qt::LeftButton);

    QCOMPARE(setting("fs_path_2002"), sim.toStdString() + "/");
    QCOMPARE(w->e_fs_path->text(), sim + "/");
    QVERIFY(w->LsFilelistView_util->isEnabled());
    QVERIFY(w->SpeedButton12->isEnabled());
    QVERIFY(!w->Form2->BitBtn1->isEnabled());
    QVERIFY(w->Edit2->text().endsWith(" Mb"));

    // With the folder known, "Set main FS path" asks nothing.
    QTest::mouseClick(w->SpeedButton4, Qt::LeftButton);
    QVERIFY(!w->Form2->isVisible());
    QVERIFY(recorder.messages.empty());
  }

  void browseButtonsSelectionModeAndInvalidPaths() {
    const QString sim = test::make_simulator(*dir, "FS9");
    write_setting("fs_path_2004", sim.toStdString() + "/");
    write_setting("fs_start", "fs2004");
    auto w = start();
    auto* list = w->LsFilelistView_util;

    QTest::mouseClick(w->FlatButton2, Qt::LeftButton);
    QVERIFY(list->multiSelect());
    QVERIFY(w->prompt->isHidden());
    QCOMPARE(list->directory(), QString::fromStdString(program + "download_fs2004/"));
    QCOMPARE(w->FlatButton2->color(), QColor(10, 36, 106));
    QCOMPARE(w->FlatButton3->color(), QColor(128, 128, 128));

    QTest::mouseClick(w->FlatButton1, Qt::LeftButton);
    QVERIFY(list->multiSelect());  // left as it was
    QCOMPARE(list->directory(), sim + "/");

    QTest::mouseClick(w->FlatButton3, Qt::LeftButton);
    QVERIFY(!list->multiSelect());
    QVERIFY(!w->prompt->isHidden());
    QVERIFY(w->SpeedButton12->isEnabled());

    w->prompt->setChecked(true);
    QTest::mouseClick(w->FlatButton2, Qt::LeftButton);
    QTest::mouseClick(w->FlatButton3, Qt::LeftButton);
    QVERIFY(list->multiSelect());  // "Multi select" keeps it

    // Folders gone: each button says so and the list stays where it was.
    const QString before = list->directory();
    w->Edit1->setText("12 Mb");
    QDir(sim).removeRecursively();
    QDir(QString::fromStdString(program + "download_fs2004")).removeRecursively();
    QDir(QString::fromStdString(program + "unzip_fs2004")).removeRecursively();
    QTest::mouseClick(w->FlatButton1, Qt::LeftButton);
    QTest::mouseClick(w->FlatButton2, Qt::LeftButton);
    QTest::mouseClick(w->FlatButton3, Qt::LeftButton);
    QCOMPARE(recorder.message_texts(),
             (std::vector<std::string>{"Invalid Path ", "Invalid Path ", "Invalid Path"}));
    for (const auto& m : recorder.messages) QVERIFY(m.kind == MessageKind::information);
    QCOMPARE(list->directory(), before);
    QVERIFY(w->Edit1->text().isEmpty());
  }

  void failingWorkingFolderShowsTheErrorBoxAndKeepsTheWindowUsable() {
    test::write_file(program + "download_fs2002", "not a folder");
    auto w = start();
    QTest::mouseClick(w->fs2002x, Qt::LeftButton);
    QCOMPARE(recorder.messages.size(), size_t(1));
    QVERIFY(recorder.messages[0].kind == MessageKind::application_error);
    QCOMPARE(recorder.messages[0].text, "Impossible de créer " + program + "download_fs2002 (" +
                                            program + "download_fs2002: File exists)");
    QVERIFY(w->isEnabled());
    QVERIFY(!platform::exists(program + "planeyard.ini"));
    // The caption and colour changes made before the failure remain.
    QCOMPARE(w->FlatButton1->text(), QString("Fs2002 Path :"));
  }

  void refreshShowsFreeSpaceAndDisablesCommands() {
    const QString sim = test::make_simulator(*dir, "FS9");
    write_setting("fs_path_2004", sim.toStdString() + "/");
    write_setting("fs_start", "fs2004");
    auto w = start();
    w->Edit2->clear();
    w->Edit1->setText("3 Mb");
    for (auto* b : {w->SpeedButton5, w->SpeedButton7, w->SpeedButton8}) b->setEnabled(true);
    QTest::mouseClick(w->BtnRefresh, Qt::LeftButton);
    QVERIFY(w->Edit2->text().endsWith(" Mb"));
    QVERIFY(w->Edit1->text().isEmpty());
    for (auto* b : {w->SpeedButton5, w->SpeedButton7, w->SpeedButton8}) QVERIFY(!b->isEnabled());
  }

  // A package named in Latin-1, in working folders spelled in capitals, goes
  // through the window's file list and catalogue under its own bytes: it is
  // unzipped, installed, found and removed.
  void latin1PackageInCapitalFoldersGoesInAndOut() {
    // The airplane's folder goes to the trash: the test's own. QTemporaryDir
    // cannot remove names that are not UTF-8, so the test does.
    struct Restore {
      std::string folder;
      QByteArray home = qgetenv("HOME"), data = qgetenv("XDG_DATA_HOME");
      ~Restore() {
        qputenv("HOME", home);
        data.isNull() ? qunsetenv("XDG_DATA_HOME") : qputenv("XDG_DATA_HOME", data);
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
      }
    } restore{dir->path().toStdString()};
    qputenv("HOME", QByteArray::fromStdString(test::folder_with_sep(*dir, "home")));
    qputenv("XDG_DATA_HOME",
            QByteArray::fromStdString(test::folder_with_sep(*dir, "home") + ".local/share"));
    const std::string fs = test::make_simulator(*dir, "FS9").toStdString() + "/";
    write_setting("fs_path_2004", fs);
    write_setting("fs_start", "fs2004");
    const std::string download = test::folder_with_sep(*dir, "prog/Download_FS2004");
    const std::string unzip = test::folder_with_sep(*dir, "prog/UNZIP_FS2004");
    const std::string name = "Caf\xe9";
    test::write_zip(
        download + name + ".zip",
        {{"Plane/aircraft.cfg", "[fltsim.0]\r\ntitle=Caf\xe9\r\n"}, {"Gauges/cafe.gau", "gauge"}});
    auto w = start();
    auto* list = w->LsFilelistView_util;
    const auto click = [list](const std::string& path) {
      for (int i = 0; i < list->itemCount(); ++i) {
        if (list->itemPathBytes(i) != path) continue;
        const QRect rect = list->visualItemRect(list->topLevelItem(i));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(20, rect.center().y()));
        return true;
      }
      return false;
    };

    QTest::mouseClick(w->FlatButton2, Qt::LeftButton);
    QCOMPARE(list->directoryBytes(), download);
    QVERIFY(click(download + name + ".zip"));
    QVERIFY(w->SpeedButton5->isEnabled());
    QTest::mouseClick(w->SpeedButton5, Qt::LeftButton);
    QVERIFY(platform::file_exists(unzip + name + "/Plane/aircraft.cfg"));

    QTest::mouseClick(w->FlatButton3, Qt::LeftButton);
    QVERIFY(click(unzip + name));
    QVERIFY(w->SpeedButton7->isEnabled());
    QTest::mouseClick(w->SpeedButton7, Qt::LeftButton);
    QVERIFY(platform::file_exists(fs + "Gauges/cafe.gau"));
    QCOMPARE(test::read_file(unzip + name + ".txt"),
             fs + "aircraft/" + name + "\r\n" + fs + "gauges/cafe.gau\r\n");
    QCOMPARE(w->ListBox2->count(), 1);
    QVERIFY(recorder.messages.empty());

    QTest::keyClicks(w->Edit3, "GAUGES");
    QTest::mouseClick(w->SpeedButton1, Qt::LeftButton);
    QCOMPARE(w->ListBox2->item(0)->checkState(), Qt::Checked);
    QCOMPARE(w->ListBox3->count(), 1);
    QTest::mouseClick(w->SpeedButton8, Qt::LeftButton);
    const std::string question = "Are you really sure ? \nRemove from fs2004: " + name +
                                 ". Their airplane folders go to the trash; their gauges, sounds "
                                 "and other side files are deleted.";
    QCOMPARE(recorder.message_texts(),
             (std::vector<std::string>{question, "End of  delete from fs2004"}));
    QVERIFY(!platform::exists(fs + "Gauges/cafe.gau"));
    QVERIFY(!platform::exists(fs + "Aircraft/" + name));
    QVERIFY(!platform::exists(unzip + name + ".txt"));
    QCOMPARE(w->ListBox2->count(), 0);
  }

  // Archives dropped before a simulator is chosen wait, and the user is told;
  // choosing FS 2004 brings them into its download folder, highlighted.
  void droppedArchivesWaitForASimulator() {
    const std::string fs = test::make_simulator(*dir, "FS9").toStdString() + "/";
    write_setting("fs_path_2004", fs);  // no fs_start: nothing selected yet
    const std::string home = test::folder_with_sep(*dir, "home");
    test::write_zip(home + "Cub.zip", {{"Cub/aircraft.cfg", "x"}});
    auto w = start();
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(home + "Cub.zip"))});
    const auto offered = Qt::CopyAction | Qt::MoveAction;
    QDragEnterEvent enter(QPoint(200, 200), offered, &data, Qt::LeftButton, {});
    QApplication::sendEvent(w.get(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(200, 200), offered, &data, Qt::LeftButton, {});
    QApplication::sendEvent(w.get(), &drop);
    QCOMPARE(drop.dropAction(), Qt::CopyAction);

    QVERIFY(QTest::qWaitFor([&] { return !recorder.messages.empty(); }));
    QCOMPARE(recorder.message_texts(), std::vector<std::string>{choose_simulator_first});
    QCOMPARE(w->StatusBar1->currentMessage(), QString(choose_simulator_first));
    QCOMPARE(w->pending_archives().size(), size_t(1));

    QTest::mouseClick(w->fs2004x, Qt::LeftButton);
    const std::string download = w->shared().download_path;
    QVERIFY(QTest::qWaitFor([&] { return w->pending_archives().empty(); }));
    QCOMPARE(test::read_file(download + "Cub.zip"), test::read_file(home + "Cub.zip"));
    QVERIFY(platform::file_exists(home + "Cub.zip"));
    QCOMPARE(w->LsFilelistView_util->selectedItemBytes(), download + "Cub.zip");
    QCOMPARE(w->StatusBar1->currentMessage().toStdString(), "1 archive(s) copied into " + download);
    QCOMPARE(recorder.messages.size(), size_t(1));

    // A second drop while the download folder is listed shows the new one.
    test::write_zip(home + "Beech.zip", {{"Beech/aircraft.cfg", "y"}});
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(home + "Beech.zip"))});
    QDragEnterEvent enter_again(QPoint(200, 200), offered, &data, Qt::LeftButton, {});
    QApplication::sendEvent(w.get(), &enter_again);
    QDropEvent again(QPointF(200, 200), offered, &data, Qt::LeftButton, {});
    QApplication::sendEvent(w.get(), &again);
    QVERIFY(QTest::qWaitFor([&] { return platform::file_exists(download + "Beech.zip"); }));
    QVERIFY(QTest::qWaitFor([&] { return w->pending_archives().empty(); }));
    FileListView* list = w->LsFilelistView_util;
    QCOMPARE(list->selectedItemBytes(), download + "Beech.zip");
    for (int i = 0; i < list->itemCount(); ++i)
      QCOMPARE(list->itemHighlighted(i), list->itemPathBytes(i) == download + "Beech.zip");

    // The next command starts on a clear status line.
    QTest::mouseClick(w->BtnRefresh, Qt::LeftButton);
    QVERIFY(w->StatusBar1->currentMessage().isEmpty());
    // So does a file action of the list.
    w->status("End of copy into fs2004");
    QTest::keyClick(w->LsFilelistView_util, Qt::Key_F5);
    QVERIFY(w->StatusBar1->currentMessage().isEmpty());
  }

  void windowIsKeptOnTheScreen() {
    const QRect frame(508, 124, 416, 584);
    QCOMPARE(Tutil::kept_on_screen(frame, {0, 0, 1920, 1080}), QPoint(508, 124));
    QCOMPARE(Tutil::kept_on_screen(frame, {0, 0, 800, 600}), QPoint(384, 16));
    QCOMPARE(Tutil::kept_on_screen(frame, {0, 0, 400, 500}), QPoint(0, 0));
    QCOMPARE(Tutil::kept_on_screen(frame, {1920, 30, 1280, 1024}), QPoint(1920, 124));
    // The offscreen screen is smaller than the specified place allows.
    Tutil w(program, &recorder);
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    QVERIFY(available.contains(QRect(w.pos(), w.size())));
  }

  // A paste of the file list shows the progress window and stops at Cancel,
  // the only control that takes input meanwhile.
  void pasteShowsProgressAndStopsAtCancel() {
    const std::string source = test::folder_with_sep(*dir, "big");
    for (int i = 0; i < 40; ++i)
      test::write_file(source + "file" + std::to_string(i) + ".bin", std::string(64 * 1024, 'x'));
    const std::string target = test::folder_with_sep(*dir, "target");
    Tutil w(program, &recorder);
    w.show();
    FileListView* list = w.LsFilelistView_util;
    list->setDirectoryBytes(target);
    auto* data = new QMimeData;
    data->setUrls({QUrl::fromLocalFile(QString::fromStdString(source).chopped(1))});
    QGuiApplication::clipboard()->setMimeData(data);

    bool shown = false;
    int steps = 0;
    const auto step = list->progressStep;
    list->progressStep = [&](qint64 done) {
      if (++steps == 3) {
        shown = w.Form1->isVisible() && w.SpeedButton10->isEnabled();
        QTest::mouseClick(w.SpeedButton10, Qt::LeftButton);
      }
      return step(done);
    };
    list->paste();

    QVERIFY(shown);
    QVERIFY(!w.Form1->isVisible());
    QVERIFY(!w.SpeedButton10->isEnabled());
    QVERIFY(!list->isPasting());
    // Whole or nothing: the cancelled folder is not there under its name.
    QVERIFY(!platform::exists(target + "big"));
    QCOMPARE(recorder.messages.size(), size_t(1));
    QVERIFY2(recorder.messages[0].text.starts_with("Paste cancelled"),
             recorder.messages[0].text.c_str());
    // Input reaches the window again.
    QTest::mouseClick(w.BtnRefresh, Qt::LeftButton);
    QVERIFY(platform::exists(source + "file39.bin"));
  }

  void keysOpenTheHelpAndExit() {
    auto w = start();
    QTest::keyClick(w.get(), Qt::Key_F1);
    QVERIFY(w->help_window && w->help_window->isVisible());
    QTest::keyClick(w.get(), Qt::Key_Q, Qt::ControlModifier);
    QVERIFY(!w->isVisible());
    QVERIFY(!w->help_window->isVisible());
  }
};

}  // namespace wingstow

QTEST_MAIN(wingstow::MainWindowTest)
#include "main_window_test.moc"

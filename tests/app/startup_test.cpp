#include "app/startup.h"

#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTextBrowser>
#include <thread>

#include <sys/stat.h>

#include "app/chooser_window.h"
#include "app/help_window.h"
#include "app/main_window.h"
#include "app/message_box.h"
#include "app/progress_window.h"
#include "platform/error.h"
#include "platform/ini_file.h"
#include "platform/single_instance.h"
#include "settings/shared.h"
#include "support/recording_ui.h"
#include "support/temp_tree.h"
#include "support/zip_builder.h"
#include "widgets/file_list_view.h"
#include "window_fixture.h"

namespace wingstow {

namespace {

StartOptions options(const std::string& program, const std::string& locks, Ui* dialogs) {
  StartOptions options;
  options.program_folder = program;
  options.lock_folder = locks;
  options.dialogs = dialogs;
  return options;
}

// A later start runs while the first one's event loop answers it, as two
// processes would.
std::unique_ptr<Instance> start_beside(const StartOptions& start,
                                       const std::vector<std::string>& archives) {
  std::unique_ptr<Instance> result;
  bool done = false;
  std::thread later([&] {
    result = start_instance(start, archives);
    done = true;
  });
  while (!done) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  later.join();
  return result;
}

// HOME (and WINEPREFIX, unset) for one test, as they were afterwards.
class EnvironmentScope {
 public:
  explicit EnvironmentScope(const QString& home)
      : home_(qgetenv("HOME")),
        prefix_(qgetenv("WINEPREFIX")),
        had_prefix_(qEnvironmentVariableIsSet("WINEPREFIX")) {
    qputenv("HOME", home.toLocal8Bit());
    qunsetenv("WINEPREFIX");
  }
  ~EnvironmentScope() {
    qputenv("HOME", home_);
    if (had_prefix_) qputenv("WINEPREFIX", prefix_);
  }

 private:
  QByteArray home_, prefix_;
  bool had_prefix_;
};

}  // namespace

class StartupTest : public QObject {
  Q_OBJECT

 private slots:
  void secondStartIsRefusedAndLeavesTheFirstAlone() {
    QTemporaryDir dir;
    const std::string program = test::folder_with_sep(dir, "prog");
    const std::string locks = dir.path().toStdString() + "/run";
    test::RecordingUi first_ui;
    auto first = start_instance(options(program, locks, &first_ui));
    QVERIFY(first && first->window);
    first->window->show();

    const int windows_before = QApplication::topLevelWidgets().size();
    test::RecordingUi second_ui;
    auto second = start_beside(options(program, locks, &second_ui), {});
    QVERIFY(!second);
    QCOMPARE(second_ui.messages.size(), size_t(1));
    QCOMPARE(second_ui.messages[0].text, std::string("already running"));
    QVERIFY(second_ui.messages[0].kind == MessageKind::plain);
    QCOMPARE(QApplication::topLevelWidgets().size(), windows_before);
    QVERIFY(first->window->isVisible());
    QVERIFY(first_ui.messages.empty());

    // Once the first has ended, a new start goes through.
    first.reset();
    auto third = start_instance(options(program, locks, &second_ui));
    QVERIFY(third && third->window);
  }

  // A pipe as the settings file: the window comes up and says which file it
  // cannot read, instead of waiting on it for good.
  void aPipeAsTheSettingsFileIsTold() {
    QTemporaryDir dir;
    const std::string program = test::folder_with_sep(dir, "prog");
    const std::string ini = program + "planeyard.ini";
    QCOMPARE(::mkfifo(ini.c_str(), 0600), 0);
    test::RecordingUi ui;
    auto started = start_instance(options(program, dir.path().toStdString() + "/run", &ui));
    QVERIFY(started && started->window);
    started->window->show();
    QVERIFY(QTest::qWaitFor([&] { return !ui.messages.empty(); }));
    QCOMPARE(ui.messages[0].text,
             "The settings file " + ini + " cannot be read: a named pipe, not a regular file.");
    QVERIFY(started->window->isEnabled());
  }

  // "wingstow a.zip b.zip" while Wingstow runs: the running window gets them
  // in its download folder, highlighted; a name taken by another file is
  // left alone and reported.
  void laterStartHandsItsArchivesOver() {
    QTemporaryDir dir;
    const std::string program = test::folder_with_sep(dir, "prog");
    const std::string fs = test::ready_for_fs2004(dir, program);
    const std::string locks = dir.path().toStdString() + "/run";
    const std::string home = test::folder_with_sep(dir, "home");
    test::write_zip(home + "Cub.zip", {{"Cub/aircraft.cfg", "new"}});
    test::write_zip(home + "Clash.zip", {{"Clash/aircraft.cfg", "mine"}});
    test::RecordingUi first_ui;
    auto first = start_instance(options(program, locks, &first_ui));
    QVERIFY(first && first->channel);
    first->window->show();
    Tutil& w = *first->window;
    QVERIFY(QTest::qWaitFor([&] { return w.activated(); }));
    const std::string download = w.shared().download_path;
    test::write_zip(download + "Clash.zip", {{"Clash/aircraft.cfg", "theirs"}});
    const std::string theirs = test::read_file(download + "Clash.zip");
    w.showMinimized();

    test::RecordingUi second_ui;
    QVERIFY(
        !start_beside(options(program, locks, &second_ui), {home + "Cub.zip", home + "Clash.zip"}));
    QCOMPARE(second_ui.message_texts(), std::vector<std::string>{"already running"});

    QVERIFY(QTest::qWaitFor([&] { return platform::file_exists(download + "Cub.zip"); }));
    QVERIFY(QTest::qWaitFor([&] { return !first_ui.messages.empty(); }));
    QVERIFY(!w.isMinimized());
    QCOMPARE(test::read_file(download + "Cub.zip"), test::read_file(home + "Cub.zip"));
    QCOMPARE(test::read_file(download + "Clash.zip"), theirs);
    QVERIFY(platform::file_exists(home + "Cub.zip"));  // copied, not moved
    QCOMPARE(first_ui.messages.size(), size_t(1));
    QVERIFY(first_ui.messages[0].text.find(home + "Clash.zip: another file named Clash.zip") !=
            std::string::npos);
    FileListView* list = w.LsFilelistView_util;
    QCOMPARE(list->directoryBytes(), download);
    for (int i = 0; i < list->itemCount(); ++i)
      QCOMPARE(list->itemHighlighted(i), list->itemPathBytes(i) == download + "Cub.zip");
    QCOMPARE(list->selectedItemBytes(), download + "Cub.zip");
    QVERIFY(w.SpeedButton5->isEnabled());  // Unzip takes them from here
  }

  // A home with one Wine prefix holding FS2004: the start finds it, both
  // drives lists show its drive_c, and pressing FS 2004 opens the chooser on
  // the simulator, OK enabled, nothing stored until OK.
  void startFindsTheSimulatorInAWinePrefix() {
    QTemporaryDir dir;
    const QString wine = dir.path() + "/home/.wine";
    const QString sim = test::make_simulator(
        dir, "home/.wine/drive_c/Program Files (x86)/Microsoft Games/Flight Simulator 9");
    for (const QString& file : {wine + "/system.reg", sim + "/fs9.exe"}) {
      QFile f(file);
      QVERIFY(f.open(QIODevice::WriteOnly));
    }
    EnvironmentScope home(dir.path() + "/home");
    const std::string program = test::folder_with_sep(dir, "prog");
    const std::string ini = program + "planeyard.ini";
    test::RecordingUi ui;
    auto started = start_instance(options(program, dir.path().toStdString() + "/run", &ui));
    QVERIFY(started);
    Tutil& w = *started->window;
    w.show();
    QVERIFY(QTest::qWaitFor([&] { return w.activated(); }));

    // Found off the window's thread; the drives list shows it once it arrives.
    QVERIFY(QTest::qWaitFor([&] { return !w.shared().wine_prefixes.empty(); }));
    QCOMPARE(w.shared().wine_prefixes.size(), size_t(1));
    FileListView* list = w.LsFilelistView_util;
    const int last = list->itemCount() - 1;
    QCOMPARE(list->itemCaption(last), QString("C: of ~/.wine"));
    QCOMPARE(list->itemPath(last), wine + "/drive_c/");

    // Read inside the chooser, checked once it has closed.
    QString offered;
    bool ok_enabled = false;
    std::string stored_before_ok;
    test::on_next_modal([&](QWidget*) {
      offered = w.Form2->LsDirTree1->selectedFolder();
      ok_enabled = w.Form2->BitBtn1->isEnabled();
      stored_before_ok = platform::IniFile(ini).read("main_path", "fs_path_2004", "valeur");
      w.Form2->BitBtn1->click();
    });
    QTest::mouseClick(w.fs2004x, Qt::LeftButton);
    QCOMPARE(offered, sim);
    QVERIFY(ok_enabled);
    QCOMPARE(stored_before_ok, std::string("valeur"));
    QCOMPARE(platform::IniFile(ini).read("main_path", "fs_path_2004", "valeur"),
             (sim + "/").toStdString());
    QVERIFY(ui.messages.empty());
  }

  // Installed for the whole system, the settings live in the user's data
  // folder while the help page stays beside the executable.
  void helpPageIsFoundBesideTheExecutable() {
    QTemporaryDir dir;
    const std::string executable = test::folder_with_sep(dir, "opt/wingstow");
    QFile page(QString::fromStdString(executable + "airplane.html"));
    QVERIFY(page.open(QIODevice::WriteOnly));
    page.write("<html><body><h1>Wingstow help page</h1></body></html>");
    page.close();
    const std::string data = dir.path().toStdString() + "/data/";
    StartOptions start = options(
        choose_program_folder(executable, {data, ""}, [](const std::string&) { return false; }),
        dir.path().toStdString() + "/run", nullptr);
    start.executable_folder = executable;
    test::RecordingUi ui;
    start.dialogs = &ui;
    auto started = start_instance(start);
    QVERIFY(started);
    Tutil& w = *started->window;
    QCOMPARE(w.shared().ini_path, data + "wingstow/planeyard.ini");
    w.show();
    QTest::mouseClick(w.SpeedButton40, Qt::LeftButton);
    QVERIFY(w.help_window && w.help_window->isVisible());
    QVERIFY(w.help_window->browser()->toPlainText().contains("Wingstow help page"));
  }

  void errorBoxFullStopRule() {
    QCOMPARE(with_full_stop("Impossible de créer /x/unzip_fs2002"),
             std::string("Impossible de créer /x/unzip_fs2002."));
    QCOMPARE(with_full_stop("Directory could not be created !"),
             std::string("Directory could not be created !"));
    QCOMPARE(with_full_stop("Done."), std::string("Done."));
    QCOMPARE(with_full_stop("ends with a blank "), std::string("ends with a blank "));
    QCOMPARE(with_full_stop(""), std::string(""));
  }

  void guardedHandlerRestoresTheWindow() {
    QTemporaryDir dir;
    test::RecordingUi ui;
    Tutil w(test::folder_with_sep(dir, "prog"), &ui);
    w.setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    w.progress_show();
    w.guarded([] { throw Error("Impossible de créer /nowhere"); });
    QVERIFY(w.isEnabled());
    QVERIFY(!QApplication::overrideCursor());
    QVERIFY(!w.Form1->isVisible());
    QCOMPARE(ui.messages.size(), size_t(1));
    QVERIFY(ui.messages[0].kind == MessageKind::application_error);
    QCOMPARE(ui.messages[0].text, std::string("Impossible de créer /nowhere."));
  }
};

}  // namespace wingstow

QTEST_MAIN(wingstow::StartupTest)
#include "startup_test.moc"

// The command line is read before any window: help and version answer
// without a display, unknown options are refused, and the other arguments
// are archives, made absolute.

#include <QtTest/QtTest>

#include "app/command_line.h"

namespace wingstow {
namespace {

using Action = CommandLine::Action;

}  // namespace

class CommandLineTest : public QObject {
  Q_OBJECT

 private slots:
  void actionsAndTexts_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("action");
    QTest::addColumn<QString>("text_start");
    QTest::addColumn<QStringList>("archives");
    const QString usage("Usage: wingstow [options] [ARCHIVE...]\n");
    QTest::newRow("nothing") << QStringList{"wingstow"} << int(Action::run) << QString()
                             << QStringList{};
    QTest::newRow("help") << QStringList{"wingstow", "--help"} << int(Action::help) << usage
                          << QStringList{};
    QTest::newRow("short help") << QStringList{"wingstow", "-h"} << int(Action::help) << usage
                                << QStringList{};
    QTest::newRow("version") << QStringList{"wingstow", "--version"} << int(Action::version)
                             << QString("wingstow 3.9\n") << QStringList{};
    QTest::newRow("unknown option")
        << QStringList{"wingstow", "--frobnicate"} << int(Action::error)
        << QString("wingstow: Unknown option 'frobnicate'.") << QStringList{};
    QTest::newRow("archives") << QStringList{"wingstow",
                                             "plane.zip",
                                             "../up/Two Words.ZIP",
                                             "/abs/c.zip",
                                             "file:///from%20manager/d.zip",
                                             "--",
                                             "-dash.zip"}
                              << int(Action::run) << QString()
                              << QStringList{"/work/here/plane.zip", "/work/up/Two Words.ZIP",
                                             "/abs/c.zip", "/from manager/d.zip",
                                             "/work/here/-dash.zip"};
  }

  void actionsAndTexts() {
    QFETCH(QStringList, arguments);
    QFETCH(int, action);
    QFETCH(QString, text_start);
    QFETCH(QStringList, archives);
    const auto command = parse_command_line(arguments, "/work/here");
    QCOMPARE(int(command.action), action);
    QVERIFY2(QString::fromStdString(command.text).startsWith(text_start), command.text.c_str());
    QStringList got;
    for (const auto& archive : command.archives) got << QString::fromStdString(archive);
    QCOMPARE(got, archives);
  }

  // Without any display the window is not tried: wingstow-cli is named.
  void noDisplayNamesTheCommandLine_data() {
    QTest::addColumn<QString>("platform");
    QTest::addColumn<QString>("wayland");
    QTest::addColumn<QString>("x11");
    QTest::addColumn<bool>("told");
    QTest::newRow("nothing") << QString() << QString() << QString() << true;
    QTest::newRow("X") << QString() << QString() << QString(":0") << false;
    QTest::newRow("Wayland") << QString() << QString("wayland-0") << QString() << false;
    QTest::newRow("offscreen asked") << QString("offscreen") << QString() << QString() << false;
  }
  void noDisplayNamesTheCommandLine() {
    QFETCH(QString, platform);
    QFETCH(QString, wayland);
    QFETCH(QString, x11);
    QFETCH(bool, told);
    const std::string text = no_display_text(platform, wayland, x11);
    QCOMPARE(!text.empty(), told);
    if (told) QVERIFY(text.find("wingstow-cli --help") != std::string::npos);
  }
};

}  // namespace wingstow

QTEST_GUILESS_MAIN(wingstow::CommandLineTest)
#include "command_line_test.moc"

// The command line is read before any window: help and version answer
// without a display, anything else unknown is refused.

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
    QTest::newRow("nothing") << QStringList{"wingstow"} << int(Action::run) << QString();
    QTest::newRow("help") << QStringList{"wingstow", "--help"} << int(Action::help)
                          << QString("Usage: wingstow [options]\n");
    QTest::newRow("short help") << QStringList{"wingstow", "-h"} << int(Action::help)
                                << QString("Usage: wingstow [options]\n");
    QTest::newRow("version") << QStringList{"wingstow", "--version"} << int(Action::version)
                             << QString("wingstow 3.9\n");
    QTest::newRow("unknown option") << QStringList{"wingstow", "--frobnicate"} << int(Action::error)
                                    << QString("wingstow: Unknown option 'frobnicate'.");
    QTest::newRow("argument") << QStringList{"wingstow", "plane.zip"} << int(Action::error)
                              << QString("wingstow: unexpected argument 'plane.zip'");
  }

  void actionsAndTexts() {
    QFETCH(QStringList, arguments);
    QFETCH(int, action);
    QFETCH(QString, text_start);
    const auto command = parse_command_line(arguments);
    QCOMPARE(int(command.action), action);
    QVERIFY2(QString::fromStdString(command.text).startsWith(text_start), command.text.c_str());
  }
};

}  // namespace wingstow

QTEST_GUILESS_MAIN(wingstow::CommandLineTest)
#include "command_line_test.moc"

#include "app/help_window.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>

namespace wingstow {

class HelpWindowTest : public QObject {
  Q_OBJECT

 private slots:
  // The page is asked for beside the executable; an installed copy has it in
  // <prefix>/share/wingstow/help/ instead, and a build tree or portable copy
  // never reads a page from somewhere else.
  void pageBesideTheExecutableElseWhereItWasInstalled_data() {
    QTest::addColumn<QString>("executable");  // folder of the executable
    QTest::addColumn<QStringList>("pages");   // pages made, each with its path as text
    QTest::addColumn<QString>("shown");       // the page shown; empty: none can be read

    QTest::newRow("build tree") << "build/bin" << QStringList{"build/bin/airplane.html"}
                                << "build/bin/airplane.html";
    QTest::newRow("installed") << "usr/bin" << QStringList{"usr/share/wingstow/help/airplane.html"}
                               << "usr/share/wingstow/help/airplane.html";
    QTest::newRow("beside wins") << "usr/bin"
                                 << QStringList{"usr/bin/airplane.html",
                                                "usr/share/wingstow/help/airplane.html"}
                                 << "usr/bin/airplane.html";
    QTest::newRow("installed but the page is gone")
        << "usr/bin" << QStringList{"usr/share/wingstow/other.html"} << "";
    QTest::newRow("not a bin folder")
        << "opt/wingstow" << QStringList{"opt/share/wingstow/help/airplane.html"} << "";
  }
  void pageBesideTheExecutableElseWhereItWasInstalled() {
    QFETCH(QString, executable);
    QFETCH(QStringList, pages);
    QFETCH(QString, shown);
    QTemporaryDir dir;
    const QDir root(dir.path());
    QVERIFY(root.mkpath(executable));
    for (const QString& page : pages) {
      QVERIFY(root.mkpath(QFileInfo(page).path()));
      QFile file(root.filePath(page));
      QVERIFY(file.open(QIODevice::WriteOnly));
      file.write(("<html><body><p>page " + page + "</p></body></html>").toUtf8());
    }

    HelpWindow help;
    const QString asked = root.filePath(executable + "/airplane.html");
    help.open(asked);
    if (shown.isEmpty()) {
      QCOMPARE(help.shownFile(), asked);
      QVERIFY(help.browser()->toPlainText().contains("cannot be read"));
    } else {
      QCOMPARE(help.shownFile(), root.filePath(shown));
      QCOMPARE(help.browser()->toPlainText().trimmed(), "page " + shown);
    }
  }

  void escapeClosesIt() {
    HelpWindow help;
    help.open("/nowhere/airplane.html");
    QVERIFY(QTest::qWaitForWindowActive(&help));
    QTest::keyClick(help.browser(), Qt::Key_Escape);
    QVERIFY(!help.isVisible());
  }
};

}  // namespace wingstow

QTEST_MAIN(wingstow::HelpWindowTest)
#include "help_window_test.moc"

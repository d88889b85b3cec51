#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTextBrowser>
#include <QToolButton>

#include "app/help_window.h"
#include "app/main_window.h"
#include "support/recording_ui.h"
#include "widgets/about_box.h"
#include "window_fixture.h"

namespace wingstow {

class HelpAboutTest : public QObject {
  Q_OBJECT

 private slots:
  void helpShowsTheProgramFoldersPageAndGoesWithExit() {
    QTemporaryDir dir;
    const std::string program = test::folder_with_sep(dir, "prog");
    QFile page(QString::fromStdString(program + "airplane.html"));
    QVERIFY(page.open(QIODevice::WriteOnly));
    page.write("<html><body><h1>Wingstow help page</h1></body></html>");
    page.close();
    // The current folder holds another page of that name, which must not be
    // taken.
    QDir::setCurrent(dir.path());
    QFile other(dir.filePath("airplane.html"));
    QVERIFY(other.open(QIODevice::WriteOnly));
    other.write("<html><body>wrong page</body></html>");
    other.close();

    test::RecordingUi recorder;
    Tutil w(program, &recorder);
    w.show();
    QTest::mouseClick(w.SpeedButton40, Qt::LeftButton);
    QVERIFY(w.help_window && w.help_window->isVisible());
    QVERIFY(w.help_window->browser()->toPlainText().contains("Wingstow help page"));

    QTest::mouseClick(w.SpeedButton6, Qt::LeftButton);
    QVERIFY(!w.help_window->isVisible());
  }

  void missingHelpIsSaidInTheViewer() {
    HelpWindow help;
    help.open("/nonexistent/airplane.html");
    QVERIFY(help.browser()->toPlainText().contains("cannot be read"));
  }

  void aboutBoxValues() {
    AboutBox about(
        {"Wingstow", "3.9", "Use it at your own risk.", "a@b", "Home Page", "file:///x", {}, {}});
    QCOMPARE(about.windowTitle(), QString("About"));
    QCOMPARE(about.findChild<QLabel*>("AboutProgramName")->text(), QString("Wingstow"));
    QCOMPARE(about.findChild<QLabel*>("AboutVersion")->text(), QString("3.9"));
    QCOMPARE(about.findChild<QLabel*>("AboutInformation")->text(),
             QString("Use it at your own risk."));
    QVERIFY(about.findChild<QLabel*>("AboutHomePage")->text().contains("Home Page"));
    QCOMPARE(about.findChild<QPushButton*>("AboutClose")->text(), QString("&Close"));
    const QImage logo = AboutBox::logo();
    QCOMPARE(logo.size(), QSize(429, 400));
    QCOMPARE(logo.depth(), 24);
    QCOMPARE(about.findChild<QLabel*>("AboutLogo")->pixmap().size(), QSize(429, 400));
    // One enabled button only.
    QCOMPARE(about.findChildren<QPushButton*>().size(), 1);
    // Without a description or licence there is no line for them.
    QVERIFY(!about.findChild<QLabel*>("AboutDescription"));
    QVERIFY(!about.findChild<QLabel*>("AboutLicence"));
  }

  void aboutOpensModallyFromTheToolbar() {
    QTemporaryDir dir;
    test::RecordingUi recorder;
    Tutil w(test::folder_with_sep(dir, "prog"), &recorder);
    w.show();
    QString title;
    QString licence_text;
    bool described = false;
    bool addressed = true;
    test::on_next_modal([&](QWidget* modal) {
      title = modal->windowTitle();
      const auto* licence = modal->findChild<QLabel*>("AboutLicence");
      licence_text = licence ? licence->text() : QString();
      described = modal->findChild<QLabel*>("AboutDescription") != nullptr;
      addressed = modal->findChild<QLabel*>("AboutEmail") != nullptr;
      QTest::mouseClick(modal->findChild<QPushButton*>("AboutClose"), Qt::LeftButton);
    });
    QTest::mouseClick(w.SpeedButton9, Qt::LeftButton);
    QCOMPARE(title, QString("About"));
    // The program's own box: what it does, its licence, no made-up address.
    QVERIFY(licence_text.contains("GPL-3.0-or-later"));
    QVERIFY(described);
    QVERIFY(!addressed);
  }
};

}  // namespace wingstow

QTEST_MAIN(wingstow::HelpAboutTest)
#include "help_about_test.moc"

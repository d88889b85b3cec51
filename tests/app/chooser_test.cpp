#include "app/chooser_window.h"

#include <QSignalSpy>
#include <QTest>
#include <QTreeView>

#include "window_fixture.h"

namespace wingstow {

using test::on_next_modal;

class ChooserTest : public QObject {
  Q_OBJECT

 private slots:
  void okOnlyForAFolderWithTheSixSimulatorFolders() {
    QTemporaryDir dir;
    const QString sim = test::make_simulator(dir, "sim");  // capitalised names pass too
    const QString lacking = test::make_simulator(dir, "lacking");
    QDir(lacking + "/Modules").removeRecursively();
    QDir().mkpath(dir.path() + "/plain");
    // A file named like a folder does not count.
    const QString file_for_folder = test::make_simulator(dir, "filed");
    QDir(file_for_folder + "/Sound").removeRecursively();
    QFile f(file_for_folder + "/sound");
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();

    TForm2 form;
    form.LsDirTree1->setEnabled(true);
    for (const QString& bad : {lacking, dir.path() + "/plain", file_for_folder}) {
      form.LsDirTree1->setProperty("selectedFolder", bad);
      QVERIFY2(!form.BitBtn1->isEnabled(), qPrintable(bad));
    }
    form.LsDirTree1->setProperty("selectedFolder", sim);
    QVERIFY(form.BitBtn1->isEnabled());
    // A failing folder after a passing one leaves OK as it was.
    form.LsDirTree1->setProperty("selectedFolder", lacking);
    QVERIFY(form.BitBtn1->isEnabled());
    QCOMPARE(form.LsDirTree1->property("selectedFolder").toString(), lacking);
  }

  void noOkForAFolderWhosePathHoldsALineBreak() {
    QTemporaryDir dir;
    const QString sim = test::make_simulator(dir, "sim");
    // Simulator roots in every other way, and below such a name too.
    const QString broken[] = {test::make_simulator(dir, "new\nline"),
                              test::make_simulator(dir, "carriage\rreturn"),
                              test::make_simulator(dir, "up\nper/inner")};
    TForm2 form;
    form.LsDirTree1->setEnabled(true);
    for (const QString& bad : broken) {
      form.LsDirTree1->setProperty("selectedFolder", bad);
      QCOMPARE(form.LsDirTree1->property("selectedFolder").toString(), bad);
      QVERIFY2(!form.BitBtn1->isEnabled(), qPrintable(bad));
      // Not even after a folder that passed.
      form.LsDirTree1->setProperty("selectedFolder", sim);
      QVERIFY(form.BitBtn1->isEnabled());
      form.LsDirTree1->setProperty("selectedFolder", bad);
      QVERIFY2(!form.BitBtn1->isEnabled(), qPrintable(bad));
    }
  }

  void buttonsCloseWithTheirResultAndDisableOk() {
    QTemporaryDir dir;
    const QString sim = test::make_simulator(dir, "sim");
    TForm2 form;
    form.LsDirTree1->setEnabled(true);

    on_next_modal([&](QWidget*) {
      form.LsDirTree1->setProperty("selectedFolder", sim);
      QTest::mouseClick(form.BitBtn1, Qt::LeftButton);
    });
    QCOMPARE(form.exec(), int(QDialog::Accepted));
    QVERIFY(!form.BitBtn1->isEnabled());

    on_next_modal([&](QWidget*) {
      form.LsDirTree1->setProperty("selectedFolder", sim);
      QTest::keyClick(&form, Qt::Key_Escape);
    });
    QCOMPARE(form.exec(), int(QDialog::Rejected));
    QVERIFY(!form.BitBtn1->isEnabled());

    on_next_modal([&](QWidget*) {
      // The same folder again: the test runs again and enables OK.
      form.LsDirTree1->setProperty("selectedFolder", sim);
      QVERIFY(form.BitBtn1->isEnabled());
      QTest::mouseClick(form.BitBtn2, Qt::LeftButton);
    });
    QCOMPARE(form.exec(), int(QDialog::Rejected));
    QVERIFY(!form.BitBtn1->isEnabled());
  }

  // The found roots head the tree, named by folder and prefix; the first is
  // chosen with OK on. Offering none leaves the last choice alone.
  void foundSimulatorsAreOfferedFirstWithTheFirstChosen() {
    QTemporaryDir dir;
    const QString in_prefix = test::make_simulator(dir, "pfx/drive_c/Games/FS9");
    const QString elsewhere = test::make_simulator(dir, "disk/FS2004");
    const std::vector<WinePrefix> prefixes = {{"C: of Steam 6100",
                                               (dir.path() + "/pfx/").toStdString(),
                                               (dir.path() + "/pfx/drive_c/").toStdString()}};
    TForm2 form;
    form.LsDirTree1->setEnabled(true);
    form.show();
    form.offer_simulators({(in_prefix + "/").toStdString(), elsewhere.toStdString()}, prefixes);
    QCOMPARE(form.LsDirTree1->selectedFolder(), in_prefix);
    QCOMPARE(form.LsDirTree1->currentText(), QString("FS9 (C: of Steam 6100)"));
    QVERIFY(form.BitBtn1->isEnabled());

    auto* tree = form.LsDirTree1->findChild<QTreeView*>("tree");
    form.LsDirTree1->showPopup();
    QCOMPARE(tree->currentIndex().row(), 0);
    QCOMPARE(tree->model()->index(0, 0).data().toString(), QString("FS9 (C: of Steam 6100)"));
    QCOMPARE(tree->model()->index(1, 0).data().toString(), elsewhere);
    form.LsDirTree1->hidePopup();

    form.offer_simulators({}, prefixes);
    QCOMPARE(form.LsDirTree1->selectedFolder(), in_prefix);
    form.LsDirTree1->showPopup();
    QCOMPARE(tree->model()->index(0, 0).data().toString(), QString("/"));
    form.LsDirTree1->hidePopup();
  }

  void layout() {
    TForm2 form;
    QCOMPARE(form.BitBtn1->text(), QString("OK"));
    QCOMPARE(form.BitBtn2->text(), QString("Annuler"));
    QVERIFY(form.BitBtn1->isDefault());
    QVERIFY(!form.LsDirTree1->isEnabled());
    QCOMPARE(form.BitBtn1->geometry(), QRect(8, 40, 73, 25));
    QCOMPARE(form.BitBtn2->geometry(), QRect(152, 40, 73, 25));
    QVERIFY(!(form.windowFlags() & Qt::WindowCloseButtonHint));
  }
};

}  // namespace wingstow

QTEST_MAIN(wingstow::ChooserTest)
#include "chooser_test.moc"

// Long paths and status lines keep their start and their end in view.

#include "widgets/elided_text.h"

#include <QTest>

namespace wingstow {

class ElidedTextTest : public QObject {
  Q_OBJECT

 private slots:
  void longTextsAreCutInTheMiddleAndKeptWhole() {
    const QString path =
        "/home/pilot/.wine/drive_c/Program Files/Microsoft Games/"
        "Flight Simulator 9/Aircraft/Beech Baron 58/";
    ElidedLineEdit edit;
    edit.resize(200, 21);
    edit.setEnabled(false);
    ElidedStatusBar bar;
    bar.resize(200, 20);
    bar.showMessage("fs2004 folder: " + path + " (59917 MB free)");
    struct Case {
      QString whole, shown;
    };
    edit.setText(path);
    for (const Case& c :
         {Case{edit.text(), edit.shown_text()}, Case{bar.currentMessage(), bar.shown_text()}}) {
      QCOMPARE_NE(c.shown, c.whole);
      QVERIFY(c.shown.contains(QChar(0x2026)));
      const auto cut = c.shown.indexOf(QChar(0x2026));
      QVERIFY(c.whole.startsWith(c.shown.left(cut)));
      QVERIFY(c.whole.endsWith(c.shown.mid(cut + 1)));
      // The beginning and the end both carry something.
      QVERIFY(cut > 3);
      QVERIFY(c.shown.size() - cut > 3);
    }
    QCOMPARE(edit.text(), path);
    edit.setText("/short/");
    QCOMPARE(edit.shown_text(), QString("/short/"));
  }
};

}  // namespace wingstow

QTEST_MAIN(wingstow::ElidedTextTest)
#include "elided_text_test.moc"

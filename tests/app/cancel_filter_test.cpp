#include "app/cancel_filter.h"

#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>

using wingstow::CancelOnlyFilter;

// While long work lets events through, the window's input reaches only its
// Cancel button; another window, a dialog of the archive component say,
// takes input as usual, and everything takes it again afterwards.
class CancelFilterTest : public QObject {
  Q_OBJECT

 private slots:
  void onlyCancelTakesTheWindowsInput() {
    QWidget window;
    auto* other = new QPushButton("Other", &window);
    auto* cancel = new QPushButton("Cancel", &window);
    cancel->move(0, 40);
    auto* edit = new QLineEdit(&window);
    edit->move(0, 80);
    QWidget dialog;
    auto* answer = new QPushButton("OK", &dialog);
    window.show();
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window) && QTest::qWaitForWindowExposed(&dialog));

    auto* filter = new CancelOnlyFilter(&window, cancel);
    QCOMPARE(filter->parent(), &window);
    QSignalSpy others(other, &QPushButton::clicked);
    QSignalSpy cancels(cancel, &QPushButton::clicked);
    QSignalSpy answers(answer, &QPushButton::clicked);
    {
      const CancelOnlyFilter::Scope only_cancel(*filter);
      QVERIFY(filter->active());
      QTest::mouseClick(other, Qt::LeftButton);
      QTest::keyClicks(edit, "typed");
      QTest::mouseClick(cancel, Qt::LeftButton);
      QTest::mouseClick(answer, Qt::LeftButton);
      QCOMPARE(others.count(), 0);
      QCOMPARE(edit->text(), QString());
      QCOMPARE(cancels.count(), 1);
      QCOMPARE(answers.count(), 1);
    }
    QVERIFY(!filter->active());
    QTest::mouseClick(other, Qt::LeftButton);
    QTest::keyClicks(edit, "typed");
    QCOMPARE(others.count(), 1);
    QCOMPARE(edit->text(), QStringLiteral("typed"));
  }
};

QTEST_MAIN(CancelFilterTest)
#include "cancel_filter_test.moc"

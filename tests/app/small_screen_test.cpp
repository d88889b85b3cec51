// The window on a screen too small for it (run at twice the scale on the
// offscreen screen): it fits the free area, and every control can be
// scrolled into view.

#include <QAbstractButton>
#include <QLineEdit>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <algorithm>
#include <memory>

#include "app/main_window.h"
#include "support/recording_ui.h"

namespace wingstow {

class SmallScreenTest : public QObject {
  Q_OBJECT

  std::unique_ptr<QTemporaryDir> dir;
  test::RecordingUi recorder;

 private slots:
  void init() {
    dir = std::make_unique<QTemporaryDir>();
    qputenv("HOME", dir->path().toUtf8());
  }

  void everyControlCanBeScrolledIntoView() {
    QVERIFY2(qgetenv("QT_SCALE_FACTOR") == "2", "run at twice the scale");
    Tutil w(dir->path().toStdString() + "/", &recorder);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const QRect room = w.screen()->availableGeometry();
    QVERIFY2(room.height() < 554, "the screen is meant to be smaller than the window");
    QVERIFY(w.width() <= room.width());
    QVERIFY(w.height() <= room.height());

    auto* scroll = w.findChild<QScrollArea*>("scroll");
    QVERIFY(scroll);
    // The design inside, unchanged.
    QCOMPARE(scroll->widget()->size(), QSize(416, 554));
    int seen = 0;
    const auto reachable = [&](QWidget* control) {
      if (!control->isVisibleTo(scroll->widget())) return;
      // Scrolled to as the user would (a line edit alone would bring only
      // its cursor into view).
      const QPoint at = control->mapTo(scroll->widget(), QPoint(0, 0));
      const int half_width = control->width() / 2;
      const int half_height = control->height() / 2;
      scroll->ensureVisible(at.x() + half_width, at.y() + half_height,
                            control->width() - half_width, control->height() - half_height);
      const QRect place(control->mapTo(scroll->viewport(), QPoint(0, 0)), control->size());
      const QRect view = scroll->viewport()->rect();
      // As much of it as the view can hold.
      const QRect part = place & view;
      const bool shown = part.width() >= std::min(place.width(), view.width()) &&
                         part.height() >= std::min(place.height(), view.height());
      QVERIFY2(shown, qPrintable(control->objectName()));
      ++seen;
    };
    for (auto* control : scroll->widget()->findChildren<QAbstractButton*>()) reachable(control);
    for (auto* control : scroll->widget()->findChildren<QLineEdit*>()) reachable(control);
    QVERIFY(seen >= 20);
    // The last row, the simulator switch, lies at the bottom of the design.
    QVERIFY(scroll->verticalScrollBar()->maximum() > 0);
  }
};

}  // namespace wingstow

QTEST_MAIN(wingstow::SmallScreenTest)
#include "small_screen_test.moc"

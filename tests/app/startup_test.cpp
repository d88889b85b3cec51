#include "app/startup.h"

#include <QTest>

#include "app/main_window.h"
#include "app/message_box.h"
#include "app/progress_window.h"
#include "platform/error.h"
#include "platform/single_instance.h"
#include "support/recording_ui.h"
#include "window_fixture.h"

namespace wingstow {

class StartupTest : public QObject {
  Q_OBJECT

 private slots:
  void secondStartIsRefusedAndLeavesTheFirstAlone() {
    QTemporaryDir dir;
    const std::string program = test::folder_with_sep(dir, "prog");
    const std::string locks = dir.path().toStdString() + "/run";
    test::RecordingUi first_ui;
    auto first = start_instance({program, locks, &first_ui});
    QVERIFY(first && first->window);
    first->window->show();

    const int windows_before = QApplication::topLevelWidgets().size();
    test::RecordingUi second_ui;
    auto second = start_instance({program, locks, &second_ui});
    QVERIFY(!second);
    QCOMPARE(second_ui.messages.size(), size_t(1));
    QCOMPARE(second_ui.messages[0].text, std::string("already running"));
    QVERIFY(second_ui.messages[0].kind == MessageKind::plain);
    QCOMPARE(QApplication::topLevelWidgets().size(), windows_before);
    QVERIFY(first->window->isVisible());
    QVERIFY(first_ui.messages.empty());

    // Once the first has ended, a new start goes through.
    first.reset();
    auto third = start_instance({program, locks, &second_ui});
    QVERIFY(third && third->window);
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

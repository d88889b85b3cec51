#include "widgets/picture_view.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

#include "widgets/animation_view.h"

namespace wingstow {

namespace {

QString save_jpeg(const QTemporaryDir& dir, const QString& name, QSize size) {
  QImage image(size, QImage::Format_RGB32);
  image.fill(Qt::blue);
  const QString path = dir.filePath(name);
  image.save(path, "JPG");
  return path;
}

// Two frames of 2 by 1 pixels, looping: the smallest animated GIF.
QString save_animated_gif(const QTemporaryDir& dir) {
  static const unsigned char bytes[] = {
      'G', 'I',  'F', '8',  '9', 'a',  2,   0,    1,    0,   0x80, 0,    0,   0xff, 0,    0,   0,
      0,   0xff, '!', 0xff, 11,  'N',  'E', 'T',  'S',  'C', 'A',  'P',  'E', '2',  '.',  '0', 3,
      1,   0,    0,   0,    '!', 0xf9, 4,   0,    10,   0,   0,    0,    ',', 0,    0,    0,   0,
      2,   0,    1,   0,    0,   2,    2,   0x44, 0x0a, 0,   '!',  0xf9, 4,   0,    10,   0,   0,
      0,   ',',  0,   0,    0,   0,    2,   0,    1,    0,   0,    2,    2,   0x0c, 0x0a, 0,   ';'};
  const QString path = dir.filePath("anim.gif");
  QFile file(path);
  if (file.open(QIODevice::WriteOnly))
    file.write(reinterpret_cast<const char*>(bytes), sizeof bytes);
  return path;
}

}  // namespace

class PictureViewTest : public QObject {
  Q_OBJECT

 private slots:
  void scalesKeepingTheAspectRatioOrDrawsAtOwnSize() {
    QTemporaryDir dir;
    PictureView view;
    view.resize(408, 252);
    view.setBevelWidth(1);
    view.setCenterView(true);
    QVERIFY(view.load(save_jpeg(dir, "wide.jpg", QSize(800, 200))));
    const QRect inner = view.contentsRect();
    QRect drawn = view.pictureRect();
    QCOMPARE(drawn.width(), inner.width());
    QCOMPARE(drawn.height(), inner.width() / 4);
    QCOMPARE(drawn.center(), inner.center());

    // Off: own size, centred, cut at the edges.
    view.setStretchRatio(false);
    drawn = view.pictureRect();
    QCOMPARE(drawn.size(), QSize(800, 200));
    QCOMPARE(drawn.center(), inner.center());

    // Without centring the picture starts at the top left of the frame.
    view.setStretchRatio(true);
    view.setCenterView(false);
    QCOMPARE(view.pictureRect().topLeft(), inner.topLeft());
  }

  void unknownOrDamagedFilesLeaveItEmpty() {
    QTemporaryDir dir;
    PictureView view;
    QVERIFY(view.load(save_jpeg(dir, "ok.jpg", QSize(10, 10))));
    QFile damaged(dir.filePath("bad.jpg"));
    QVERIFY(damaged.open(QIODevice::WriteOnly));
    damaged.write("\xff\xd8 this is no picture");
    damaged.close();
    QVERIFY(!view.load(damaged.fileName()));
    QVERIFY(view.isEmpty());
    QVERIFY(view.fileName().isEmpty());
    QVERIFY(!view.load(dir.filePath("missing.gif")));
    QVERIFY(view.isEmpty());
    // Painting an empty view is fine.
    view.grab();
  }

  // Only regular files are opened: a named pipe would block the window for
  // good (the alarm ends a blocked test), a folder is no picture either.
  void specialFilesLeaveItEmptyWithoutBlocking() {
    QTemporaryDir dir;
    const QString fifo = dir.filePath("x.jpg");
    QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
    QVERIFY(QDir(dir.path()).mkdir("folder.gif"));
    ::alarm(20);
    for (const bool animate : {false, true}) {
      PictureView view;
      view.setGifAnimate(animate);
      QVERIFY(view.load(save_jpeg(dir, "ok.jpg", QSize(10, 10))));
      QVERIFY(!view.load(fifo));
      QVERIFY(view.isEmpty());
      QVERIFY(view.fileName().isEmpty());
      QVERIFY(!view.load(dir.filePath("folder.gif")));
      QVERIFY(view.isEmpty());
    }
    ::alarm(0);
  }

  void gifAnimatesOnlyWhereAsked() {
    QTemporaryDir dir;
    const QString gif = save_animated_gif(dir);
    PictureView still;
    QVERIFY(still.load(gif));
    QVERIFY(!still.isAnimated());

    PictureView animated;
    animated.setGifAnimate(true);
    QVERIFY(animated.load(gif));
    QVERIFY(animated.isAnimated());
    animated.clear();
    QVERIFY(!animated.isAnimated());
    QVERIFY(animated.isEmpty());
  }

  void animationPlaysWhileEventsArePumped() {
    AnimationView view;
    view.setKind(AnimationView::Kind::copy_files);
    view.start();
    const int first = view.frame();
    QTest::qWait(200);
    QVERIFY(view.isPlaying());
    QVERIFY(view.frame() != first);
    view.stop();
    QCOMPARE(view.frame(), 0);
    QVERIFY(!view.isPlaying());
  }
};

}  // namespace wingstow

QTEST_MAIN(wingstow::PictureViewTest)
#include "picture_view_test.moc"

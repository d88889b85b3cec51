#include "widgets/picture_view.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QImageReader>
#include <QMovie>
#include <QPainter>

namespace wingstow {

namespace {

// The file at path opened for reading when it is a regular file, nothing
// otherwise. The open does not wait (a named pipe called "x.jpg" would block
// the window for good), and the type is judged on what was opened.
std::unique_ptr<QFile> open_regular(const QString& path) {
  const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return nullptr;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  auto file = std::make_unique<QFile>();
  if (!file->open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
    ::close(fd);
    return nullptr;
  }
  return file;
}

}  // namespace

PictureView::PictureView(QWidget* parent) : QFrame(parent) {
  setFrameStyle(QFrame::Panel | QFrame::Sunken);
  setLineWidth(1);
}

PictureView::~PictureView() = default;

void PictureView::setBevelWidth(int width) {
  setFrameStyle(width > 0 ? (QFrame::Panel | QFrame::Sunken) : QFrame::NoFrame);
  setLineWidth(width);
}

void PictureView::setStretchRatio(bool on) {
  stretch_ = on;
  update();
}

void PictureView::setCenterView(bool on) {
  center_ = on;
  update();
}

void PictureView::setCaption(const QString& text) {
  caption_ = text;
  update();
}

void PictureView::clear() {
  movie_.reset();
  image_ = QImage();
  file_.clear();
  update();
}

bool PictureView::load(const QString& path) {
  clear();
  const std::unique_ptr<QFile> file = open_regular(path);
  if (!file) return false;
  QImageReader reader(file.get());
  reader.setDecideFormatFromContent(true);
  const QByteArray format = reader.format();
  if (animate_ && format == "gif" && reader.supportsAnimation() && reader.imageCount() > 1) {
    std::unique_ptr<QFile> frames = open_regular(path);
    auto movie = frames ? std::make_unique<QMovie>(frames.get(), QByteArray("gif")) : nullptr;
    if (movie) frames.release()->setParent(movie.get());  // goes with the movie
    if (movie && movie->isValid() && movie->jumpToFrame(0)) {
      image_ = movie->currentImage();
      connect(movie.get(), &QMovie::frameChanged, this, [this] {
        image_ = movie_->currentImage();
        update();
      });
      movie_ = std::move(movie);
      movie_->start();
    }
  } else {
    image_ = reader.read();
  }
  if (image_.isNull()) {
    clear();
    return false;
  }
  file_ = path;
  update();
  return true;
}

QRect PictureView::pictureRect() const {
  if (image_.isNull()) return {};
  const QRect area = contentsRect();
  QSize size = image_.size();
  if (stretch_) size.scale(area.size(), Qt::KeepAspectRatio);
  QRect target(area.topLeft(), size);
  if (center_) target.moveCenter(area.center());
  return target;
}

void PictureView::paintEvent(QPaintEvent* event) {
  QFrame::paintEvent(event);
  QPainter painter(this);
  painter.setClipRect(contentsRect());
  if (!image_.isNull()) {
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(pictureRect(), image_);
  }
  if (!caption_.isEmpty())
    painter.drawText(contentsRect(), Qt::AlignBottom | Qt::AlignHCenter, caption_);
}

}  // namespace wingstow

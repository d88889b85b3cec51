#include "widgets/picture_view.h"

#include <QImageReader>
#include <QMovie>
#include <QPainter>

namespace wingstow {

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
  QImageReader reader(path);
  reader.setDecideFormatFromContent(true);
  const QByteArray format = reader.format();
  if (animate_ && format == "gif" && reader.supportsAnimation() && reader.imageCount() > 1) {
    auto movie = std::make_unique<QMovie>(path, QByteArray("gif"));
    if (movie->isValid() && movie->jumpToFrame(0)) {
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

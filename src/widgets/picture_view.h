#pragma once

#include <QFrame>
#include <QImage>
#include <QString>
#include <memory>

class QMovie;

namespace wingstow {

// A picture box: JPEG, GIF (animated on request) and bitmap files, scaled to
// fit with its aspect ratio kept, optionally centred, in a sunken frame. A
// file it cannot read leaves it empty.
class PictureView : public QFrame {
  Q_OBJECT
  Q_PROPERTY(bool StretchRatio READ stretchRatio WRITE setStretchRatio)
  Q_PROPERTY(bool CenterView READ centerView WRITE setCenterView)
  Q_PROPERTY(bool GIFAnimate READ gifAnimate WRITE setGifAnimate)
  Q_PROPERTY(QString Caption READ caption WRITE setCaption)

 public:
  explicit PictureView(QWidget* parent = nullptr);
  ~PictureView() override;

  // Replaces the picture; false (and empty) when the file cannot be read.
  bool load(const QString& path);
  void clear();

  QString fileName() const { return file_; }
  bool isEmpty() const { return image_.isNull(); }
  bool isAnimated() const { return movie_ != nullptr; }
  QSize pictureSize() const { return image_.size(); }

  bool stretchRatio() const { return stretch_; }
  void setStretchRatio(bool on);
  bool centerView() const { return center_; }
  void setCenterView(bool on);
  bool gifAnimate() const { return animate_; }
  void setGifAnimate(bool on) { animate_ = on; }
  QString caption() const { return caption_; }
  void setCaption(const QString& text);
  void setBevelWidth(int width);

  // Where the picture is drawn inside the frame.
  QRect pictureRect() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage image_;
  QString file_;
  QString caption_;
  std::unique_ptr<QMovie> movie_;
  bool stretch_ = true;
  bool center_ = false;
  bool animate_ = false;
};

}  // namespace wingstow

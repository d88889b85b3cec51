#pragma once

#include <QTimer>
#include <QWidget>

namespace wingstow {

// The progress window's animation: a sheet of paper flying from one folder
// into another (copy), or from a folder into a waste bin (delete), drawn by
// the program itself.
class AnimationView : public QWidget {
  Q_OBJECT

 public:
  enum class Kind { copy_files, delete_file };

  explicit AnimationView(QWidget* parent = nullptr);

  void setKind(Kind kind);
  Kind kind() const { return kind_; }
  void start();
  void stop();
  bool isPlaying() const { return timer_.isActive(); }
  int frame() const { return frame_; }

  static constexpr int frame_count = 24;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void drawFolder(class QPainter& painter, const QRectF& box) const;
  void drawBin(class QPainter& painter, const QRectF& box) const;

  QTimer timer_;
  Kind kind_ = Kind::delete_file;
  int frame_ = 0;
};

}  // namespace wingstow

#pragma once

#include <QString>
#include <QWidget>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace wingstow {

// The airplane check's findings, in a window of their own beside the main
// window: selectable text, and Copy to hand it all to the clipboard (for a
// forum post or a mail to the author).
class CheckWindow : public QWidget {
  Q_OBJECT

 public:
  explicit CheckWindow(QWidget* parent = nullptr);

  // summary: "N problem(s) found"; report: the whole report as text.
  void showReport(const QString& summary, const QString& report);
  QString text() const;

 public slots:
  void copyText();

 private:
  QLabel* summary_;
  QPlainTextEdit* text_;
  QPushButton* copy_;
  QPushButton* close_;
};

}  // namespace wingstow

#include "app/check_window.h"

#include <QClipboard>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTextOption>
#include <QVBoxLayout>

namespace wingstow {

CheckWindow::CheckWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName("CheckWindow");
  setWindowTitle("Airplane check");
  resize(720, 420);
  auto* layout = new QVBoxLayout(this);
  summary_ = new QLabel(this);
  summary_->setObjectName("CheckSummary");
  layout->addWidget(summary_);
  text_ = new QPlainTextEdit(this);
  text_->setObjectName("CheckText");
  text_->setReadOnly(true);
  // What to do is a sentence: it wraps rather than running out of view.
  text_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  text_->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  // Paths under each other read best in a fixed-width font.
  text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  layout->addWidget(text_);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  copy_ = new QPushButton("Copy", this);
  copy_->setObjectName("CheckCopy");
  close_ = new QPushButton("Close", this);
  close_->setObjectName("CheckClose");
  buttons->addWidget(copy_);
  buttons->addWidget(close_);
  layout->addLayout(buttons);
  connect(copy_, &QPushButton::clicked, this, &CheckWindow::copyText);
  connect(close_, &QPushButton::clicked, this, &QWidget::close);
  // Escape closes it, as it closes a dialog.
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  escape->setContext(Qt::WindowShortcut);
  connect(escape, &QShortcut::activated, this, &QWidget::close);
}

void CheckWindow::showReport(const QString& summary, const QString& report) {
  summary_->setText(summary);
  text_->setPlainText(report);
  show();
  raise();
  activateWindow();
}

QString CheckWindow::text() const { return text_->toPlainText(); }

void CheckWindow::copyText() { QGuiApplication::clipboard()->setText(text_->toPlainText()); }

}  // namespace wingstow

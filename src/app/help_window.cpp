#include "app/help_window.h"

#include <QFile>
#include <QFileInfo>
#include <QKeySequence>
#include <QShortcut>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "settings/shared.h"

namespace wingstow {

QString help_page_file(const QString& file) {
  const QFileInfo beside(file);
  if (beside.isReadable()) return file;
  // The engine takes folders as the file system spells them, in bytes.
  const std::string data =
      installed_data_folder(QFile::encodeName(beside.absolutePath()).toStdString());
  if (data.empty()) return file;
  const QString installed =
      QFile::decodeName(QByteArray::fromStdString(data + "help/")) + beside.fileName();
  return QFileInfo(installed).isReadable() ? installed : file;
}

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName("HelpWindow");
  setWindowTitle("Wingstow Help");
  resize(640, 560);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  browser_ = new QTextBrowser(this);
  browser_->setObjectName("HelpBrowser");
  browser_->setOpenExternalLinks(true);
  layout->addWidget(browser_);
  // Escape closes it, as it closes a dialog.
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  escape->setContext(Qt::WindowShortcut);
  connect(escape, &QShortcut::activated, this, &QWidget::close);
}

void HelpWindow::open(const QString& file) {
  file_ = help_page_file(file);
  if (QFileInfo(file_).isReadable()) {
    browser_->setSource(QUrl::fromLocalFile(file_));
  } else {
    browser_->setHtml(QString("<h2>Help not found</h2><p>The help file <b>%1</b> cannot be "
                              "read.</p>")
                          .arg(file_.toHtmlEscaped()));
  }
  show();
  raise();
  activateWindow();
}

}  // namespace wingstow

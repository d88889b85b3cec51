#pragma once

#include <QDialog>
#include <QImage>
#include <QString>

namespace wingstow {

// The about box: logo, program name, version, a line of information, the
// maker's e-mail and home page, and a Close button.
class AboutBox : public QDialog {
  Q_OBJECT

 public:
  struct Values {
    QString program_name;
    QString version;
    QString information;
    QString email;
    QString home_page;  // the text shown
    QString home_page_url;
    QString description;  // one line of what the program does; none when empty
    QString licence;      // none when empty
  };

  AboutBox(const Values& values, QWidget* parent = nullptr);

  // The program's own logo, 429 by 400 pixels, 24-bit colour.
  static QImage logo();
};

}  // namespace wingstow

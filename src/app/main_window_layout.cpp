// The window's controls, built where and as the window shows them: the
// toolbar, the four pages, the path rows and the simulator switch, the
// progress bar. Clicks are bound to their handlers here.

#include "app/main_window.h"

#include <QAction>
#include <QCheckBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QProgressBar>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/main_window_colours.h"
#include "widgets/elided_text.h"
#include "widgets/file_list_view.h"
#include "widgets/flat_button.h"
#include "widgets/gradient_panel.h"
#include "widgets/picture_view.h"

namespace wingstow {

using window_colours::button_shadow;
using window_colours::menu_colour;

namespace {

// A check box glyph for "Check all" (ticked) and "Uncheck all" (empty).
QIcon check_icon(bool ticked) {
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(QColor(60, 60, 60), 1));
  painter.setBrush(Qt::white);
  painter.drawRect(QRectF(2.5, 2.5, 11, 11));
  if (ticked) {
    painter.setPen(QPen(QColor(0, 120, 0), 2));
    painter.drawPolyline(QPolygonF({QPointF(4.5, 8), QPointF(7, 11), QPointF(12, 4.5)}));
  }
  return QIcon(pixmap);
}

}  // namespace

void Tutil::build_toolbar() {
  BFSPanelGradient1 = new GradientPanel(this);
  BFSPanelGradient1->setObjectName("BFSPanelGradient1");
  BFSPanelGradient1->setGeometry(0, 0, 416, 41);
  BFSPanelGradient1->setColor(Qt::white);

  struct ButtonDef {
    QToolButton** button;
    const char* name;
    const char* hint;
    QStyle::StandardPixmap icon;
    bool enabled;
  };
  const ButtonDef defs[] = {
      {&SpeedButton5, "SpeedButton5", "Unzip", QStyle::SP_ArrowDown, false},
      {&SpeedButton10, "SpeedButton10", "Cancel unzip", QStyle::SP_BrowserStop, false},
      {&SpeedButton8, "SpeedButton8", "Delete from FS", QStyle::SP_TrashIcon, false},
      {&Btn1LevelUp, "Btn1LevelUp", "One Level Up", QStyle::SP_FileDialogToParent, true},
      {&SpeedButton7, "SpeedButton7", "Install to FS", QStyle::SP_DialogApplyButton, false},
      {&SpeedButton4, "SpeedButton4", "Set main FS path", QStyle::SP_DriveHDIcon, true},
      {&SpeedButton40, "SpeedButton40", "Help", QStyle::SP_DialogHelpButton, true},
      {&BtnRefresh, "BtnRefresh", "Refresh", QStyle::SP_BrowserReload, true},
      {&SpeedButton9, "SpeedButton9", "About", QStyle::SP_MessageBoxInformation, true},
      {&SpeedButton6, "SpeedButton6", "exit", QStyle::SP_DialogCloseButton, true},
  };
  int x = 9;
  for (const auto& def : defs) {
    auto* button = new QToolButton(BFSPanelGradient1);
    button->setObjectName(def.name);
    button->setToolTip(def.hint);
    button->setIcon(style()->standardIcon(def.icon));
    button->setIconSize(QSize(22, 22));
    button->setAutoRaise(true);
    button->setCursor(Qt::PointingHandCursor);
    button->setGeometry(x, 5, 30, 30);
    button->setEnabled(def.enabled);
    *def.button = button;
    x += 41;
  }
  // Short hint "Refresh", nothing after the bar for the status line.
  BtnRefresh->setStatusTip(QString());

  on_click(SpeedButton4, &Tutil::SpeedButton4Click);
  on_click(BtnRefresh, &Tutil::BtnRefreshClick);
  on_click(Btn1LevelUp, &Tutil::Btn1LevelUpClick);
  on_click(SpeedButton6, &Tutil::SpeedButton6Click);
  on_click(SpeedButton40, &Tutil::SpeedButton40Click);
  on_click(SpeedButton9, &Tutil::SpeedButton9Click);
}

void Tutil::build_pages() {
  PageControl1 = new QTabWidget(this);
  PageControl1->setObjectName("PageControl1");
  PageControl1->setGeometry(1, 41, 416, 360);

  TabSheet1 = new QWidget;
  TabSheet1->setObjectName("TabSheet1");
  TabSheet2 = new QWidget;
  TabSheet2->setObjectName("TabSheet2");
  TabSheet4 = new QWidget;
  TabSheet4->setObjectName("TabSheet4");
  TabSheet3 = new QWidget;
  TabSheet3->setObjectName("TabSheet3");
  PageControl1->addTab(TabSheet1, "Explore Files");
  PageControl1->addTab(TabSheet2, "Liste find ");
  PageControl1->addTab(TabSheet4, "Pictures");
  PageControl1->addTab(TabSheet3, "Delete installed airplanes");
  // The search scratch page is the program's own, never the user's.
  PageControl1->setTabVisible(1, false);
  PageControl1->setCurrentWidget(TabSheet1);

  // Explore Files
  LsFilelistView_util = new FileListView(TabSheet1);
  LsFilelistView_util->setObjectName("LsFilelistView_util");
  LsFilelistView_util->setGeometry(0, 0, 257, 281);
  LsFilelistView_util->setMultiSelect(false);

  AdvImage3 = new PictureView(TabSheet1);
  AdvImage3->setObjectName("AdvImage3");
  AdvImage3->setGeometry(264, 8, 137, 145);
  AdvImage3->setStretchRatio(true);
  AdvImage3->setCenterView(false);
  AdvImage3->setBevelWidth(1);

  Panel3 = new QWidget(TabSheet1);
  Panel3->setObjectName("Panel3");
  Panel3->setGeometry(0, 283, 412, 28);

  Label1 = new QLabel("Folder size :", Panel3);
  Label1->setObjectName("Label1");
  QFont bold = Label1->font();
  bold.setBold(true);
  Label1->setFont(bold);
  Label1->setGeometry(8, 6, 77, 16);

  auto make_readout = [this](const char* name, int x, int y) {
    auto* edit = new QLineEdit(Panel3);
    edit->setObjectName(name);
    edit->setGeometry(x, y, 76, 21);
    edit->setAlignment(Qt::AlignRight);
    edit->setEnabled(false);
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Base, menu_colour);
    palette.setColor(QPalette::Disabled, QPalette::Base, menu_colour);
    palette.setColor(QPalette::Disabled, QPalette::Text, Qt::black);
    edit->setPalette(palette);
    return edit;
  };
  Edit1 = make_readout("Edit1", 85, 3);

  auto make_small = [](QWidget* parent, const char* name, const char* hint, const QIcon& icon,
                       int x, int y, int size) {
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setToolTip(hint);
    button->setIcon(icon);
    button->setAutoRaise(true);
    button->setGeometry(x, y, size, size);
    return button;
  };
  SpeedButton11 = make_small(Panel3, "SpeedButton11", "Empty recycle bin",
                             style()->standardIcon(QStyle::SP_TrashIcon), 172, 5, 20);
  SpeedButton12 = make_small(Panel3, "SpeedButton12", "View airplane already installed",
                             style()->standardIcon(QStyle::SP_FileDialogInfoView), 200, 5, 20);
  on_click(SpeedButton11, &Tutil::SpeedButton11Click);

  Label2 = new QLabel("Total Free size :", Panel3);
  Label2->setObjectName("Label2");
  Label2->setFont(bold);
  Label2->setGeometry(224, 6, 100, 16);
  Edit2 = make_readout("Edit2", 325, 4);

  StatusBar1 = new ElidedStatusBar(TabSheet1);
  StatusBar1->setObjectName("StatusBar1");
  StatusBar1->setSizeGripEnabled(false);
  StatusBar1->setGeometry(0, 313, 412, 20);
  // A long status is cut in its middle: the whole of it is the tip.
  connect(StatusBar1, &QStatusBar::messageChanged, StatusBar1, &QWidget::setToolTip);
  CheckNotice = new QToolButton(StatusBar1);
  CheckNotice->setObjectName("CheckNotice");
  CheckNotice->setAutoRaise(true);
  CheckNotice->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  CheckNotice->setIcon(style()->standardIcon(QStyle::SP_MessageBoxWarning));
  CheckNotice->setIconSize(QSize(14, 14));
  CheckNotice->setCursor(Qt::PointingHandCursor);
  CheckNotice->setFocusPolicy(Qt::NoFocus);
  StatusBar1->addPermanentWidget(CheckNotice);
  CheckNotice->hide();

  // Pictures
  AdvImage1 = new PictureView(TabSheet4);
  AdvImage1->setObjectName("AdvImage1");
  AdvImage1->setGeometry(0, 0, 408, 252);
  AdvImage1->setStretchRatio(true);
  AdvImage1->setCenterView(true);
  AdvImage1->setGifAnimate(true);
  AdvImage1->setBevelWidth(1);
  PopupMenu1 = new QMenu(AdvImage1);
  PopupMenu1->setObjectName("PopupMenu1");
  Stretch1 = PopupMenu1->addMenu("&Strech ");
  Stretch1->setObjectName("Stretch1");
  On1 = Stretch1->addAction("On");
  On1->setObjectName("On1");
  Off1 = Stretch1->addAction("Off");
  Off1->setObjectName("Off1");
  AdvImage1->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(AdvImage1, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { PopupMenu1->popup(AdvImage1->mapToGlobal(at)); });
  connect(On1, &QAction::triggered, this, [this] { guarded([this] { On1Click(); }); });
  connect(Off1, &QAction::triggered, this, [this] { guarded([this] { Off1Click(); }); });

  ListBox1 = new QListWidget(TabSheet4);
  ListBox1->setObjectName("ListBox1");
  ListBox1->setGeometry(0, 256, 409, 52);
  connect(ListBox1, &QListWidget::itemClicked, this,
          [this] { guarded([this] { ListBox1Click(); }); });

  // Delete installed airplanes
  ListBox2 = new QListWidget(TabSheet3);
  ListBox2->setObjectName("ListBox2");
  ListBox2->setGeometry(0, 0, 409, 169);

  AdvImage2 = new PictureView(TabSheet3);
  AdvImage2->setObjectName("AdvImage2");
  AdvImage2->setGeometry(80, 176, 153, 153);
  AdvImage2->setStretchRatio(true);
  AdvImage2->setBevelWidth(1);

  SpeedButton2 = make_small(TabSheet3, "SpeedButton2", "Check all", check_icon(true), 0, 176, 25);
  SpeedButton3 =
      make_small(TabSheet3, "SpeedButton3", "Uncheck all", check_icon(false), 32, 176, 25);

  ListBox3 = new QListWidget(TabSheet3);
  ListBox3->setObjectName("ListBox3");
  ListBox3->setGeometry(288, 176, 121, 121);
  // Sorted by the engine without regard to case; Qt's own sort heeds case.

  Edit3 = new QLineEdit(TabSheet3);
  Edit3->setObjectName("Edit3");
  Edit3->setGeometry(288, 304, 121, 21);

  SpeedButton1 = make_small(TabSheet3, "SpeedButton1", "Find",
                            style()->standardIcon(QStyle::SP_FileDialogContentsView), 264, 304, 21);
  SpeedButton1->setEnabled(false);

  on_click(SpeedButton1, &Tutil::SpeedButton1Click);
  on_click(SpeedButton2, &Tutil::SpeedButton2Click);
  on_click(SpeedButton3, &Tutil::SpeedButton3Click);
  connect(Edit3, &QLineEdit::textChanged, this, [this] { guarded([this] { Edit3Change(); }); });
  // Only the user's clicks reach here: marks set from code block the signal.
  connect(ListBox2, &QListWidget::itemChanged, this,
          [this] { guarded([this] { ListBox2ClickCheck(); }); });
  connect(ListBox2, &QListWidget::currentRowChanged, this, [this](int row) {
    if (row >= 0) guarded([this] { ListBox2Click(); });
  });
}

void Tutil::build_paths() {
  BFSBackground1 = new GradientPanel(this, false);
  BFSBackground1->setObjectName("BFSBackground1");
  BFSBackground1->setGeometry(1, 400, 416, 145);
  BFSBackground1->lower();

  // Rows are placed in client coordinates over the painted background.
  auto place = [](QWidget* widget, int x, int y, int w, int h) {
    widget->setGeometry(x - 1, y - 400, w, h);
  };
  auto make_path_row = [&](FlatButton** button, const char* button_name, const char* caption,
                           QLineEdit** edit, const char* edit_name, int y) {
    *button = new FlatButton(BFSBackground1);
    (*button)->setObjectName(button_name);
    (*button)->setText(caption);
    (*button)->setColor(button_shadow);
    (*button)->setFocusedColor(menu_colour);
    place(*button, 16, y, 97, 25);
    *edit = new ElidedLineEdit(BFSBackground1);
    (*edit)->setObjectName(edit_name);
    (*edit)->setEnabled(false);
    place(*edit, 128, y + 2, 281, 21);
  };
  make_path_row(&FlatButton1, "FlatButton1", "", &e_fs_path, "e_fs_path", 408);
  e_fs_path->setReadOnly(true);
  make_path_row(&FlatButton2, "FlatButton2", "Download Path", &edit_download, "edit_download", 440);
  make_path_row(&FlatButton3, "FlatButton3", "Unzip Path", &edit_unzip, "edit_unzip", 472);
  on_click(FlatButton1, &Tutil::FlatButton1Click);
  on_click(FlatButton2, &Tutil::FlatButton2Click);
  on_click(FlatButton3, &Tutil::FlatButton3Click);

  auto make_radio = [&](const char* name, const char* caption, QColor back, QColor ink, int x) {
    auto* radio = new QRadioButton(caption, BFSBackground1);
    radio->setObjectName(name);
    radio->setCursor(Qt::PointingHandCursor);
    radio->setStyleSheet(QString("QRadioButton { background-color: %1; color: %2; }")
                             .arg(back.name(), QColor(ink).name()));
    place(radio, x, 512, 66, 17);
    return radio;
  };
  fs2002x = make_radio("fs2002x", "FS 2002", QColor(255, 255, 0), Qt::black, 8);
  fs2004x = make_radio("fs2004x", "FS 2004", QColor(255, 0, 0), Qt::white, 80);
  // A radio button's handler runs when it becomes selected, never again
  // while it stays selected.
  connect(fs2002x, &QRadioButton::toggled, this, [this](bool on) {
    if (on) guarded([this] { fs2002xClick(); });
  });
  connect(fs2004x, &QRadioButton::toggled, this, [this](bool on) {
    if (on) guarded([this] { fs2004xClick(); });
  });

  prompt = new QCheckBox("Multi select", BFSBackground1);
  prompt->setObjectName("prompt");
  prompt->setToolTip("Multiple installation");
  place(prompt, 312, 512, 97, 17);
  on_click(prompt, &Tutil::promptClick);
  set_panel_colour(menu_colour);
}

void Tutil::build_progress_bar() {
  ProgressBar1 = new QProgressBar(this);
  ProgressBar1->setObjectName("ProgressBar1");
  ProgressBar1->setGeometry(0, 554 - 17, 416, 17);
  ProgressBar1->setRange(0, 100);
  ProgressBar1->setValue(0);
  ProgressBar1->setTextVisible(false);
}

void Tutil::place_in_scroll_area() {
  const QSize design = size();
  content_ = new QWidget;
  content_->setObjectName("content");
  content_->setFixedSize(design);
  // Built on the window at their places; moved as they are, windows of
  // their own (the progress windows) aside.
  for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
    if (!child->isWindow()) child->setParent(content_);
  scroll_ = new QScrollArea(this);
  scroll_->setObjectName("scroll");
  scroll_->setFrameShape(QFrame::NoFrame);
  scroll_->setWidget(content_);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(scroll_);
}

void Tutil::fit_to_screen() {
  const QSize design = content_->size();
  QScreen* screen = QGuiApplication::screenAt(geometry().center());
  if (!screen) screen = QGuiApplication::primaryScreen();
  const int title = style()->pixelMetric(QStyle::PM_TitleBarHeight);
  const QSize room = screen ? screen->availableGeometry().size() - QSize(0, title) : design;
  if (room.width() >= design.width() && room.height() >= design.height()) {
    setFixedSize(design);
    return;
  }
  // Room for the scroll bars that the smaller window needs; the user may
  // size it up to the design.
  const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
  const QSize largest = design + QSize(bar, bar);
  setMinimumSize(QSize(160, 120).boundedTo(room));
  setMaximumSize(largest);
  resize(largest.boundedTo(room));
}

}  // namespace wingstow

#include "app/main_window.h"

#include "platform/qt_text.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QProgressBar>
#include <QRadioButton>
#include <QScreen>
#include <QShortcut>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <algorithm>
#include <stdexcept>

#include "app/cancel_filter.h"
#include "app/check_window.h"
#include "app/chooser_window.h"
#include "app/help_window.h"
#include "app/message_box.h"
#include "app/progress_window.h"
#include "check/airplane_check.h"
#include "commands/file_list_click.h"
#include "install/install_command.h"
#include "packages/import_archives.h"
#include "packages/package_analysis.h"
#include "packages/unzip.h"
#include "platform/files.h"
#include "platform/trash.h"
#include "removal/catalogue.h"
#include "removal/removal.h"
#include "settings/simulator.h"
#include "settings/wine.h"
#include "widgets/about_box.h"
#include "widgets/file_list_view.h"
#include "widgets/flat_button.h"
#include "widgets/gradient_panel.h"
#include "widgets/picture_view.h"
#include "wingstow_version.h"

namespace wingstow {
namespace {

const QColor button_shadow(128, 128, 128);
const QColor active_caption(10, 36, 106);
const QColor menu_colour(240, 240, 240);

using platform::qt_text;

// Where a list entry or a text box keeps the bytes of the path it shows.
constexpr int path_bytes_role = Qt::UserRole;
constexpr const char* text_bytes_property = "wingstow_text_bytes";

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

Tutil::Tutil(std::string program_folder, Ui* dialogs, std::string help_folder)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      shared_(std::move(program_folder)),
      help_folder_(help_folder.empty() ? shared_.program_folder : std::move(help_folder)),
      dialogs_(dialogs),
      ZipMaster1(*this) {
  setObjectName("util");
  setWindowTitle("  Fs2002 - Fs2004 Wingstow/uninstaller");
  QFont font = this->font();
  font.setPointSize(8);
  setFont(font);
  setFixedSize(416, 554);
  move(508, 124);
  keep_on_screen();
  // Archives dropped anywhere on the window go to the download folder.
  setAcceptDrops(true);

  build_toolbar();
  build_pages();
  build_paths();

  ProgressBar1 = new QProgressBar(this);
  ProgressBar1->setObjectName("ProgressBar1");
  ProgressBar1->setGeometry(0, 554 - 17, 416, 17);
  ProgressBar1->setRange(0, 100);
  ProgressBar1->setValue(0);
  ProgressBar1->setTextVisible(false);
  cancel_filter_ = new CancelOnlyFilter(this, SpeedButton10);

  Form1 = new TForm1(this);
  Form2 = new TForm2(this);

  ZipMaster1.OnProgress = [this](int kind, const std::string&, std::uint64_t size) {
    ZipMaster1Progress(shared_, *this, kind, size);
  };
  ZipMaster1.OnCRC32Error = [](const std::string&, std::uint32_t, std::uint32_t, bool& do_extract) {
    ZipMaster1CRC32Error(do_extract);
  };
  connect(LsFilelistView_util, &FileListView::listClick, this,
          [this] { guarded([this] { LsFilelistView_utilClick(); }); });
  on_click(SpeedButton5, &Tutil::SpeedButton5Click);
  on_click(SpeedButton10, &Tutil::SpeedButton10Click);
  on_click(SpeedButton7, &Tutil::SpeedButton7Click);
  on_click(SpeedButton12, &Tutil::SpeedButton12Click);
  on_click(SpeedButton8, &Tutil::SpeedButton8Click);

  wire_paste_progress();
  wire_check();

  // The text boxes would take a dropped file's name as text.
  for (auto* edit : findChildren<QLineEdit*>()) edit->setAcceptDrops(false);
  auto* help_key = new QShortcut(QKeySequence(Qt::Key_F1), this);
  connect(help_key, &QShortcut::activated, this,
          [this] { guarded([this] { SpeedButton40Click(); }); });
  auto* quit_key = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), this);
  connect(quit_key, &QShortcut::activated, this,
          [this] { guarded([this] { SpeedButton6Click(); }); });
}

// A paste of the file list shows the install's progress window, lets
// events through between files and is stopped by Cancel, the only control
// that takes input meanwhile.
void Tutil::wire_paste_progress() {
  FileListView* list = LsFilelistView_util;
  // The list's questions and reports are the window's boxes.
  list->confirm = [this](const QString& question) {
    return message(MessageKind::confirmation, question.toStdString(), Buttons::yes_no) ==
           Answer::yes;
  };
  list->warn = [this](const QString& text) {
    message(MessageKind::warning, text.toStdString(), Buttons::ok);
  };
  // A file action is a command too: no earlier status stays under it.
  list->actionStarting = [this] {
    if (command_depth_ == 0) status({});
  };
  list->progressStarted = [this](qint64 total) {
    paste_total_ = std::max<qint64>(total, 1);
    paste_cancel_ = false;
    cancel_filter_->begin();
    SpeedButton10->setEnabled(true);
    progress_animation(Animation::copy_files);
    progress_caption("Paste into " + LsFilelistView_util->directoryBytes());
    progress_start();
    progress_show();
  };
  list->progressStep = [this](qint64 done) {
    set_progress_bar(100, static_cast<int>(std::min<qint64>(done * 100 / paste_total_, 100)));
    QCoreApplication::processEvents();
    return !paste_cancel_;
  };
  list->progressFinished = [this] {
    cancel_filter_->end();
    SpeedButton10->setEnabled(false);
    progress_stop();
    progress_close();
    set_progress_bar(100, 0);
    // Archives that came during the paste waited for it.
    if (!pending_archives_.empty()) QTimer::singleShot(0, this, [this] { import_pending(); });
  };
}

void Tutil::wire_check() {
  LsFilelistView_util->checkFolder = [this](const std::string& folder) {
    guarded([this, folder] { show_check(check_folder(folder, shared_.fs_path)); });
  };
  ListBox2->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(ListBox2, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    // The entry under the mouse, else the selected one.
    QListWidgetItem* item = ListBox2->itemAt(at);
    if (item) ListBox2->setCurrentItem(item);
    const int row = item ? ListBox2->row(item) : ListBox2->currentRow();
    auto* menu = new QMenu(ListBox2);
    menu->setObjectName("catalogueMenu");
    menu->setAttribute(Qt::WA_DeleteOnClose);
    QAction* check = menu->addAction("Check airplane");
    check->setObjectName("checkAirplaneAction");
    check->setEnabled(row >= 0);
    connect(check, &QAction::triggered, this, [this, row] {
      guarded([this, row] {
        const auto entries = catalogue();
        if (row < 0 || row >= static_cast<int>(entries.size())) return;
        show_check(check_record(entries[static_cast<std::size_t>(row)], shared_.fs_path));
      });
    });
    menu->popup(ListBox2->viewport()->mapToGlobal(at));
  });
}

void Tutil::show_check(const CheckReport& report) {
  const std::string summary = problems_found_text(report.findings.size());
  status(summary);
  if (!check_window) check_window = new CheckWindow(this);
  check_window->showReport(qt_text(summary), qt_text(report_text(report)));
}

QPoint Tutil::kept_on_screen(const QRect& frame, const QRect& available) {
  const int x =
      std::max(available.left(), std::min(frame.left(), available.right() + 1 - frame.width()));
  const int y =
      std::max(available.top(), std::min(frame.top(), available.bottom() + 1 - frame.height()));
  return {x, y};
}

void Tutil::keep_on_screen() {
  const QRect asked(pos(), size());
  QScreen* screen = QGuiApplication::screenAt(asked.center());
  if (!screen) screen = QGuiApplication::primaryScreen();
  if (!screen) return;
  // Before the first showing the frame is not known: the title bar is
  // allowed for by the style's measure of it.
  QSize frame = frameGeometry().size();
  if (frame == size()) frame += QSize(0, style()->pixelMetric(QStyle::PM_TitleBarHeight));
  move(kept_on_screen(QRect(pos(), frame), screen->availableGeometry()));
}

void Tutil::bring_to_front() {
  if (isMinimized()) showNormal();
  show();
  raise();
  activateWindow();
}

void Tutil::receive_archives(const std::vector<std::string>& archives) {
  if (archives.empty()) return;
  pending_archives_.insert(pending_archives_.end(), archives.begin(), archives.end());
  told_to_choose_ = false;
  QTimer::singleShot(0, this, [this] { import_pending(); });
}

void Tutil::import_pending() {
  // A command running (or pumping events) finishes first; guarded() calls
  // back here when it ends.
  if (pending_archives_.empty() || !activated_ || command_depth_ > 0 ||
      LsFilelistView_util->isPasting() || QApplication::activeModalWidget())
    return;
  // A simulator counts once its folder is set: the window is locked before.
  if (shared_.fs_version.empty() || shared_.download_path.empty() ||
      !platform::folder_exists(shared_.fs_path)) {
    if (!told_to_choose_) {
      told_to_choose_ = true;
      status(choose_simulator_first);
      message(MessageKind::information, choose_simulator_first, Buttons::ok);
    }
    return;
  }
  const std::vector<std::string> archives = std::exchange(pending_archives_, {});
  guarded([this, &archives] {
    const ImportOutcome outcome =
        import_archives(shared_.download_path, archives, [this] { pump(); });
    // Already listed, the folder is not read again by the browse: it is
    // refreshed instead; otherwise the browse reads it once.
    const bool listed = same_path(LsFilelistView_util->directoryBytes(), shared_.download_path);
    FlatButton2Click();
    if (listed) LsFilelistView_util->refresh();
    if (same_path(LsFilelistView_util->directoryBytes(), shared_.download_path)) {
      bool first = true;
      for (int i = 0; i < LsFilelistView_util->itemCount(); ++i) {
        const std::string path = LsFilelistView_util->itemPathBytes(i);
        if (std::find(outcome.arrived.begin(), outcome.arrived.end(), path) ==
            outcome.arrived.end())
          continue;
        // The first is clicked, as the user would, so that Unzip takes them.
        if (first) LsFilelistView_util->showFileBytes(path);
        first = false;
        LsFilelistView_util->setItemHighlighted(i, true);
      }
    }
    report_import(*this, shared_.download_path, outcome);
  });
}

void Tutil::dragEnterEvent(QDragEnterEvent* event) {
  const auto urls = event->mimeData()->urls();
  if (std::any_of(urls.begin(), urls.end(), [](const QUrl& url) { return url.isLocalFile(); }))
    event->acceptProposedAction();
}

void Tutil::dragMoveEvent(QDragMoveEvent* event) { event->acceptProposedAction(); }

void Tutil::dropEvent(QDropEvent* event) {
  std::vector<std::string> archives;
  for (const QUrl& url : event->mimeData()->urls())
    if (url.isLocalFile()) archives.push_back(QFile::encodeName(url.toLocalFile()).toStdString());
  if (archives.empty()) return;
  // Copied, never moved, whatever the source offered.
  event->setDropAction(Qt::CopyAction);
  event->accept();
  receive_archives(archives);
}

Tutil::~Tutil() {
  // FormDestroy: the settings object goes with shared_.
  ZipMaster1.unload_zip_dll();
  ZipMaster1.unload_unz_dll();
}

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

  StatusBar1 = new QStatusBar(TabSheet1);
  StatusBar1->setObjectName("StatusBar1");
  StatusBar1->setSizeGripEnabled(false);
  StatusBar1->setGeometry(0, 313, 412, 20);

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
  BFSBackground1->setColor(menu_colour);
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
    *edit = new QLineEdit(BFSBackground1);
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
}

// ---------------------------------------------------------------- events

void Tutil::on_click(QAbstractButton* button, void (Tutil::*handler)()) {
  connect(button, &QAbstractButton::clicked, this,
          [this, handler] { guarded([this, handler] { (this->*handler)(); }); });
}

void Tutil::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // The start-up sequence runs once, as soon as the window is up; a modal
  // chooser it may open then has the window behind it.
  if (!activated_) QTimer::singleShot(0, this, [this] { guarded([this] { FormActivate(); }); });
}

void Tutil::closeEvent(QCloseEvent* event) {
  // Closing the window by the window manager is the same as "exit".
  QWidget::closeEvent(event);
  if (event->isAccepted()) QCoreApplication::quit();
}

void Tutil::guarded(const std::function<void()>& handler) {
  if (command_depth_ == 0) status({});
  struct Depth {
    Tutil* window;
    explicit Depth(Tutil* w) : window(w) { ++window->command_depth_; }
    ~Depth() {
      if (--window->command_depth_ == 0 && !window->pending_archives_.empty())
        QTimer::singleShot(0, window, [w = window] { w->import_pending(); });
    }
  } depth(this);
  std::string failure;
  try {
    handler();
    return;
  } catch (const std::exception& e) {
    failure = e.what();
  } catch (...) {
    failure = "Unexpected error";
  }
  while (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
  setEnabled(true);
  progress_stop();
  progress_close();
  message(MessageKind::application_error, with_full_stop(failure), Buttons::ok);
}

void Tutil::FormActivate() {
  if (activated_) return;
  activated_ = true;
  PageControl1->setCurrentWidget(TabSheet1);
  find_simulators();
  ZipMaster1.load_zip_dll();
  ZipMaster1.load_unz_dll();
  // fs_start names the simulator selected last; any other value, the default
  // included, leaves the choice to the user.
  if (shared_.settings_file.read(settings_section, key_fs_start, settings_default) == "fs2002") {
    shared_.fs_version = "fs2002";
    fs2002x->setChecked(true);
    FlatButton1->setText("Fs2002 Path :");
  }
  if (shared_.settings_file.read(settings_section, key_fs_start, settings_default) == "fs2004") {
    shared_.fs_version = "fs2004";
    fs2004x->setChecked(true);
    FlatButton1->setText("Fs2004 Path :");
  }
}

void Tutil::find_simulators() {
  // Once a start: a look into the usual places, not a walk of the home.
  shared_.wine_prefixes = find_wine_prefixes(wine_environment_of_process());
  shared_.simulator_roots = find_simulator_roots(shared_.wine_prefixes);
  std::vector<platform::Drive> drives;
  for (const WinePrefix& prefix : shared_.wine_prefixes)
    drives.push_back({prefix.drive_c, prefix.caption});
  LsFilelistView_util->setExtraDrives(drives);
  Form2->LsDirTree1->setExtraDrives(drives);
}

void Tutil::fs2002xClick() {
  FlatButton1->setText("Fs2002 Path :");
  BFSBackground1->setColor(QColor(255, 255, 0));
  for (auto* button : {FlatButton1, FlatButton2, FlatButton3}) button->setColor(button_shadow);
  select_simulator(shared_, *this, "fs2002");
}

void Tutil::fs2004xClick() {
  FlatButton1->setText("Fs2004 Path :");
  BFSBackground1->setColor(QColor(255, 0, 0));
  for (auto* button : {FlatButton1, FlatButton2, FlatButton3}) button->setColor(button_shadow);
  select_simulator(shared_, *this, "fs2004");
}

void Tutil::SpeedButton4Click() { set_main_fs_path(shared_, *this); }

bool Tutil::browse_to(FlatButton* button, const std::string& folder, const char* invalid_message) {
  Edit1->clear();
  LsFilelistView_util->setToolTip(QString());
  if (!platform::folder_exists(folder)) {
    message(MessageKind::information, invalid_message, Buttons::ok);
    return false;
  }
  for (auto* other : {FlatButton1, FlatButton2, FlatButton3})
    other->setColor(other == button ? active_caption : button_shadow);
  PageControl1->setCurrentWidget(TabSheet1);
  LsFilelistView_util->setDirectoryBytes(folder);
  return true;
}

void Tutil::FlatButton1Click() {
  prompt->hide();
  if (!browse_to(FlatButton1, shared_.fs_path, "Invalid Path ")) return;
  for (auto* button : {SpeedButton5, SpeedButton7, SpeedButton8, SpeedButton12})
    button->setEnabled(false);
}

void Tutil::FlatButton2Click() {
  prompt->hide();
  LsFilelistView_util->setMultiSelect(true);
  if (!browse_to(FlatButton2, shared_.download_path, "Invalid Path ")) return;
  for (auto* button : {SpeedButton7, SpeedButton8, SpeedButton12}) button->setEnabled(false);
}

void Tutil::FlatButton3Click() {
  prompt->show();
  if (!prompt->isChecked()) LsFilelistView_util->setMultiSelect(false);
  if (!browse_to(FlatButton3, shared_.unzip_path, "Invalid Path")) return;
  SpeedButton5->setEnabled(false);
  SpeedButton8->setEnabled(false);
  SpeedButton12->setEnabled(true);
}

void Tutil::BtnRefreshClick() {
  Edit2->setText(qt_text(free_space_text(shared_)));
  Edit1->clear();
  LsFilelistView_util->refresh();
  for (auto* button : {SpeedButton8, SpeedButton5, SpeedButton7}) button->setEnabled(false);
}

void Tutil::SpeedButton11Click() {
  std::size_t count = 0;
  bool agreed = false;
  const bool emptied = platform::empty_trash([this, &count, &agreed](std::size_t items) {
    count = items;
    std::string text = items == 1
                           ? std::string("Are you sure you want to permanently delete this item?")
                           : "Are you sure you want to permanently delete these " +
                                 std::to_string(items) + " items?";
    text += "\nThis empties the desktop's whole trash (" + std::to_string(items) +
            " item(s)), not only what Wingstow put there.";
    agreed = message(MessageKind::confirmation, text, Buttons::yes_no) == Answer::yes;
    return agreed;
  });
  Edit2->setText(qt_text(free_space_text(shared_)));
  if (count == 0)
    status("The trash is already empty");
  else if (!agreed)
    status("The trash was left as it was");
  else if (emptied)
    status("The trash was emptied: " + std::to_string(count) + " item(s) deleted for good");
  else
    status("The trash could not be emptied completely: " +
           std::to_string(platform::trash_item_count()) + " item(s) are still in it");
}

void Tutil::Btn1LevelUpClick() { LsFilelistView_util->oneLevelUp(); }

void Tutil::promptClick() { LsFilelistView_util->setMultiSelect(prompt->isChecked()); }

void Tutil::SpeedButton40Click() {
  if (!help_window) help_window = new HelpWindow(this);
  // Looked up beside the program, whatever the current folder.
  help_window->open(qt_text(help_folder_ + "airplane.html"));
}

void Tutil::SpeedButton9Click() {
  AboutBox about(
      {application_title, wingstow::version, "Use it at your own risk.", "wingstow@example.org",
       "Home Page",
       QUrl::fromLocalFile(help_page_file(qt_text(help_folder_ + "airplane.html"))).toString()},
      isVisible() ? this : nullptr);
  about.exec();
}

void Tutil::SpeedButton6Click() {
  if (help_window) help_window->close();
  // Every window of the program goes with the main one.
  QApplication::closeAllWindows();
  QCoreApplication::quit();
}

void Tutil::ListBox1Click() {
  if (auto* item = ListBox1->currentItem()) AdvImage1->load(item->text());
}

void Tutil::On1Click() {
  AdvImage1->setStretchRatio(true);
  Stretch1->menuAction()->setCheckable(true);
  Stretch1->menuAction()->setChecked(true);
}

void Tutil::Off1Click() { AdvImage1->setStretchRatio(false); }

void Tutil::LsFilelistView_utilClick() { wingstow::LsFilelistView_utilClick(shared_, *this); }

void Tutil::SpeedButton5Click() {
  const CancelOnlyFilter::Scope only_cancel(*cancel_filter_);
  wingstow::SpeedButton5Click(shared_, *this, ZipMaster1);
}

void Tutil::SpeedButton10Click() {
  if (LsFilelistView_util->isPasting()) {
    paste_cancel_ = true;
    SpeedButton10->setEnabled(false);
    return;
  }
  wingstow::SpeedButton10Click(shared_, *this, ZipMaster1);
}

void Tutil::SpeedButton7Click() { wingstow::SpeedButton7Click(shared_, *this, ZipMaster1); }

void Tutil::SpeedButton12Click() { wingstow::SpeedButton12Click(shared_, *this); }

void Tutil::SpeedButton1Click() { wingstow::SpeedButton1Click(shared_, *this); }
void Tutil::SpeedButton2Click() { wingstow::SpeedButton2Click(*this); }
void Tutil::SpeedButton3Click() { wingstow::SpeedButton3Click(*this); }
void Tutil::SpeedButton8Click() { wingstow::SpeedButton8Click(shared_, *this); }
void Tutil::Edit3Change() { wingstow::Edit3Change(*this); }
void Tutil::ListBox2Click() { wingstow::ListBox2Click(shared_, *this); }
void Tutil::ListBox2ClickCheck() { wingstow::ListBox2ClickCheck(*this); }

// ---------------------------------------------------------------- Ui

QWidget* Tutil::control(std::string_view name) const {
  auto* widget = findChild<QWidget*>(qt_text(name));
  if (!widget) throw std::logic_error("No control named " + std::string(name));
  return widget;
}

Answer Tutil::message(MessageKind kind, std::string_view text, Buttons buttons) {
  if (dialogs_) return dialogs_->message(kind, text, buttons);
  return show_message_box(isVisible() ? this : nullptr, kind, text, buttons);
}

void Tutil::status(std::string_view text) {
  if (text.empty())
    StatusBar1->clearMessage();
  else
    StatusBar1->showMessage(qt_text(text));
}

std::optional<std::string> Tutil::status_text() {
  return StatusBar1->currentMessage().toStdString();
}

void Tutil::set_enabled(std::string_view name, bool enabled) {
  if (name == "util")
    setEnabled(enabled);
  else
    control(name)->setEnabled(enabled);
}

void Tutil::set_text(std::string_view name, std::string_view text) {
  QWidget* widget = control(name);
  if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
    edit->setText(qt_text(text));
    // The bytes, for text_of while the text stays as set (a path).
    edit->setProperty(text_bytes_property, QByteArray(text.data(), qsizetype(text.size())));
  } else if (auto* button = qobject_cast<QAbstractButton*>(widget))
    button->setText(qt_text(text));
  else if (auto* label = qobject_cast<QLabel*>(widget))
    label->setText(qt_text(text));
  else
    widget->setWindowTitle(qt_text(text));
}

// Paths cross to and from the file list as bytes: a name that is not UTF-8
// would not come back from a QString as it went in.
void Tutil::show_folder(std::string_view folder) {
  LsFilelistView_util->setDirectoryBytes(std::string(folder));
}

std::string Tutil::list_directory() { return LsFilelistView_util->directoryBytes(); }

std::string Tutil::list_selected_item() { return LsFilelistView_util->selectedItemBytes(); }

int Tutil::list_count() { return LsFilelistView_util->itemCount(); }

std::string Tutil::list_item_path(int index) { return LsFilelistView_util->itemPathBytes(index); }

std::string Tutil::list_item_caption(int index) {
  return LsFilelistView_util->itemCaption(index).toStdString();
}

void Tutil::set_list_item_caption(int index, std::string_view caption) {
  LsFilelistView_util->setItemCaption(index, qt_text(caption));
}

// The check's count joins the entry's own tooltip (a caption's), on every
// column, so that it shows wherever the mouse rests on the entry.
void Tutil::set_list_item_tooltip(int index, std::string_view text) {
  QTreeWidgetItem* item = LsFilelistView_util->topLevelItem(index);
  if (!item) return;
  const QString shown = item->text(FileListView::name_column);
  const QString own = shown == LsFilelistView_util->itemCaption(index) ? QString() : shown;
  const QString tip = text.empty() ? QString() : shown + "\n" + qt_text(text);
  for (int column = 0; column < FileListView::path_column; ++column)
    item->setToolTip(column, column == FileListView::name_column && text.empty() ? own : tip);
}

bool Tutil::list_item_highlighted(int index) { return LsFilelistView_util->itemHighlighted(index); }

void Tutil::set_list_item_highlighted(int index, bool highlighted) {
  LsFilelistView_util->setItemHighlighted(index, highlighted);
}

void Tutil::list_refresh() { LsFilelistView_util->refresh(); }

void Tutil::set_list_multi_select(bool multi) { LsFilelistView_util->setMultiSelect(multi); }

void Tutil::load_picture(std::string_view control, std::string_view path) {
  if (auto* view = findChild<PictureView*>(qt_text(control))) view->load(qt_text(path));
}

void Tutil::clear_picture(std::string_view control) {
  if (auto* view = findChild<PictureView*>(qt_text(control))) view->clear();
}

void Tutil::set_picture_list(const std::vector<std::string>& paths) {
  ListBox1->clear();
  for (const auto& path : paths) ListBox1->addItem(qt_text(path));
}

void Tutil::set_progress_bar(int maximum, int position) {
  ProgressBar1->setMaximum(maximum);
  ProgressBar1->setValue(position);
}

void Tutil::set_wait_cursor(bool waiting) {
  if (waiting)
    QApplication::setOverrideCursor(Qt::WaitCursor);
  else if (QApplication::overrideCursor())
    QApplication::restoreOverrideCursor();
}

void Tutil::set_active_page(std::string_view page) {
  PageControl1->setCurrentWidget(control(page));
}

// Each entry keeps the record's path as bytes beside the text shown: a
// record named in Latin-1 must be read and removed under its own name.
void Tutil::set_catalogue(const std::vector<std::string>& entries) {
  std::vector<std::pair<QString, const std::string*>> sorted;
  sorted.reserve(entries.size());
  for (const auto& entry : entries) sorted.emplace_back(qt_text(entry), &entry);
  const auto before = [](const auto& a, const auto& b) {
    return a.first.compare(b.first, Qt::CaseInsensitive) < 0;
  };
  // The records come sorted as the folder listing sorts them, which is this
  // order for ASCII names: a check instead of a sort of thousands.
  if (!std::is_sorted(sorted.begin(), sorted.end(), before))
    std::stable_sort(sorted.begin(), sorted.end(), before);
  const QSignalBlocker quiet(ListBox2);
  ListBox2->clear();
  for (const auto& [text, path] : sorted) {
    // Complete before it joins the list, so that the list is told once.
    auto* item = new QListWidgetItem(text);
    item->setData(path_bytes_role, QByteArray::fromStdString(*path));
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Unchecked);
    ListBox2->addItem(item);
  }
}

std::vector<std::string> Tutil::catalogue() {
  std::vector<std::string> entries;
  for (int i = 0; i < ListBox2->count(); ++i)
    entries.push_back(ListBox2->item(i)->data(path_bytes_role).toByteArray().toStdString());
  return entries;
}

bool Tutil::catalogue_checked(int index) {
  const auto* item = ListBox2->item(index);
  return item && item->checkState() == Qt::Checked;
}

void Tutil::set_catalogue_checked(int index, bool checked) {
  const QSignalBlocker quiet(ListBox2);
  if (auto* item = ListBox2->item(index))
    item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

int Tutil::catalogue_index() { return ListBox2->currentRow(); }

void Tutil::set_found_list(const std::vector<std::string>& names) {
  ListBox3->clear();
  for (const auto& name : names) ListBox3->addItem(qt_text(name));
}

std::string Tutil::text_of(std::string_view name) {
  auto* edit = qobject_cast<QLineEdit*>(control(name));
  if (!edit) return {};
  const QByteArray set = edit->property(text_bytes_property).toByteArray();
  if (!set.isNull() && qt_text(set.toStdString()) == edit->text()) return set.toStdString();
  return edit->text().toStdString();
}

std::optional<std::string> Tutil::run_chooser(std::string_view caption,
                                              const std::vector<std::string>& found_roots) {
  Form2->setWindowTitle(qt_text(caption));
  Form2->LsDirTree1->setEnabled(true);
  Form2->offer_simulators(found_roots, shared_.wine_prefixes);
  if (Form2->exec() != QDialog::Accepted) return std::nullopt;
  return Form2->LsDirTree1->selectedFolder().toStdString();
}

void Tutil::progress_animation(Animation animation) {
  Form1->Animate1->setKind(animation == Animation::copy_files ? AnimationView::Kind::copy_files
                                                              : AnimationView::Kind::delete_file);
}

void Tutil::progress_start() { Form1->Animate1->start(); }
void Tutil::progress_stop() { Form1->Animate1->stop(); }
void Tutil::progress_caption(std::string_view caption) { Form1->setWindowTitle(qt_text(caption)); }
void Tutil::progress_show() { Form1->show(); }
void Tutil::progress_close() { Form1->hide(); }

bool Tutil::prompt_checked() { return prompt->isChecked(); }

std::string Tutil::simulator_tag() {
  if (fs2002x->isChecked()) return "fs2002";
  if (fs2004x->isChecked()) return "fs2004";
  return {};
}

void Tutil::pump() { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); }

void Tutil::process_messages() { QCoreApplication::processEvents(); }

std::optional<std::string> Tutil::input_text(std::string_view caption, std::string_view prompt,
                                             bool secret) {
  if (dialogs_) return dialogs_->input_text(caption, prompt, secret);
  QInputDialog dialog(isVisible() ? this : nullptr);
  dialog.setWindowTitle(qt_text(caption));
  dialog.setLabelText(qt_text(prompt));
  dialog.setTextEchoMode(secret ? QLineEdit::Password : QLineEdit::Normal);
  dialog.setOkButtonText("OK");
  dialog.setCancelButtonText("Annuler");
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.textValue().toStdString();
}

}  // namespace wingstow

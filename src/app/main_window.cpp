#include "app/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPalette>
#include <QRadioButton>
#include <QScreen>
#include <QShortcut>
#include <QStyle>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <algorithm>

#include "app/cancel_filter.h"
#include "app/check_window.h"
#include "app/chooser_window.h"
#include "app/help_window.h"
#include "app/main_window_colours.h"
#include "app/message_box.h"
#include "app/progress_window.h"
#include "check/airplane_check.h"
#include "commands/catalogue.h"
#include "commands/file_list_click.h"
#include "commands/package_analysis.h"
#include "commands/package_buttons.h"
#include "commands/simulator_choice.h"
#include "install/install_command.h"
#include "packages/unzip.h"
#include "platform/files.h"
#include "platform/qt_text.h"
#include "platform/trash.h"
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

using platform::qt_text;
using window_colours::active_caption;
using window_colours::button_shadow;

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
  build_progress_bar();
  place_in_scroll_area();
  fit_to_screen();
  keep_on_screen();
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
  connect(CheckNotice, &QToolButton::clicked, this, [this] {
    if (check_notice_package_.empty()) return;
    guarded([this] { show_check(check_package_folder(check_notice_package_, shared_.fs_path)); });
  });
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

Tutil::~Tutil() {
  // Its result, still queued, goes with the window.
  if (simulator_scan_.joinable()) simulator_scan_.join();
  // FormDestroy: the settings object goes with shared_.
  ZipMaster1.unload_zip_dll();
  ZipMaster1.unload_unz_dll();
}

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
  // Once a start: a look into the usual places, not a walk of the home; on
  // a cold disk with many prefixes it takes seconds.
  simulator_scan_ = std::thread([this, environment = wine_environment_of_process()] {
    auto prefixes = find_wine_prefixes(environment);
    auto roots = find_simulator_roots(prefixes);
    QMetaObject::invokeMethod(
        this,
        [this, prefixes = std::move(prefixes), roots = std::move(roots)]() mutable {
          simulators_found(std::move(prefixes), std::move(roots));
        },
        Qt::QueuedConnection);
  });
}

void Tutil::simulators_found(std::vector<WinePrefix> prefixes, std::vector<SimulatorRoot> roots) {
  shared_.wine_prefixes = std::move(prefixes);
  shared_.simulator_roots = std::move(roots);
  std::vector<platform::Drive> drives;
  for (const WinePrefix& prefix : shared_.wine_prefixes)
    drives.push_back({prefix.drive_c, prefix.caption});
  LsFilelistView_util->setExtraDrives(drives);
  Form2->LsDirTree1->setExtraDrives(drives);
}

void Tutil::await_simulator_finds() {
  if (!simulator_scan_.joinable()) return;
  simulator_scan_.join();
  // The result was queued before the thread ended: taken now.
  QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
}

void Tutil::set_panel_colour(const QColor& colour) {
  BFSBackground1->setColor(colour);
  QPalette palette = prompt->palette();
  const QColor text = colour.lightness() > 140 ? Qt::black : Qt::white;
  // Disabled, it keeps the style's grey.
  for (const auto group : {QPalette::Active, QPalette::Inactive}) {
    palette.setColor(group, QPalette::WindowText, text);
    palette.setColor(group, QPalette::ButtonText, text);
  }
  prompt->setPalette(palette);
}

void Tutil::fs2002xClick() {
  FlatButton1->setText("Fs2002 Path :");
  set_panel_colour(QColor(255, 255, 0));
  for (auto* button : {FlatButton1, FlatButton2, FlatButton3}) button->setColor(button_shadow);
  select_simulator(shared_, *this, "fs2002");
}

void Tutil::fs2004xClick() {
  FlatButton1->setText("Fs2004 Path :");
  set_panel_colour(QColor(255, 0, 0));
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
      {application_title,
       wingstow::version,
       "Use it at your own risk.",
       {},
       "Home Page",
       QUrl::fromLocalFile(help_page_file(qt_text(help_folder_ + "airplane.html"))).toString(),
       "Installs and removes airplane add-ons for FS2002 and FS2004, under Wine too.",
       "Free software under the GNU GPL, version 3 or later (GPL-3.0-or-later)."},
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
  if (auto* item = ListBox1->currentItem()) AdvImage1->load(item->data(Qt::UserRole).toString());
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

}  // namespace wingstow

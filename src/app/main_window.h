#pragma once

#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "base/ui.h"
#include "packages/zip_master.h"
#include "settings/shared.h"

class QAbstractButton;
class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QProgressBar;
class QRadioButton;
class QScrollArea;
class QStatusBar;
class QTabWidget;
class QToolButton;

namespace wingstow {

class CancelOnlyFilter;
class CheckWindow;
struct CheckReport;
class FileListView;
class FlatButton;
class GradientPanel;
class PictureView;
class HelpWindow;
class TForm1;
class TForm2;

// The main window. It is also the engine's Ui: controls are reached by their
// object names, messages are real modal boxes (or, in tests, go to the
// recorder given at construction).
//
// main_window.cpp wires the controls to their handlers;
// main_window_layout.cpp builds the controls, main_window_ui.cpp is the Ui,
// main_window_archives.cpp takes the archives handed in.
class Tutil : public QWidget, public Ui {
  Q_OBJECT

 public:
  // program_folder: home of the settings file and the working folders, with
  // its trailing separator. dialogs: when given, messages go there instead of
  // message boxes. help_folder: where airplane.html lies (beside the
  // executable); empty: program_folder.
  explicit Tutil(std::string program_folder, Ui* dialogs = nullptr, std::string help_folder = {});
  ~Tutil() override;

  Shared& shared() { return shared_; }
  ZipMaster& zip_master() { return ZipMaster1; }
  bool activated() const { return activated_; }

  // Runs a handler so that no exception crosses the event loop: a failure
  // restores the window and is shown in the application's error box. The
  // status line is cleared when a command starts, so that a status never
  // outlives the command it told about.
  void guarded(const std::function<void()>& handler);

  // Shows the window, unminimised, in front of the others.
  void bring_to_front();
  // Archives from outside (command line, a later start, a drop): copied into
  // the download folder of the selected simulator, which is then listed with
  // them highlighted. They wait while a command runs or no simulator is
  // selected (the user is told to choose one).
  void receive_archives(const std::vector<std::string>& archives);
  // Archives waiting for a simulator to be selected.
  const std::vector<std::string>& pending_archives() const { return pending_archives_; }

  // Where a window of this frame goes so that all of it lies on the screen
  // area available: where it is when it fits, else moved as little as may be
  // (to the top left corner when it is larger).
  static QPoint kept_on_screen(const QRect& frame, const QRect& available);

  // Ui
  Answer message(MessageKind kind, std::string_view text, Buttons buttons) override;
  void status(std::string_view text) override;
  std::optional<std::string> status_text() override;
  void set_enabled(Control control, bool enabled) override;
  void set_text(Control control, std::string_view text) override;
  void show_folder(std::string_view folder) override;
  std::string list_directory() override;
  std::string list_selected_item() override;
  int list_count() override;
  std::string list_item_path(int index) override;
  std::string list_item_caption(int index) override;
  void set_list_item_caption(int index, std::string_view caption) override;
  void set_list_item_tooltip(int index, std::string_view text) override;
  void set_check_notice(std::string_view text, std::string_view package) override;
  bool list_item_highlighted(int index) override;
  void set_list_item_highlighted(int index, bool highlighted) override;
  void list_refresh() override;
  void set_list_multi_select(bool multi) override;
  void load_picture(Control control, std::string_view path) override;
  void clear_picture(Control control) override;
  void set_picture_list(const std::vector<std::string>& paths) override;
  void set_progress_bar(int maximum, int position) override;
  void set_wait_cursor(bool waiting) override;
  void set_active_page(Control page) override;
  void set_catalogue(const std::vector<std::string>& entries) override;
  std::vector<std::string> catalogue() override;
  bool catalogue_checked(int index) override;
  void set_catalogue_checked(int index, bool checked) override;
  int catalogue_index() override;
  void set_found_list(const std::vector<std::string>& names) override;
  std::string text_of(Control control) override;
  void await_simulator_finds() override;
  std::optional<std::string> run_chooser(std::string_view caption,
                                         const std::vector<std::string>& found_roots) override;
  void progress_animation(Animation animation) override;
  void progress_start() override;
  void progress_stop() override;
  void progress_caption(std::string_view caption) override;
  void progress_show() override;
  void progress_close() override;
  bool prompt_checked() override;
  std::string simulator_tag() override;
  void pump() override;
  std::optional<std::string> choose(const Question& question,
                                    const std::vector<std::string>& choices) override;
  std::optional<std::string> input_text(std::string_view caption, std::string_view prompt,
                                        bool secret) override;
  void process_messages() override;

 public slots:
  void FormActivate();
  void fs2002xClick();
  void fs2004xClick();
  void SpeedButton4Click();
  void FlatButton1Click();
  void FlatButton2Click();
  void FlatButton3Click();
  void BtnRefreshClick();
  void SpeedButton11Click();
  void Btn1LevelUpClick();
  void promptClick();
  void SpeedButton6Click();
  void SpeedButton40Click();
  void SpeedButton9Click();
  void ListBox1Click();
  void On1Click();
  void Off1Click();
  void LsFilelistView_utilClick();
  void SpeedButton5Click();
  void SpeedButton10Click();
  void SpeedButton7Click();
  void SpeedButton12Click();
  void SpeedButton1Click();
  void SpeedButton2Click();
  void SpeedButton3Click();
  void SpeedButton8Click();
  void Edit3Change();
  void ListBox2Click();
  void ListBox2ClickCheck();

 protected:
  void showEvent(QShowEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void build_toolbar();
  void build_pages();
  void build_paths();
  void build_progress_bar();
  QWidget* control(std::string_view name) const;
  // Binds a button's click to a handler run through guarded().
  void on_click(QAbstractButton* button, void (Tutil::*handler)());
  // Steps shared by the browse buttons; false when the folder is missing.
  bool browse_to(FlatButton* button, const std::string& folder, const char* invalid_message);
  // The Wine prefixes and the simulators in them, offered as drives: looked
  // for on a thread of their own, so that a slow disk never holds up the
  // window; the result arrives queued. Before the chooser opens, it waits
  // for them.
  void find_simulators();
  void simulators_found(std::vector<WinePrefix> prefixes, std::vector<SimulatorRoot> roots);
  void import_pending();
  void keep_on_screen();
  // The controls in a scroll area, the window at its design size where the
  // screen's free area holds it, else smaller and scrolled.
  void place_in_scroll_area();
  void fit_to_screen();
  // The panel behind the simulator rows, and the "Multi select" caption in
  // a colour that reads on it.
  void set_panel_colour(const QColor& colour);
  void wire_paste_progress();
  // "Check" of the file list and "Check airplane" of the catalogue.
  void wire_check();
  void show_check(const CheckReport& report);

  QScrollArea* scroll_ = nullptr;
  QWidget* content_ = nullptr;
  Shared shared_;
  std::string help_folder_;
  Ui* dialogs_;
  ZipMaster ZipMaster1;
  bool activated_ = false;
  // While an Unzip run or a paste lets window messages through, only Cancel
  // takes input.
  CancelOnlyFilter* cancel_filter_ = nullptr;
  bool paste_cancel_ = false;
  qint64 paste_total_ = 1;
  int command_depth_ = 0;  // guarded() calls running, nested by event pumping
  std::vector<std::string> pending_archives_;
  bool told_to_choose_ = false;  // for the archives waiting now
  std::thread simulator_scan_;   // joined before the chooser and at the end

 public:
  // Controls, by their names.
  GradientPanel* BFSPanelGradient1;
  QToolButton* SpeedButton5;
  QToolButton* SpeedButton10;
  QToolButton* SpeedButton8;
  QToolButton* Btn1LevelUp;
  QToolButton* SpeedButton7;
  QToolButton* SpeedButton4;
  QToolButton* SpeedButton40;
  QToolButton* BtnRefresh;
  QToolButton* SpeedButton9;
  QToolButton* SpeedButton6;

  QTabWidget* PageControl1;
  QWidget* TabSheet1;
  QWidget* TabSheet2;
  QWidget* TabSheet4;
  QWidget* TabSheet3;

  FileListView* LsFilelistView_util;
  PictureView* AdvImage3;
  QWidget* Panel3;
  QLabel* Label1;
  QLineEdit* Edit1;
  QToolButton* SpeedButton11;
  QToolButton* SpeedButton12;
  QLabel* Label2;
  QLineEdit* Edit2;
  QStatusBar* StatusBar1;
  // Beside the status line: the clicked package's check count, a click
  // away from its findings.
  QToolButton* CheckNotice;
  std::string check_notice_package_;

  PictureView* AdvImage1;
  QListWidget* ListBox1;
  QMenu* PopupMenu1;
  QMenu* Stretch1;
  QAction* On1;
  QAction* Off1;

  QListWidget* ListBox2;
  PictureView* AdvImage2;
  QToolButton* SpeedButton2;
  QToolButton* SpeedButton3;
  QListWidget* ListBox3;
  QLineEdit* Edit3;
  QToolButton* SpeedButton1;

  GradientPanel* BFSBackground1;
  FlatButton* FlatButton1;
  QLineEdit* e_fs_path;
  FlatButton* FlatButton2;
  QLineEdit* edit_download;
  FlatButton* FlatButton3;
  QLineEdit* edit_unzip;
  QRadioButton* fs2002x;
  QRadioButton* fs2004x;
  QCheckBox* prompt;
  QProgressBar* ProgressBar1;

  TForm1* Form1;
  TForm2* Form2;
  // The help viewer, once Help has opened it; it goes with "exit".
  HelpWindow* help_window = nullptr;
  // The airplane check's findings, once a check has opened it.
  CheckWindow* check_window = nullptr;
};

}  // namespace wingstow

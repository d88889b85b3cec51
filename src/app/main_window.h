#pragma once

#include <QWidget>
#include <functional>
#include <memory>

#include "packages/zip_master.h"
#include "settings/shared.h"
#include "settings/ui.h"

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QProgressBar;
class QRadioButton;
class QStatusBar;
class QTabWidget;
class QToolButton;

namespace wingstow {

class FileListView;
class FlatButton;
class GradientPanel;
class PictureView;
class TForm1;
class TForm2;

// The main window. It is also the engine's Ui: controls are reached by their
// object names, messages are real modal boxes (or, in tests, go to the
// recorder given at construction).
class Tutil : public QWidget, public Ui {
  Q_OBJECT

 public:
  // program_folder: home of the settings file and the working folders, with
  // its trailing separator. dialogs: when given, messages go there instead of
  // message boxes.
  explicit Tutil(std::string program_folder, Ui* dialogs = nullptr);
  ~Tutil() override;

  Shared& shared() { return shared_; }
  ZipMaster& zip_master() { return ZipMaster1; }
  bool activated() const { return activated_; }

  // Runs a handler so that no exception crosses the event loop: a failure
  // restores the window and is shown in the application's error box.
  void guarded(const std::function<void()>& handler);

  // Ui
  Answer message(MessageKind kind, std::string_view text, Buttons buttons) override;
  void status(std::string_view text) override;
  void set_enabled(std::string_view control, bool enabled) override;
  void set_text(std::string_view control, std::string_view text) override;
  void show_folder(std::string_view folder) override;
  std::string list_directory() override;
  void set_active_page(std::string_view page) override;
  void set_catalogue(const std::vector<std::string>& entries) override;
  std::vector<std::string> catalogue() override;
  std::optional<std::string> run_chooser(std::string_view caption) override;
  void progress_animation(Animation animation) override;
  void progress_start() override;
  void progress_stop() override;
  void progress_caption(std::string_view caption) override;
  void progress_show() override;
  void progress_close() override;
  bool prompt_checked() override;
  std::string simulator_tag() override;
  void pump() override;

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
  void ListBox1Click();
  void On1Click();
  void Off1Click();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void build_toolbar();
  void build_pages();
  void build_paths();
  QWidget* control(std::string_view name) const;
  // Steps shared by the browse buttons; false when the folder is missing.
  bool browse_to(FlatButton* button, const std::string& folder, const char* invalid_message);

  Shared shared_;
  Ui* dialogs_;
  ZipMaster ZipMaster1;
  bool activated_ = false;

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
};

}  // namespace wingstow

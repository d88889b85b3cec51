#pragma once

// The main window's own state as the window commands read and set it: its
// controls, the file list, the pictures, the catalogue and the chooser. A Ui
// is that window together with the feedback every command gives; the main
// window implements it with real widgets, the tests with a recorder.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/feedback.h"

namespace wingstow {

// The controls the engine reads and sets, keyed by their object names
// ("SpeedButton7", "edit_unzip", ...), so that the compiler checks them;
// util is the main window itself, TabSheet1 to TabSheet3 the pages.
enum class Control {
  AdvImage1,
  AdvImage2,
  AdvImage3,
  BitBtn1,
  Btn1LevelUp,
  BtnRefresh,
  Edit1,
  Edit2,
  Edit3,
  FlatButton1,
  FlatButton2,
  FlatButton3,
  LsFilelistView_util,
  SpeedButton1,
  SpeedButton2,
  SpeedButton3,
  SpeedButton5,
  SpeedButton6,
  SpeedButton7,
  SpeedButton8,
  SpeedButton9,
  SpeedButton10,
  SpeedButton11,
  SpeedButton12,
  SpeedButton40,
  TabSheet1,
  TabSheet2,
  TabSheet3,
  e_fs_path,
  edit_download,
  edit_unzip,
  fs2002x,
  fs2004x,
  prompt,
  util,
};

// The control's object name, as the window's widgets carry it.
constexpr std::string_view control_name(Control control) {
  switch (control) {
    case Control::AdvImage1:
      return "AdvImage1";
    case Control::AdvImage2:
      return "AdvImage2";
    case Control::AdvImage3:
      return "AdvImage3";
    case Control::BitBtn1:
      return "BitBtn1";
    case Control::Btn1LevelUp:
      return "Btn1LevelUp";
    case Control::BtnRefresh:
      return "BtnRefresh";
    case Control::Edit1:
      return "Edit1";
    case Control::Edit2:
      return "Edit2";
    case Control::Edit3:
      return "Edit3";
    case Control::FlatButton1:
      return "FlatButton1";
    case Control::FlatButton2:
      return "FlatButton2";
    case Control::FlatButton3:
      return "FlatButton3";
    case Control::LsFilelistView_util:
      return "LsFilelistView_util";
    case Control::SpeedButton1:
      return "SpeedButton1";
    case Control::SpeedButton2:
      return "SpeedButton2";
    case Control::SpeedButton3:
      return "SpeedButton3";
    case Control::SpeedButton5:
      return "SpeedButton5";
    case Control::SpeedButton6:
      return "SpeedButton6";
    case Control::SpeedButton7:
      return "SpeedButton7";
    case Control::SpeedButton8:
      return "SpeedButton8";
    case Control::SpeedButton9:
      return "SpeedButton9";
    case Control::SpeedButton10:
      return "SpeedButton10";
    case Control::SpeedButton11:
      return "SpeedButton11";
    case Control::SpeedButton12:
      return "SpeedButton12";
    case Control::SpeedButton40:
      return "SpeedButton40";
    case Control::TabSheet1:
      return "TabSheet1";
    case Control::TabSheet2:
      return "TabSheet2";
    case Control::TabSheet3:
      return "TabSheet3";
    case Control::e_fs_path:
      return "e_fs_path";
    case Control::edit_download:
      return "edit_download";
    case Control::edit_unzip:
      return "edit_unzip";
    case Control::fs2002x:
      return "fs2002x";
    case Control::fs2004x:
      return "fs2004x";
    case Control::prompt:
      return "prompt";
    case Control::util:
      return "util";
  }
  return {};
}

class Window {
 public:
  virtual ~Window() = default;

  virtual void set_enabled(Control control, bool enabled) = 0;
  virtual void set_text(Control control, std::string_view text) = 0;

  // The file list LsFilelistView_util. Items are counted in display order;
  // each has its full path, caption and highlighted state.
  virtual void show_folder(std::string_view folder) = 0;
  virtual std::string list_directory() = 0;
  virtual std::string list_selected_item() = 0;
  virtual int list_count() = 0;
  virtual std::string list_item_path(int index) = 0;
  virtual std::string list_item_caption(int index) = 0;
  virtual void set_list_item_caption(int index, std::string_view caption) = 0;
  virtual bool list_item_highlighted(int index) = 0;
  virtual void set_list_item_highlighted(int index, bool highlighted) = 0;
  // Re-reads the folder: real captions back, nothing highlighted.
  virtual void list_refresh() = 0;
  // A tooltip on an entry, beside what the entry tells of itself; empty takes
  // it away. Until the next listing.
  virtual void set_list_item_tooltip(int /*index*/, std::string_view /*text*/) {}
  // The airplane check's count for a package folder, beside the status line,
  // where a click opens its findings; empty text takes it away.
  virtual void set_check_notice(std::string_view /*text*/, std::string_view /*package*/) {}
  virtual void set_list_multi_select(bool multi) = 0;

  // Picture controls (AdvImage1, AdvImage2, AdvImage3) and the picture list
  // ListBox1.
  virtual void load_picture(Control control, std::string_view path) = 0;
  virtual void clear_picture(Control control) = 0;
  virtual void set_picture_list(const std::vector<std::string>& paths) = 0;

  // Makes a page of PageControl1 (TabSheet1, ...) the active one.
  virtual void set_active_page(Control page) = 0;

  // The catalogue ListBox2: entries are kept sorted without regard to case,
  // each one unchecked.
  virtual void set_catalogue(const std::vector<std::string>& entries) = 0;
  virtual std::vector<std::string> catalogue() = 0;
  // Check marks of ListBox2 by index. Marks set from code raise no
  // ListBox2ClickCheck.
  virtual bool catalogue_checked(int index) = 0;
  virtual void set_catalogue_checked(int index, bool checked) = 0;
  // The selected entry of ListBox2, -1 when none.
  virtual int catalogue_index() = 0;
  // ListBox3: the names found by the last search, shown in the given order.
  virtual void set_found_list(const std::vector<std::string>& names) = 0;
  // The text of a one-line text box (Edit3, ...).
  virtual std::string text_of(Control control) = 0;

  // Shows the chooser Form2 modally with this caption and its folder tree
  // enabled; the selected folder (no trailing separator) when it ends with
  // OK, nothing otherwise. found_roots: the simulator roots found on the disk
  // for this simulator, offered first, the first one already selected.
  virtual std::optional<std::string> run_chooser(std::string_view caption,
                                                 const std::vector<std::string>& found_roots) = 0;
  // Returns once shared's Wine prefixes and simulator roots are those found
  // at start: a front end that looks for them in the background waits for
  // that look here, where they are first needed.
  virtual void await_simulator_finds() {}
};

class Ui : public Feedback, public Window {
 public:
  Window* window() override { return this; }
};

// The highlighted entries of the file list, in list order: each one's index
// in the list and its path.
struct ListSelection {
  std::vector<int> items;
  std::vector<std::string> paths;
};

inline ListSelection highlighted_entries(Window& ui) {
  ListSelection selection;
  for (int i = 0; i < ui.list_count(); ++i) {
    if (!ui.list_item_highlighted(i)) continue;
    selection.items.push_back(i);
    selection.paths.push_back(ui.list_item_path(i));
  }
  return selection;
}

}  // namespace wingstow

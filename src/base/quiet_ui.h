#pragma once

// A Ui with no window behind it: nothing is shown, the file list and the
// catalogue are empty, questions get OK or Yes, and there is no chooser.
// Front ends without a window (a dry run, the command line, benchmarks)
// override what they need.

#include "base/ui.h"

namespace wingstow {

class QuietUi : public Ui {
 public:
  Answer message(MessageKind, std::string_view, Buttons buttons) override {
    return buttons == Buttons::yes_no ? Answer::yes : Answer::ok;
  }
  void status(std::string_view) override {}
  void set_enabled(Control, bool) override {}
  void set_text(Control, std::string_view) override {}
  void show_folder(std::string_view) override {}
  std::string list_directory() override { return {}; }
  std::string list_selected_item() override { return {}; }
  int list_count() override { return 0; }
  std::string list_item_path(int) override { return {}; }
  std::string list_item_caption(int) override { return {}; }
  void set_list_item_caption(int, std::string_view) override {}
  bool list_item_highlighted(int) override { return false; }
  void set_list_item_highlighted(int, bool) override {}
  void list_refresh() override {}
  void set_list_multi_select(bool) override {}
  void load_picture(Control, std::string_view) override {}
  void clear_picture(Control) override {}
  void set_picture_list(const std::vector<std::string>&) override {}
  void set_progress_bar(int, int) override {}
  void set_wait_cursor(bool) override {}
  void set_active_page(Control) override {}
  void set_catalogue(const std::vector<std::string>&) override {}
  std::vector<std::string> catalogue() override { return {}; }
  bool catalogue_checked(int) override { return false; }
  void set_catalogue_checked(int, bool) override {}
  int catalogue_index() override { return -1; }
  void set_found_list(const std::vector<std::string>&) override {}
  std::string text_of(Control) override { return {}; }
  std::optional<std::string> run_chooser(std::string_view,
                                         const std::vector<std::string>&) override {
    return std::nullopt;
  }
  void progress_animation(Animation) override {}
  void progress_start() override {}
  void progress_stop() override {}
  void progress_caption(std::string_view) override {}
  void progress_show() override {}
  void progress_close() override {}
  bool prompt_checked() override { return false; }
  std::string simulator_tag() override { return {}; }
  std::optional<std::string> input_text(std::string_view, std::string_view, bool) override {
    return std::nullopt;
  }
  void pump() override {}
  void process_messages() override {}
};

}  // namespace wingstow

#pragma once

// The engine's Ui on a terminal: messages on standard error with their kind,
// questions answered by --yes or --no or asked on the terminal, a progress
// bar when standard error is a terminal. The window's lists and pictures do
// not exist here: what only changes them is ignored, and reading them is a
// fault of the caller.

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/ui.h"

namespace wingstow::cli {

// Thrown by a question that has no answer: neither --yes nor --no was given
// and standard input is no terminal. Deliberately no std::exception, so that
// no engine routine takes it for a failure of its own and carries on.
struct UnansweredQuestion {
  std::string text;
};

// "warning", "error", "information", ...
std::string_view kind_name(MessageKind kind);

struct ConsoleSettings {
  std::string tag;             // "fs2002" or "fs2004"
  std::optional<bool> answer;  // --yes (true) or --no (false)
  bool quiet = false;          // no status lines, no progress bar
  bool interactive = false;    // questions may be asked on standard input
  bool progress = false;       // standard error is a terminal
  std::FILE* err = stderr;
};

class ConsoleUi : public Ui {
 public:
  explicit ConsoleUi(ConsoleSettings settings);
  ~ConsoleUi() override;

  // Everything said, in order, for --json.
  struct Said {
    MessageKind kind;
    std::string text;
    std::string answer;  // "yes", "no", "ok", "cancel" for questions; empty otherwise
  };
  const std::vector<Said>& messages() const { return messages_; }
  const std::vector<std::string>& statuses() const { return statuses_; }
  // Questions met that nobody could answer (a password without a terminal).
  const std::vector<std::string>& unanswered() const { return unanswered_; }

  // A line of the command itself on standard error (a summary, a refusal),
  // clearing the progress bar first.
  void say(std::string_view text);

  Answer message(MessageKind kind, std::string_view text, Buttons buttons) override;
  void status(std::string_view text) override;
  void set_enabled(std::string_view, bool) override {}
  void set_text(std::string_view, std::string_view) override {}

  void show_folder(std::string_view) override {}
  std::string list_directory() override;
  std::string list_selected_item() override;
  int list_count() override;
  std::string list_item_path(int index) override;
  std::string list_item_caption(int index) override;
  void set_list_item_caption(int, std::string_view) override {}
  bool list_item_highlighted(int index) override;
  void set_list_item_highlighted(int, bool) override {}
  void list_refresh() override {}
  void set_list_multi_select(bool) override {}

  void load_picture(std::string_view, std::string_view) override {}
  void clear_picture(std::string_view) override {}
  void set_picture_list(const std::vector<std::string>&) override {}

  void set_progress_bar(int maximum, int position) override;
  void set_wait_cursor(bool) override {}
  void set_active_page(std::string_view) override {}

  void set_catalogue(const std::vector<std::string>&) override {}
  std::vector<std::string> catalogue() override;
  bool catalogue_checked(int index) override;
  void set_catalogue_checked(int, bool) override {}
  int catalogue_index() override;
  void set_found_list(const std::vector<std::string>&) override {}
  std::string text_of(std::string_view) override { return {}; }

  std::optional<std::string> run_chooser(std::string_view caption,
                                         const std::vector<std::string>& found_roots) override;

  void progress_animation(Animation) override {}
  void progress_start() override {}
  void progress_stop() override {}
  void progress_caption(std::string_view caption) override;
  void progress_show() override {}
  void progress_close() override { clear_line(); }

  bool prompt_checked() override { return false; }
  std::string simulator_tag() override { return settings_.tag; }

  std::optional<std::string> input_text(std::string_view caption, std::string_view prompt,
                                        bool secret) override;

  void pump() override {}
  void process_messages() override {}

 private:
  // Reads a line from standard input; nothing at its end.
  std::optional<std::string> read_line(bool secret);
  Answer ask(MessageKind kind, std::string_view question, Buttons buttons);
  void print(std::string_view text);
  void draw_line(const std::string& text);
  void clear_line();

  ConsoleSettings settings_;
  std::vector<Said> messages_;
  std::vector<std::string> statuses_;
  std::vector<std::string> unanswered_;
  std::string caption_;
  bool line_drawn_ = false;
  int last_percent_ = -1;
};

}  // namespace wingstow::cli

#pragma once

// Feedback that shows nothing: questions get OK or Yes, no text is asked
// for, and no window follows. Front ends without a window (a dry run, the
// command line) override what they need; QuietFeedbackOf<Ui> is the same for
// a stand-in of the whole window (benchmarks).

#include "base/feedback.h"

namespace wingstow {

template <class Interface>
class QuietFeedbackOf : public Interface {
 public:
  Answer message(MessageKind, std::string_view, Buttons buttons) override {
    return buttons == Buttons::yes_no ? Answer::yes : Answer::ok;
  }
  void status(std::string_view) override {}
  void set_progress_bar(int, int) override {}
  void set_wait_cursor(bool) override {}
  void progress_animation(Animation) override {}
  void progress_start() override {}
  void progress_stop() override {}
  void progress_caption(std::string_view) override {}
  void progress_show() override {}
  void progress_close() override {}
  std::optional<std::string> input_text(std::string_view, std::string_view, bool) override {
    return std::nullopt;
  }
  void pump() override {}
  void process_messages() override {}
  std::string simulator_tag() override { return {}; }
  bool prompt_checked() override { return false; }
};

using QuietFeedback = QuietFeedbackOf<Feedback>;

}  // namespace wingstow

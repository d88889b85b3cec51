#include "support/recording_ui.h"

namespace wingstow::test {

std::vector<std::string> RecordingUi::message_texts() const {
  std::vector<std::string> texts_out;
  for (const auto& m : messages) texts_out.push_back(m.text);
  return texts_out;
}

std::optional<bool> RecordingUi::enabled_state(const std::string& control) const {
  auto it = enabled.find(control);
  if (it == enabled.end()) return std::nullopt;
  return it->second;
}

Answer RecordingUi::message(MessageKind kind, std::string_view text, Buttons buttons) {
  messages.push_back({kind, std::string(text), buttons});
  if (!answers.empty()) {
    Answer answer = answers.front();
    answers.pop_front();
    return answer;
  }
  return buttons == Buttons::yes_no ? Answer::yes : Answer::ok;
}

std::optional<std::string> RecordingUi::run_chooser(std::string_view caption) {
  chooser_captions.emplace_back(caption);
  if (chooser_results.empty()) return std::nullopt;
  auto result = chooser_results.front();
  chooser_results.pop_front();
  return result;
}

void RecordingUi::progress_animation(Animation animation) {
  progress.emplace_back(animation == Animation::copy_files ? "animation copy" : "animation delete");
}

}  // namespace wingstow::test

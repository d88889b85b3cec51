#include "support/recording_ui.h"

#include <algorithm>

#include "platform/files.h"

namespace wingstow::test {

void RecordingUi::show_folder(std::string_view folder) {
  folders_shown.emplace_back(folder);
  if (directory == folder) return;  // the same folder is not read again
  directory = std::string(folder);
  list_refresh();
}

void RecordingUi::list_refresh() {
  ++refreshes;
  items.clear();
  if (directory == "Drives") return;
  items.push_back({directory + "..", " Parent", false});
  auto entries = platform::find_entries(directory, "*.*", platform::attr_any);
  std::stable_partition(entries.begin(), entries.end(), [](const platform::DirEntry& e) {
    return (e.attributes & platform::attr_directory) != 0;
  });
  for (const auto& e : entries)
    if (e.name != "." && e.name != "..") items.push_back({directory + e.name, e.name, false});
}

int RecordingUi::index_of(const std::string& name) const {
  for (std::size_t i = 0; i < items.size(); ++i)
    if (items[i].path == directory + name) return static_cast<int>(i);
  return -1;
}

void RecordingUi::click(const std::string& name) {
  const int index = index_of(name);
  if (!multi_select)
    for (auto& item : items) item.highlighted = false;
  if (index >= 0) items[index].highlighted = true;
  selected_item = directory + name;
}

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

std::optional<std::string> RecordingUi::run_chooser(std::string_view caption,
                                                    const std::vector<std::string>& found_roots) {
  chooser_captions.emplace_back(caption);
  chooser_found_roots.push_back(found_roots);
  if (chooser_results.empty()) return std::nullopt;
  auto result = chooser_results.front();
  chooser_results.pop_front();
  return result;
}

std::optional<std::string> RecordingUi::input_text(std::string_view caption,
                                                   std::string_view prompt_text, bool) {
  input_prompts.push_back(std::string(caption) + "|" + std::string(prompt_text));
  if (inputs.empty()) return std::nullopt;
  auto answer = inputs.front();
  inputs.pop_front();
  return answer;
}

void RecordingUi::progress_animation(Animation animation) {
  progress.emplace_back(animation == Animation::copy_files ? "animation copy" : "animation delete");
}

}  // namespace wingstow::test

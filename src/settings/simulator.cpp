#include "settings/simulator.h"

#include <filesystem>
#include <system_error>
#include <utility>

#include "base/ui.h"
#include "platform/error.h"
#include "platform/files.h"
#include "settings/record_index.h"

namespace wingstow {

std::int64_t free_space_kb(const Shared& shared) {
  // Integer division rounds toward zero, so a failed query (-1) gives 0.
  return platform::free_bytes(shared.fs_path) / 1024;
}

std::string size_text(std::int64_t kib) { return std::to_string(kib / 1024) + " Mb"; }

std::string free_space_text(const Shared& shared) { return size_text(free_space_kb(shared)); }

void refresh_catalogue(Shared& shared, Feedback& ui, const RecordIndex* read_already) {
  RecordFolder folder = list_records(shared.unzip_path, read_already);
  if (Window* window = ui.window()) window->set_catalogue(folder.records);
  // Told once, not at every refresh, until the files change.
  std::string notice = not_records_text(folder.not_records);
  if (notice == shared.catalogue_notice) return;
  shared.catalogue_notice = std::move(notice);
  if (!shared.catalogue_notice.empty()) ui.status(shared.catalogue_notice);
}

std::string storing_refusal(platform::IniWrite stored) {
  if (stored == platform::IniWrite::written) return {};
  return stored == platform::IniWrite::line_break
             ? "its name holds a line break"
             : "the settings file would not give it back unchanged";
}

namespace {

std::string key_of(std::string_view tag) { return "fs_path_" + std::string(tag.substr(2)); }

}  // namespace

std::string stored_simulator_folder(const Shared& shared, std::string_view tag) {
  const std::string folder =
      shared.settings_file.read(settings_section, key_of(tag), settings_default);
  return folder == settings_default ? std::string() : folder;
}

std::string simulator_folder_refusal(const Shared& shared, std::string_view tag,
                                     const std::string& folder) {
  if (!platform::folder_exists(folder)) return "there is no such folder";
  if (!is_simulator_root(folder))
    return "it is not a simulator's folder: it must hold the folders Aircraft, Gauges, Sound, "
           "Effects, Modules and Flights";
  const std::string other = tag == "fs2002" ? "fs2004" : "fs2002";
  if (platform::with_trailing_separator(folder) == stored_simulator_folder(shared, other))
    return "it is already the " + other + " folder";
  return {};
}

std::string store_simulator_folder(Shared& shared, std::string_view tag,
                                   const std::string& folder) {
  if (std::string why = simulator_folder_refusal(shared, tag, folder); !why.empty()) return why;
  const std::string chosen = platform::with_trailing_separator(folder);
  // On a first use the program folder itself may not be there yet.
  std::error_code error;
  std::filesystem::create_directories(shared.program_folder, error);
  if (error && !platform::folder_exists(shared.program_folder))
    throw Error("Impossible de créer " + shared.program_folder + " (" + error.message() + ")");
  if (std::string why =
          storing_refusal(shared.settings_file.write(settings_section, key_of(tag), chosen));
      !why.empty())
    return why;
  shared.settings_file.write(settings_section, key_fs_start, tag);
  return {};
}

std::optional<SimulatorRoot> adopt_found_simulator(Shared& shared,
                                                   const std::vector<SimulatorRoot>& roots) {
  if (roots.size() != 1) return std::nullopt;
  for (const char* tag : {"fs2002", "fs2004"})
    if (!stored_simulator_folder(shared, tag).empty()) return std::nullopt;
  if (!store_simulator_folder(shared, roots.front().tag, roots.front().root).empty())
    return std::nullopt;
  return roots.front();
}

}  // namespace wingstow

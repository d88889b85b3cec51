#pragma once

// The settings of the simulator folder, its free room, and the catalogue of
// records that follows a change of disk content.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/feedback.h"
#include "platform/ini_file.h"
#include "settings/shared.h"
#include "settings/wine.h"

namespace wingstow {

inline constexpr std::string_view settings_section = "main_path";
inline constexpr std::string_view settings_default = "valeur";
inline constexpr std::string_view key_fs_start = "fs_start";

// Free kibibytes on the file system that holds the simulator folder; 0 when
// it cannot be asked.
std::int64_t free_space_kb(const Shared& shared);

// Kibibytes shown as whole mebibytes: "1023 Mb".
std::string size_text(std::int64_t kib);

// The text of Edit2: size_text(free_space_kb()).
std::string free_space_text(const Shared& shared);

class RecordIndex;  // settings/record_index.h

// Rebuilds the catalogue ListBox2, when there is a window, from the records
// lying in unzip_path; the text files there that are no record are named on
// the status line once, until they change. read_already: as list_records
// takes it.
void refresh_catalogue(Shared& shared, Feedback& ui, const RecordIndex* read_already = nullptr);

// Why the settings file cannot hold a folder it was given, or "" when it
// was written.
std::string storing_refusal(platform::IniWrite stored);

// The folder the settings hold for the simulator tag, or "" when none.
std::string stored_simulator_folder(const Shared& shared, std::string_view tag);

// Why folder cannot be the folder of the simulator tag, or "" when it can:
// it must hold the six folders the chooser asks for and must not be the
// other simulator's folder.
std::string simulator_folder_refusal(const Shared& shared, std::string_view tag,
                                     const std::string& folder);

// Stores folder (with its trailing separator) as the folder of the
// simulator tag and tag as the simulator to start with, once
// simulator_folder_refusal() has nothing against it; the refusal otherwise,
// or why the settings file cannot hold it. Throws Error when the settings
// file cannot be written.
std::string store_simulator_folder(Shared& shared, std::string_view tag, const std::string& folder);

// On a first use, when neither simulator has a folder yet and the Wine
// prefixes hold exactly one simulator: that one, stored as by
// store_simulator_folder(). Nothing otherwise.
std::optional<SimulatorRoot> adopt_found_simulator(Shared& shared,
                                                   const std::vector<SimulatorRoot>& roots);

}  // namespace wingstow

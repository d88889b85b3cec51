#pragma once

// The settings of the simulator folder, its free room, and the catalogue of
// records that follows a change of disk content.

#include <cstdint>
#include <string>
#include <string_view>

#include "base/feedback.h"
#include "settings/shared.h"

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

// Rebuilds the catalogue ListBox2, when there is a window, from the records
// lying in unzip_path; the text files there that are no record are named on
// the status line once, until they change.
void refresh_catalogue(Shared& shared, Feedback& ui);

}  // namespace wingstow

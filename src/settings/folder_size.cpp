#include "settings/folder_size.h"

#include <string>

#include "platform/files.h"

namespace wingstow {

std::int64_t folder_size(std::string_view path, bool recurse) {
  if (path.empty()) return 0;
  const std::string folder = platform::with_trailing_separator(std::string(path));
  std::int64_t total = 0;
  for (const auto& entry : platform::find_entries(folder, "*.*", platform::attr_any)) {
    total += static_cast<std::int64_t>(entry.size);
    if (recurse && (entry.attributes & platform::attr_directory) && entry.name[0] != '.' &&
        !entry.link)
      total += folder_size(folder + entry.name, true);
  }
  return total;
}

}  // namespace wingstow

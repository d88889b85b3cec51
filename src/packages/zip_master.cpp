#include "packages/zip_master.h"

#include <zip.h>

#include <charconv>

#include "platform/environment.h"

namespace wingstow {

ZipMaster::ZipMaster(Feedback& ui) : ui_(ui) {}

unsigned ZipMaster::default_workers() { return platform::usable_cores() >= 2 ? 2u : 1u; }

int ZipMaster::parse_version(std::string_view text) {
  int parts[3] = {0, 0, 0};
  std::size_t index = 0;
  const char* p = text.data();
  const char* end = text.data() + text.size();
  while (index < 3) {
    int value = 0;
    auto [next, ec] = std::from_chars(p, end, value);
    if (ec != std::errc() || value < 0 || value > 99) return 0;
    parts[index++] = value;
    if (next == end || *next != '.') break;
    p = next + 1;
  }
  return zip_version_number(parts[0], parts[1], parts[2]);
}

std::string ZipMaster::library_version() {
  const char* version = zip_libzip_version();
  return version ? version : "";
}

int ZipMaster::load(std::string_view name, std::string_view version_text) {
  const int version = parse_version(version_text);
  if (version == 0) {
    if (!Unattended)
      ui_.message(MessageKind::error, "Failed to load " + std::string(name), Buttons::ok);
    return 0;
  }
  if (version < minimum_version) {
    if (!Unattended)
      ui_.message(MessageKind::error,
                  "Unable to load " + std::string(name) + " " + std::string(version_text) +
                      " - It is old or corrupt",
                  Buttons::ok);
    return 0;
  }
  return version;
}

}  // namespace wingstow

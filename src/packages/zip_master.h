#pragma once

// The archive component of the main window. Extraction goes through libzip;
// loading checks that the libzip the program runs with is new enough for the
// features it relies on (encrypted entries, entry-by-entry reads with CRC
// checks), and reports an older one as unusable without stopping the program.

#include <string>
#include <string_view>

#include "settings/ui.h"

namespace wingstow {

constexpr int zip_version_number(int major, int minor, int patch) {
  return major * 10000 + minor * 100 + patch;
}

class ZipMaster {
 public:
  // The oldest libzip the program works with, as a version number.
  static constexpr int minimum_version = zip_version_number(1, 7, 0);

  explicit ZipMaster(Ui& ui);

  // "1.7.3" -> 10703; 0 for a text that is no version.
  static int parse_version(std::string_view text);

  // The compression and extraction sides; both are libzip here. A library
  // that is too old is reported and stays unloaded.
  void load_zip_dll() { zip_version_ = load("libzip (compression)", library_version()); }
  void load_unz_dll() { unz_version_ = load("libzip (extraction)", library_version()); }
  void unload_zip_dll() { zip_version_ = 0; }
  void unload_unz_dll() { unz_version_ = 0; }

  // Version of a loaded side, 0 when it is not loaded.
  int zip_dll_version() const { return zip_version_; }
  int unz_dll_version() const { return unz_version_; }

  // With false, the component shows its own failures in message boxes.
  bool Unattended = false;

  // The version text of the libzip linked into the program.
  static std::string library_version();

  // Loads a library of the given version text; its version number, or 0
  // (reported unless Unattended) when it is missing or too old.
  int load(std::string_view name, std::string_view version_text);

 private:
  Ui& ui_;
  int zip_version_ = 0;
  int unz_version_ = 0;
};

}  // namespace wingstow

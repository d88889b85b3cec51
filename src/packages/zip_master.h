#pragma once

// The archive component of the main window. ZIP archives go through libzip,
// 7z and RAR through libarchive (packages/libarchive_backend.cpp);
// loading checks that the libzip the program runs with is new enough for the
// features it relies on (encrypted entries, entry-by-entry reads with CRC
// checks), and reports an older one as unusable without stopping the program.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/feedback.h"

namespace wingstow {

namespace extraction {
class Report;
}

constexpr int zip_version_number(int major, int minor, int patch) {
  return major * 10000 + minor * 100 + patch;
}

class ZipMaster {
 public:
  // The oldest libzip the program works with, as a version number.
  static constexpr int minimum_version = zip_version_number(1, 7, 0);

  explicit ZipMaster(Feedback& ui);

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

  // ---- Extraction

  // The archive. Anything but a regular file (a named pipe, a device) is
  // never opened.
  void setZipFileName(const std::string& path);
  const std::string& ZipFileName() const { return zip_file_name_; }
  // Entry names of the table of contents, as stored (decoded to UTF-8), read
  // when first asked for, not by every Extract: a missing or unreadable
  // archive gives none, and is reported at Extract.
  const std::vector<std::string>& entries() const;

  // The folder receiving the entries; it must exist and must not itself be
  // a symbolic link.
  std::string ExtrBaseDir;
  // Recreate the folders stored in the archive under ExtrBaseDir.
  bool ExtrDirNames = true;
  // Replace existing files without asking.
  bool ExtrOverWrite = true;
  // Threads that read, inflate and write entries while the calling thread
  // serves the window and asks the user: 1 keeps the work on one thread;
  // more than 2 count as 2, each holding an entry inflated in memory.
  // By default as many as the cores this process may run on allow: one
  // core gets one worker, which a second would only slow down.
  unsigned Workers = default_workers();
  static unsigned default_workers();
  // An entry whose data and compressed data fit together in this many bytes
  // is inflated whole in memory; a larger one is streamed in chunks, so that
  // memory stays bounded whatever the archive holds.
  std::uint64_t WholeEntryLimit = 8 * 1024 * 1024;

  // Extracts every entry. 0 on success, -255 (doing nothing) while an
  // extraction runs, another negative code on failure. Failures are shown by
  // the component itself unless Unattended, in one box per call: entries
  // refused or failed are gathered into it (and each goes to the status line
  // as it happens); a failure of the whole has a box of its own.
  int Extract();

  // Results of Extract besides 0.
  static constexpr int extract_busy = -255;
  static constexpr int extract_no_base_dir = -1;
  static constexpr int extract_no_archive = -2;
  static constexpr int extract_unreadable = -3;  // not a zip, damaged table of contents
  static constexpr int extract_refused = -4;     // entries overlap (zip bomb)
  static constexpr int extract_cancelled = -5;
  static constexpr int extract_incomplete = -6;    // some entries refused or failed, others done
  static constexpr int extract_write_failed = -7;  // disk full or read-only: stopped midway

  // Asks the running extraction to stop at its next callback.
  void Cancel() { cancel_requested_ = true; }
  bool cancel_requested() const { return cancel_requested_; }
  bool busy() const { return busy_; }

  // Progress: kind 0 new entry (name, size), 1 bytes processed since the
  // previous event, 2 end of batch, 3 number of entries, 4 total bytes.
  std::function<void(int kind, const std::string& name, std::uint64_t size)> OnProgress;
  // An entry whose CRC-32 does not match; do_extract (true on entry) tells
  // whether to keep it.
  std::function<void(const std::string& name, std::uint32_t found, std::uint32_t expected,
                     bool& do_extract)>
      OnCRC32Error;

  // Folders listed by extractions so far, all components together: each
  // folder an extraction needs is listed once, however many entries it gets.
  static std::uint64_t folder_listings();

  // The version text of the libzip linked into the program.
  static std::string library_version();

  // Loads a library of the given version text; its version number, or 0
  // (reported unless Unattended) when it is missing or too old.
  int load(std::string_view name, std::string_view version_text);

 private:
  class Extraction;  // the state of one Extract call
  // Extract for 7z and RAR archives, through libarchive, and for a ZIP that
  // libzip will not open but libarchive reads (data before the archive).
  int extract_other();
  static constexpr int extract_through_other = -100;
  // An entry whose data does not match its CRC-32, for every back end: the
  // handler's answer, or refused in the report when there is no handler.
  // True when the file is to be left out.
  bool crc_declined(extraction::Report& report, const std::string& name, std::uint32_t found,
                    std::uint32_t expected);

  Feedback& ui_;
  std::string zip_file_name_;
  mutable std::optional<std::vector<std::string>> entries_;
  bool cancel_requested_ = false;
  bool busy_ = false;
  int zip_version_ = 0;
  int unz_version_ = 0;
};

}  // namespace wingstow

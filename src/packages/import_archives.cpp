#include "packages/import_archives.h"

#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

#include "base/path_helpers.h"
#include "packages/entry_names.h"
#include "packages/libarchive_backend.h"
#include "packages/unzip.h"
#include "platform/control_text.h"
#include "platform/files.h"
#include "platform/regular_file.h"

namespace wingstow {
namespace {

// Reads up to size bytes; fewer only at the end of the file.
ssize_t read_full(int fd, char* data, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::read(fd, data + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  return static_cast<ssize_t>(done);
}

// Why a path cannot be taken as an archive; empty when it can. A pipe or a
// device is never opened, so nothing here blocks.
std::string refusal(const std::string& path) {
  // The name is what arrives in the download folder.
  if (std::string why = name_refusal(last_path_part(path, 0)); !why.empty()) return why;
  // A link handed over is read through.
  const ArchiveFormat format = archive_format(path);
  const std::string kind = format == ArchiveFormat::none
                               ? "an archive"
                               : "a " + std::string(format_name(format)) + " archive";
  const auto check = platform::check_regular_file(path, platform::Links::followed);
  if (check.error == EISDIR) return "a folder, not " + kind;
  if (check.error == EINVAL) return "not a regular file";
  if (!check.regular()) return check.reason;
  if (!is_archive_name(path)) return not_an_archive_name;
  platform::RegularFile file(path, platform::Links::followed);
  if (!file.is_open()) return file.reason();
  std::string magic;
  if (const int error = file.read_to(magic, 6); error != 0 && error != EFBIG)
    return std::strerror(error);
  // A ZIP may have data before it (a self-extractor's) when it still reads.
  if (!has_signature(format, magic) && !(format == ArchiveFormat::zip && other_reader_takes(path)))
    return "not " + kind;
  return {};
}

bool same_content(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
  if (sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino) return true;
  if (!S_ISREG(sa.st_mode) || !S_ISREG(sb.st_mode) || sa.st_size != sb.st_size) return false;
  const platform::RegularFile fa(a, platform::Links::followed), fb(b, platform::Links::followed);
  if (!fa.is_open() || !fb.is_open()) return false;
  std::array<char, 64 * 1024> ba, bb;
  for (;;) {
    const ssize_t na = read_full(fa.fd(), ba.data(), ba.size());
    const ssize_t nb = read_full(fb.fd(), bb.data(), bb.size());
    if (na < 0 || nb < 0 || na != nb) return false;
    if (na == 0) return true;
    if (std::memcmp(ba.data(), bb.data(), static_cast<std::size_t>(na)) != 0) return false;
  }
}

}  // namespace

ImportOutcome import_archives(const std::string& download_folder,
                              const std::vector<std::string>& archives,
                              const std::function<void()>& between_chunks) {
  ImportOutcome outcome;
  for (const std::string& archive : archives) {
    // Failures name the path as handed over, its control bytes written out.
    const std::string named = platform::escape_controls(archive);
    if (const std::string why = refusal(archive); !why.empty()) {
      outcome.failures.push_back(named + ": " + why);
      continue;
    }
    const std::string target =
        platform::with_trailing_separator(download_folder) + last_path_part(archive, 0);
    // Read through a link the user handed over; only the target is written,
    // and never through one.
    char real[PATH_MAX];
    const std::string source = ::realpath(archive.c_str(), real) ? std::string(real) : archive;
    const auto copied = platform::copy_file(source, target, between_chunks);
    if (copied.status == platform::CopyStatus::copied) {
      outcome.arrived.push_back(target);
      ++outcome.copied;
      continue;
    }
    if (copied.status == platform::CopyStatus::target_exists) {
      // The name may be taken in another letter case.
      const std::string there = platform::resolve(target);
      if (same_content(source, there)) {
        outcome.arrived.push_back(there);
        continue;
      }
      outcome.failures.push_back(named + ": another file named " +
                                 platform::escape_controls(last_path_part(there, 0)) +
                                 " is already in the download folder");
      continue;
    }
    outcome.failures.push_back(named + ": " + std::strerror(copied.error));
  }
  return outcome;
}

void report_import(Feedback& ui, const std::string& download_folder, const ImportOutcome& outcome) {
  const std::size_t already = outcome.arrived.size() - outcome.copied;
  std::string text = std::to_string(outcome.copied) + " archive(s) copied into " + download_folder;
  if (already > 0) text += ", " + std::to_string(already) + " already there";
  if (!outcome.failures.empty())
    text += ", " + std::to_string(outcome.failures.size()) + " not copied";
  ui.status(text);
  if (outcome.failures.empty()) return;
  constexpr std::size_t listed = 10;
  std::string message = std::to_string(outcome.failures.size()) +
                        " archive(s) could not be copied into " + download_folder + ":";
  for (std::size_t i = 0; i < outcome.failures.size() && i < listed; ++i)
    message += "\n" + outcome.failures[i];
  if (outcome.failures.size() > listed)
    message += "\n... and " + std::to_string(outcome.failures.size() - listed) + " more";
  ui.message(MessageKind::warning, message, Buttons::ok);
}

}  // namespace wingstow

#include "install/verify.h"

#include <fcntl.h>
#include <libdeflate.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <optional>
#include <unordered_set>

#include "base/path_helpers.h"
#include "install/fltsim_sections.h"
#include "install/livery_record.h"
#include "packages/cfg_reader.h"
#include "platform/ascii_case.h"
#include "platform/atomic_file.h"
#include "platform/files.h"
#include "platform/folder_listing.h"
#include "platform/regular_file.h"
#include "settings/record.h"
#include "settings/record_index.h"

namespace wingstow {
namespace {

using platform::without_trailing_separators;

struct Sum {
  std::int64_t size = 0;
  std::uint32_t crc = 0;
};

// Size and CRC-32 of an open regular file; the errno of a failed read.
int sum_of(const platform::RegularFile& file, Sum& sum) {
  std::array<char, 256 * 1024> buffer;
  for (;;) {
    const ssize_t n = ::read(file.fd(), buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    if (n == 0) return 0;
    sum.crc = libdeflate_crc32(sum.crc, buffer.data(), static_cast<std::size_t>(n));
    sum.size += n;
  }
}

// A regular file found below a record line, with what lstat told of it.
struct ListedFile {
  std::string path;
  std::uint64_t size = 0;
  std::int64_t mtime_sec = 0;
  std::int64_t mtime_nsec = 0;
};

std::uint64_t sums_reads = 0;

ListedFile listed_file(const std::string& path, const struct stat& st) {
  return {path, static_cast<std::uint64_t>(st.st_size), st.st_mtim.tv_sec, st.st_mtim.tv_nsec};
}

// The regular files at path: itself, or everything below a folder, in a
// stable order. Links are neither followed nor listed. A folder's entries
// are told by the listing itself; only files are looked at, once each.
void files_at(const std::string& path, std::vector<ListedFile>& out, bool known_folder = false) {
  struct stat st;
  if (!known_folder) {
    if (::lstat(path.c_str(), &st) != 0) return;
    if (S_ISREG(st.st_mode)) {
      out.push_back(listed_file(path, st));
      return;
    }
    if (!S_ISDIR(st.st_mode)) return;
  }
  auto entries = platform::list_folder(path);
  std::sort(entries.begin(), entries.end(),
            [](const auto& a, const auto& b) { return a.name < b.name; });
  for (const auto& entry : entries) {
    if (entry.link) continue;
    const std::string below = path + platform::sep + entry.name;
    if (entry.folder) {
      files_at(below, out, true);
    } else if (entry.file && ::lstat(below.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
      out.push_back(listed_file(below, st));
    }
  }
}

// Every regular file below the record's lines, as the sums name them.
std::vector<ListedFile> files_listed(const std::vector<std::string>& lines) {
  std::vector<ListedFile> files;
  for (const std::string& line : lines)
    files_at(platform::resolve(without_trailing_separators(line)), files);
  return files;
}

// Longer than any path; a longer line could only grow without bound.
constexpr std::size_t max_sums_line = 64 * 1024;

// The lines of an open file, each without its line feed, read in chunks so
// that a file of any size costs one buffer.
class LineReader {
 public:
  enum class Got { line, end, too_long, unended, larger, failed };

  LineReader(int fd, std::uint64_t max_bytes) : fd_(fd), max_bytes_(max_bytes) {}

  Got next(std::string& line) {
    line.clear();
    for (;;) {
      const char* begin = buffer_.data() + at_;
      const char* end = buffer_.data() + filled_;
      const char* feed = std::find(begin, end, '\n');
      line.append(begin, feed);
      at_ = static_cast<std::size_t>(feed - buffer_.data());
      if (line.size() > max_sums_line) return Got::too_long;
      if (feed != end) {
        ++at_;
        return Got::line;
      }
      const ssize_t n = ::read(fd_, buffer_.data(), buffer_.size());
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        error_ = errno;
        return Got::failed;
      }
      if (n == 0) return line.empty() ? Got::end : Got::unended;
      at_ = 0;
      filled_ = static_cast<std::size_t>(n);
      // It may have grown since its size was looked at.
      read_ += static_cast<std::uint64_t>(n);
      if (read_ > max_bytes_) return Got::larger;
    }
  }

  int error() const { return error_; }

 private:
  int fd_;
  std::uint64_t max_bytes_;
  std::uint64_t read_ = 0;
  std::array<char, 64 * 1024> buffer_;
  std::size_t at_ = 0;
  std::size_t filled_ = 0;
  int error_ = 0;
};

bool all_digits(std::string_view text, std::size_t max_length) {
  return !text.empty() && text.size() <= max_length &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// An absolute path with no empty, "." or ".." part: nothing that could climb
// out of the line it lies below.
bool plain_path(std::string_view path) {
  if (path.size() < 2 || path.front() != platform::sep) return false;
  if (path.find('\0') != path.npos) return false;
  for (std::size_t at = 1; at <= path.size();) {
    std::size_t end = path.find(platform::sep, at);
    if (end == path.npos) end = path.size();
    const auto part = path.substr(at, end - at);
    if (part.empty() || part == "." || part == "..") return false;
    at = end + 1;
  }
  return true;
}

// "size<TAB>crc32<TAB>path", as write_install_sums writes it.
bool parse_sum(std::string_view line, Sum& sum, std::string_view& path) {
  const auto tab1 = line.find('\t');
  if (tab1 == line.npos) return false;
  const auto tab2 = line.find('\t', tab1 + 1);
  if (tab2 == line.npos) return false;
  const auto size = line.substr(0, tab1);
  const auto crc = line.substr(tab1 + 1, tab2 - tab1 - 1);
  const auto hex = [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); };
  if (!all_digits(size, 18) || crc.size() != 8 || !std::all_of(crc.begin(), crc.end(), hex))
    return false;
  std::from_chars(size.data(), size.data() + size.size(), sum.size);
  std::from_chars(crc.data(), crc.data() + crc.size(), sum.crc, 16);
  path = line.substr(tab2 + 1);
  return plain_path(path);
}

constexpr std::string_view end_mark = "end\t";

// The record's lines, letter case ignored, so that a path of the sums is
// found below the line that lists it.
class ListedLines {
 public:
  explicit ListedLines(const std::vector<std::string>& lines) {
    for (const std::string& line : lines)
      folded_.insert(ascii_lower(without_trailing_separators(line)));
  }

  // The length of path's part that is a record line (path itself, or a
  // folder above it, on a separator); 0 when no line lists it.
  std::size_t covering(std::string_view path) const {
    const std::string folded = ascii_lower(path);
    for (std::size_t length = folded.size(); length > 0;) {
      if (folded_.contains(folded.substr(0, length))) return length;
      const auto cut = folded.rfind(platform::sep, length - 1);
      if (cut == std::string::npos || cut == 0) break;
      length = cut;
    }
    return 0;
  }

 private:
  std::unordered_set<std::string> folded_;
};

// Opens the files the sums name, never through a link below the record
// line that covers them: the sums may name a path that leads out of the
// simulator that way. The folder of the last file stays open for the next.
class SummedFiles {
 public:
  // path's first line_length bytes are its record line.
  platform::RegularFile open(const std::string& path, std::size_t line_length) {
    if (line_length == path.size()) return platform::RegularFile(path);
    const auto slash = path.rfind(platform::sep);
    if (path.compare(0, slash, folder_path_) != 0) {
      folder_path_ = path.substr(0, slash);
      platform::Folder at(path.substr(0, line_length), false);
      for (std::size_t from = line_length + 1; from < slash;) {
        const auto end = path.find(platform::sep, from);
        at = platform::Folder(at, std::string_view(path).substr(from, end - from));
        from = end + 1;
      }
      folder_ = std::move(at);
    }
    return platform::RegularFile(folder_, std::string_view(path).substr(slash + 1));
  }

 private:
  std::string folder_path_;
  platform::Folder folder_;
};

}  // namespace

std::vector<OwnerAnswer> owners_of(const Shared& shared, const std::vector<std::string>& paths) {
  const RecordIndex index = RecordIndex::load(shared.unzip_path);
  const std::string root = without_trailing_separators(shared.fs_path);
  std::vector<OwnerAnswer> answers;
  for (std::string path : paths) {
    std::replace(path.begin(), path.end(), '\\', platform::sep);
    if (path.empty() || path.front() != platform::sep) path = shared.fs_path + path;
    path = without_trailing_separators(path);
    OwnerAnswer answer{path, {}, {}};
    // The line may name the path or a folder above it, up to the root.
    for (std::string at = path;
         at.size() > root.size() && ascii_lower(at).starts_with(ascii_lower(root));) {
      answer.records = index.owners(at);
      if (!answer.records.empty()) {
        answer.listed_as = at;
        break;
      }
      const auto cut = at.rfind(platform::sep);
      if (cut == std::string::npos || cut == 0) break;
      at.resize(cut);
    }
    answers.push_back(std::move(answer));
  }
  return answers;
}

std::string sums_path(const std::string& record) { return record + ".sums"; }

std::uint64_t max_sums_bytes(std::size_t record_lines) {
  return (8 + static_cast<std::uint64_t>(record_lines)) * 1024 * 1024;
}

std::uint64_t install_sums_reads() { return sums_reads; }

int write_install_sums(const std::string& record, const std::function<void()>& between_files,
                       const CopiedSums* copied) {
  const auto lines = record_lines(record);
  const std::string sums = sums_path(record);
  // Sums that miss a file are none: older ones would be taken for these.
  const auto none = [&sums](int error) {
    if (platform::check_regular_file(sums).regular()) platform::delete_file(sums);
    return error;
  };
  std::string text;
  std::size_t count = 0;
  for (const ListedFile& listed : files_listed(lines)) {
    const std::string& file = listed.path;
    // No install brings such a name, and no line could hold it.
    if (file.find('\n') != std::string::npos || !plain_path(file)) return none(EINVAL);
    Sum sum;
    const auto known = copied
                           ? copied->crc_of(file, listed.size, listed.mtime_sec, listed.mtime_nsec)
                           : std::nullopt;
    if (known) {
      sum = {static_cast<std::int64_t>(listed.size), *known};
    } else {
      // Not copied by this run (an earlier, interrupted one), or changed since.
      const platform::RegularFile opened(file);
      if (!opened.is_open()) return none(opened.error());
      ++sums_reads;
      if (const int error = sum_of(opened, sum)) return none(error);
    }
    char crc[9];
    std::snprintf(crc, sizeof crc, "%08x", sum.crc);
    text += std::to_string(sum.size) + "\t" + crc + "\t" + file + "\n";
    ++count;
    if (between_files) between_files();
  }
  // What verify reads to be sure it saw every sum.
  text += std::string(end_mark) + std::to_string(count) + "\n";
  if (text.size() > max_sums_bytes(lines.size())) return none(EFBIG);
  return platform::write_file_atomically(sums, text);
}

namespace {

// Whether an airplane's aircraft.cfg differs from its sum only by the
// sections the liveries of other records added to it.
bool installed_but_for_liveries(const std::string& path, const Sum& want,
                                const std::string& record) {
  if (!same_ignoring_case(last_path_part(path, 0), "aircraft.cfg")) return false;
  std::vector<std::string> titles;
  for (const auto& other : list_records(parent_folder(record)).records) {
    if (same_path(other, record)) continue;
    for (const auto& file : read_added_sections(other).files)
      if (same_path(file.cfg, path))
        titles.insert(titles.end(), file.titles.begin(), file.titles.end());
  }
  if (titles.empty()) return false;
  auto cfg = platform::read_regular_file(path, max_cfg_bytes);
  if (!cfg.ok()) return false;
  std::string bytes = std::move(cfg.text);
  for (auto it = titles.rbegin(); it != titles.rend(); ++it)
    if (auto without = with_section_removed(bytes, *it)) bytes = std::move(*without);
  return static_cast<std::int64_t>(bytes.size()) == want.size &&
         libdeflate_crc32(0, bytes.data(), bytes.size()) == want.crc;
}

// The sections liveries of the record added: each still in its aircraft.cfg.
// Only the aircraft.cfg of an airplane folder that holds a folder the record
// lists is opened: the sections file is plain text anyone can write.
void check_added_sections(const std::string& record, const std::vector<std::string>& lines,
                          VerifyResult& result) {
  const auto added = read_added_sections(record);
  if (!added.failure.empty()) {
    result.failure = added.failure;
    return;
  }
  for (const auto& file : added.files) {
    const bool beside_a_line =
        same_ignoring_case(last_path_part(file.cfg, 0), "aircraft.cfg") &&
        std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
          return same_path(parent_folder(without_trailing_separators(line)),
                           parent_folder(file.cfg));
        });
    if (!beside_a_line) {
      result.failure = sections_path(record) + ": " + file.cfg +
                       " is no aircraft.cfg beside a folder the record lists; it was not opened";
      return;
    }
    const auto cfg = platform::read_regular_file(file.cfg, max_cfg_bytes);
    if (!cfg.ok()) {
      result.problems.push_back({file.cfg, cfg.error == ENOENT ? "missing" : cfg.reason});
      continue;
    }
    const auto sections = fltsim_sections(cfg.text);
    for (const auto& title : file.titles)
      if (!section_titled(sections, title))
        result.problems.push_back({file.cfg, "section missing: title=" + title});
  }
}

}  // namespace

bool PresenceCache::exists(const std::string& path) {
  struct stat st;
  const std::string plain = without_trailing_separators(path);
  if (::lstat(plain.c_str(), &st) == 0) return true;
  const auto cut = plain.rfind(platform::sep);
  if (cut == std::string::npos || cut == 0) return platform::exists(plain);
  const std::string folder = plain.substr(0, cut);
  auto found = names_.find(folder);
  if (found == names_.end()) {
    std::unordered_set<std::string> names;
    // The folder itself may be spelt otherwise: found as the look-up finds it.
    if (exists(folder))
      for (const auto& entry : platform::list_folder(platform::resolve(folder)))
        names.insert(ascii_lower(entry.name));
    found = names_.emplace(folder, std::move(names)).first;
  }
  return found->second.contains(ascii_lower(std::string_view(plain).substr(cut + 1)));
}

VerifyResult verify_record(const std::string& record, std::optional<bool> unfinished,
                           PresenceCache* presence) {
  VerifyResult result;
  result.record = record;
  const auto lines = record_lines(record);
  result.lines = lines.size();
  const std::string sums = sums_path(record);
  if (unfinished ? *unfinished : install_unfinished(record)) {
    result.failure = "its install is unfinished (" + install_marker(record) + " is there), so " +
                     sums + " does not hold every file yet: run install again";
    return result;
  }

  // A file of a missing line is told once, by the line.
  std::unordered_set<std::string> missing_lines;
  PresenceCache own;
  PresenceCache& present = presence ? *presence : own;
  for (const std::string& line : lines)
    if (!present.exists(line)) {
      result.problems.push_back({line, "missing"});
      missing_lines.insert(ascii_lower(without_trailing_separators(line)));
    }
  check_added_sections(record, lines, result);
  if (!result.failure.empty()) return result;

  platform::RegularFile file(sums);
  if (file.error() == ENOENT) return result;  // installed before sums were kept
  result.has_sums = true;
  const auto fail = [&](const std::string& why) {
    result.failure = sums + ": " + why;
    return result;
  };
  if (!file.is_open()) return fail(file.reason() + "; no sum was compared");
  const std::uint64_t bound = max_sums_bytes(lines.size());
  if (file.size() > bound)
    return fail("larger than " + std::to_string(bound) + " bytes, more than the sums of " +
                std::to_string(lines.size()) + " record line(s) take; it was not read");
  if (file.size() == 0) return fail("empty, so nothing could be compared");

  const ListedLines listed(lines);
  SummedFiles files;
  LineReader reader(file.fd(), bound);
  std::string line;
  std::size_t number = 0;
  std::size_t entries = 0;
  std::optional<std::size_t> counted;  // by the end line
  for (LineReader::Got got; (got = reader.next(line)) != LineReader::Got::end;) {
    const std::string at = "line " + std::to_string(++number);
    switch (got) {
      case LineReader::Got::too_long:
        return fail(at + " is longer than " + std::to_string(max_sums_line) + " bytes");
      case LineReader::Got::unended:
        return fail("truncated: " + at + " has no line end");
      case LineReader::Got::larger:
        return fail("larger than " + std::to_string(bound) + " bytes");
      case LineReader::Got::failed:
        return fail(std::strerror(reader.error()));
      default:
        break;
    }
    if (counted) return fail(at + " follows its end line");
    if (line.starts_with(end_mark)) {
      const std::string_view count = std::string_view(line).substr(end_mark.size());
      if (!all_digits(count, 18)) return fail(at + " does not parse");
      counted.emplace();
      std::from_chars(count.data(), count.data() + count.size(), *counted);
      continue;
    }
    Sum want;
    std::string_view named;
    if (!parse_sum(line, want, named)) return fail(at + " does not parse");
    const std::string path(named);
    const std::size_t covered = listed.covering(path);
    if (covered == 0)
      return fail(at + " names " + path + ", which no line of " + record +
                  " lists; it was not opened");
    ++entries;

    const platform::RegularFile summed = files.open(path, covered);
    Sum have;
    const int error = summed.is_open() ? sum_of(summed, have) : summed.error();
    if (error == ENOENT || error == ENOTDIR) {
      if (!missing_lines.contains(ascii_lower(path.substr(0, covered))))
        result.problems.push_back({path, "missing"});
    } else if (error != 0) {
      result.problems.push_back(
          {path, "not read: " + (summed.is_open() ? std::strerror(error) : summed.reason())});
    } else if ((have.size != want.size || have.crc != want.crc) &&
               installed_but_for_liveries(path, want, record)) {
      // Other packages' liveries added sections to it: as it was otherwise.
    } else if (have.size != want.size) {
      result.problems.push_back({path, "size changed (" + std::to_string(want.size) + " -> " +
                                           std::to_string(have.size) + " bytes)"});
    } else if (have.crc != want.crc) {
      result.problems.push_back({path, "content changed"});
    }
  }
  if (counted) {
    if (*counted != entries)
      return fail("truncated: its end line counts " + std::to_string(*counted) + " sum(s), " +
                  std::to_string(entries) + " are there");
    return result;
  }

  // Written before sums had an end line: complete only when every file the
  // record's lines hold now has a sum in it.
  std::unordered_set<std::string> unsummed;
  for (const ListedFile& found : files_listed(lines)) unsummed.insert(ascii_lower(found.path));
  if (::lseek(file.fd(), 0, SEEK_SET) != 0) return fail(std::strerror(errno));
  LineReader again(file.fd(), bound);
  while (again.next(line) == LineReader::Got::line) {
    Sum sum;
    std::string_view named;
    if (parse_sum(line, sum, named)) unsummed.erase(ascii_lower(named));
  }
  if (!unsummed.empty()) {
    std::vector<std::string> left(unsummed.begin(), unsummed.end());
    std::sort(left.begin(), left.end());
    return fail("incomplete: it has no end line, and " + std::to_string(left.size()) +
                " file(s) below the record's lines have no sum in it (" + left.front() + ")");
  }
  return result;
}

}  // namespace wingstow

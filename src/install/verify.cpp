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
#include <map>
#include <optional>

#include "install/record.h"
#include "install/record_index.h"
#include "platform/atomic_file.h"
#include "platform/files.h"
#include "platform/folder_listing.h"
#include "removal/ascii_case.h"

namespace wingstow {
namespace {

std::string without_trailing_separators(std::string path) {
  while (path.size() > 1 && path.back() == platform::sep) path.pop_back();
  return path;
}

struct Sum {
  std::int64_t size = 0;
  std::uint32_t crc = 0;
};

// Size and CRC-32 of a regular file, read without following a link.
std::optional<Sum> sum_of(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  Sum sum;
  std::array<char, 256 * 1024> buffer;
  for (;;) {
    const ssize_t n = ::read(fd, buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return std::nullopt;
    if (n == 0) break;
    sum.crc = libdeflate_crc32(sum.crc, buffer.data(), static_cast<std::size_t>(n));
    sum.size += n;
  }
  return sum;
}

// The regular files at path: itself, or everything below a folder, in a
// stable order. Links are neither followed nor listed.
void files_at(const std::string& path, std::vector<std::string>& out) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) return;
  if (S_ISREG(st.st_mode)) {
    out.push_back(path);
    return;
  }
  if (!S_ISDIR(st.st_mode)) return;
  std::vector<std::string> names;
  for (const auto& entry : platform::find_entries(path, "*", platform::attr_any))
    if (entry.name != "." && entry.name != ".." && !entry.link) names.push_back(entry.name);
  std::sort(names.begin(), names.end());
  for (const auto& name : names) files_at(path + platform::sep + name, out);
}

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

int write_install_sums(const std::string& record, const std::function<void()>& between_files) {
  std::string text;
  for (const std::string& line : record_lines(record)) {
    std::vector<std::string> files;
    files_at(platform::resolve(without_trailing_separators(line)), files);
    for (const std::string& file : files)
      if (const auto sum = sum_of(file)) {
        char crc[9];
        std::snprintf(crc, sizeof crc, "%08x", sum->crc);
        text += std::to_string(sum->size) + "\t" + crc + "\t" + file + "\n";
        if (between_files) between_files();
      }
  }
  return platform::write_file_atomically(sums_path(record), text);
}

VerifyResult verify_record(const std::string& record) {
  VerifyResult result;
  result.record = record;
  const auto lines = record_lines(record);
  result.lines = lines.size();
  for (const std::string& line : lines)
    if (!platform::exists(line)) result.problems.push_back({line, "missing"});

  std::string text;
  {
    const int fd =
        ::open(sums_path(record).c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return result;
    result.has_sums = true;
    std::array<char, 64 * 1024> buffer;
    for (ssize_t n; (n = ::read(fd, buffer.data(), buffer.size())) > 0;)
      text.append(buffer.data(), static_cast<std::size_t>(n));
    ::close(fd);
  }
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t end = std::min(text.find('\n', at), text.size());
    const std::string_view line(text.data() + at, end - at);
    at = end + 1;
    const auto tab1 = line.find('\t');
    const auto tab2 = tab1 == line.npos ? line.npos : line.find('\t', tab1 + 1);
    if (tab2 == line.npos) continue;
    Sum want;
    std::from_chars(line.data(), line.data() + tab1, want.size);
    std::from_chars(line.data() + tab1 + 1, line.data() + tab2, want.crc, 16);
    const std::string path(line.substr(tab2 + 1));
    const auto have = sum_of(path);
    if (!have) {
      // A missing file of a missing folder line is told once, by the line.
      bool told = false;
      for (const auto& problem : result.problems)
        told = told || ascii_lower(path).starts_with(ascii_lower(problem.path));
      if (!told) result.problems.push_back({path, "missing"});
    } else if (have->size != want.size) {
      result.problems.push_back({path, "size changed (" + std::to_string(want.size) + " -> " +
                                           std::to_string(have->size) + " bytes)"});
    } else if (have->crc != want.crc) {
      result.problems.push_back({path, "content changed"});
    }
  }
  return result;
}

}  // namespace wingstow

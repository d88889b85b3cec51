#include "install/livery_record.h"

#include <cerrno>
#include <cstring>

#include <unistd.h>

#include "install/fltsim_sections.h"
#include "packages/cfg_reader.h"
#include "platform/atomic_file.h"
#include "platform/regular_file.h"

namespace wingstow {
namespace {

constexpr std::size_t max_sections_bytes = 4 * 1024 * 1024;

}  // namespace

std::string sections_path(const std::string& record) { return record + ".sections"; }

SectionsRead read_added_sections(const std::string& record) {
  SectionsRead read;
  const std::string path = sections_path(record);
  const auto file = platform::read_regular_file(path, max_sections_bytes);
  if (file.error == ENOENT) return read;
  if (!file.ok()) {
    read.failure = path + ": " + file.reason;
    return read;
  }
  std::size_t titles = 0;
  bool ended = false;
  std::size_t at = 0;
  const std::string& text = file.text;
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(at, end - at);
    at = end + 1;
    const std::size_t tab = line.find('\t');
    const std::string key = line.substr(0, tab);
    const std::string value = tab == std::string::npos ? std::string() : line.substr(tab + 1);
    if (ended || tab == std::string::npos) {
      read.failure = path + ": a line that does not parse: " + line;
      return read;
    }
    if (key == "cfg") {
      read.files.push_back({value, {}});
    } else if (key == "title" && !read.files.empty()) {
      read.files.back().titles.push_back(value);
      ++titles;
    } else if (key == "end" && value == std::to_string(titles)) {
      ended = true;
    } else {
      read.failure = path + ": a line that does not parse: " + line;
      return read;
    }
  }
  if (!ended) read.failure = path + ": cut short (no end line)";
  return read;
}

int write_added_sections(const std::string& record, const std::vector<AddedSections>& files) {
  std::string text;
  std::size_t titles = 0;
  for (const auto& file : files) {
    if (file.titles.empty()) continue;
    text += "cfg\t" + file.cfg + "\n";
    for (const auto& title : file.titles) text += "title\t" + title + "\n";
    titles += file.titles.size();
  }
  if (titles == 0) {
    if (::unlink(sections_path(record).c_str()) != 0 && errno != ENOENT) return errno;
    return 0;
  }
  text += "end\t" + std::to_string(titles) + "\n";
  return platform::write_file_atomically(sections_path(record), text);
}

void note_added_section(std::vector<AddedSections>& files, const std::string& cfg,
                        const std::string& title) {
  for (auto& file : files) {
    if (file.cfg != cfg) continue;
    for (const auto& known : file.titles)
      if (known == title) return;
    file.titles.push_back(title);
    return;
  }
  files.push_back({cfg, {title}});
}

std::vector<std::string> remove_added_sections(const std::vector<AddedSections>& files) {
  std::vector<std::string> failures;
  for (const auto& file : files) {
    auto read = platform::read_regular_file(file.cfg, max_cfg_bytes);
    if (read.error == ENOENT || read.error == ENOTDIR) continue;  // the airplane is gone
    if (!read.ok()) {
      failures.push_back(file.cfg + ": " + read.reason);
      continue;
    }
    std::string bytes = std::move(read.text);
    bool changed = false;
    // The last added first: each one comes out as it went in.
    for (auto it = file.titles.rbegin(); it != file.titles.rend(); ++it)
      if (auto without = with_section_removed(bytes, *it)) {
        bytes = std::move(*without);
        changed = true;
      }
    if (!changed) continue;
    if (const int error = platform::write_file_atomically(file.cfg, bytes))
      failures.push_back(file.cfg + ": " + std::strerror(error));
  }
  return failures;
}

}  // namespace wingstow

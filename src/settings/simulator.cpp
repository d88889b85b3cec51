#include "settings/simulator.h"

#include <utility>

#include "base/ui.h"
#include "platform/files.h"
#include "settings/record_index.h"

namespace wingstow {

std::int64_t free_space_kb(const Shared& shared) {
  // Integer division rounds toward zero, so a failed query (-1) gives 0.
  return platform::free_bytes(shared.fs_path) / 1024;
}

std::string size_text(std::int64_t kib) { return std::to_string(kib / 1024) + " Mb"; }

std::string free_space_text(const Shared& shared) { return size_text(free_space_kb(shared)); }

void refresh_catalogue(Shared& shared, Feedback& ui) {
  RecordFolder folder = list_records(shared.unzip_path);
  if (Window* window = ui.window()) window->set_catalogue(folder.records);
  // Told once, not at every refresh, until the files change.
  std::string notice = not_records_text(folder.not_records);
  if (notice == shared.catalogue_notice) return;
  shared.catalogue_notice = std::move(notice);
  if (!shared.catalogue_notice.empty()) ui.status(shared.catalogue_notice);
}

}  // namespace wingstow

#include "removal/shell_file_operation.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

#include "platform/ascii_case.h"
#include "platform/atomic_file.h"
#include "platform/files.h"
#include "platform/trash.h"

namespace wingstow {
namespace {

namespace fs = std::filesystem;

enum class Operation { none, copy, remove, move, rename };

Operation operation_of(std::string_view name) {
  if (same_ignoring_case(name, "COPY")) return Operation::copy;
  if (same_ignoring_case(name, "DELETE")) return Operation::remove;
  if (same_ignoring_case(name, "MOVE")) return Operation::move;
  if (same_ignoring_case(name, "RENAME")) return Operation::rename;
  return Operation::none;
}

// The path as spelled on disk, without trailing separators ("/" stays).
fs::path on_disk(std::string_view path) {
  return fs::path(platform::without_trailing_separators(platform::resolve(path)));
}

bool taken(const fs::path& path) {
  std::error_code ec;
  return fs::exists(fs::symlink_status(path, ec));
}

// The wanted target when it is free, else a free name beside it if the
// caller allows one.
std::optional<fs::path> free_target(const fs::path& wanted, bool rename_on_collision) {
  if (!taken(wanted)) return wanted;
  if (!rename_on_collision) return std::nullopt;
  const std::string name = wanted.filename().string();
  for (int n = 2; n < 10000; ++n) {
    const fs::path candidate = wanted.parent_path() / (name + " (" + std::to_string(n) + ")");
    if (!taken(candidate)) return candidate;
  }
  return std::nullopt;
}

// A folder copied or moved below itself would never end.
bool below(const fs::path& path, const fs::path& folder) {
  std::error_code ec;
  const fs::path p = fs::weakly_canonical(path, ec);
  if (ec) return true;
  const fs::path f = fs::weakly_canonical(folder, ec);
  if (ec) return true;
  auto [fi, pi] = std::mismatch(f.begin(), f.end(), p.begin(), p.end());
  return fi == f.end();
}

bool copy_folder(const fs::path& source, const fs::path& target) {
  if (below(target, source)) return false;
  std::error_code ec;
  fs::copy(source, target, fs::copy_options::recursive | fs::copy_options::copy_symlinks, ec);
  if (!ec) return true;
  // The target did not exist before: what is there is a partial copy.
  std::error_code ignored;
  fs::remove_all(target, ignored);
  return false;
}

bool move_folder(const fs::path& source, const fs::path& target) {
  if (below(target, source)) return false;
  // The target was found free; a rename that replaces nothing keeps it so.
  const int error = platform::rename_no_replace(source.string(), target.string());
  if (error == 0) return true;
  if (error != EXDEV) return false;
  if (!copy_folder(source, target)) return false;
  std::error_code ec;
  fs::remove_all(source, ec);
  return !ec;
}

}  // namespace

bool shell_file_operation(std::string_view operation, bool rename_on_collision, bool, bool, bool,
                          std::string_view source, std::string_view destination) {
  try {
    if (!platform::folder_exists(source)) return false;
    const Operation op = operation_of(operation);
    if (op == Operation::remove) return platform::move_to_trash(source);
    if (op == Operation::none || destination.empty()) return false;

    const fs::path from = on_disk(source);
    const fs::path to = on_disk(destination);
    fs::path wanted = to;
    if (op == Operation::rename) {
      // A bare name renames the folder where it lies.
      if (!to.has_parent_path()) wanted = from.parent_path() / to;
    } else if (platform::folder_exists(to.string())) {
      wanted = to / from.filename();
    }
    const auto target = free_target(wanted, rename_on_collision);
    if (!target) return false;
    return op == Operation::copy ? copy_folder(from, *target) : move_folder(from, *target);
  } catch (...) {
    return false;
  }
}

bool shell_delete_folder(std::string_view folder) {
  return shell_file_operation("DELETE", false, true, true, false, folder, "");
}

}  // namespace wingstow

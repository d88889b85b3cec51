#pragma once

// Copying and moving files and folders into a folder, never over another
// entry: what a paste does to the disk. Paths are the file system's bytes;
// failures are values, worded by the caller.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace wingstow::platform {

// --- Paths as bytes ----------------------------------------------------------

// The last part of a path, trailing separators aside.
std::string name_part(const std::string& path);
// The folder part of a path, with its separator; empty when there is none.
std::string folder_part(const std::string& path);

// Something lies at path itself, a link (broken ones too) counting as it.
bool entry_exists(const std::string& path);
// Taken as written, or by a name differing only in letter case: Wine would
// see both as the same file.
bool name_taken(const std::string& path);

// The no-replace rename of atomic_file.h for two paths; a folder, which no
// hard link can stand for, goes where that rename falls back to a link onto
// an empty folder made for it under the target name. 0 or the errno (EEXIST
// when the target is taken).
int rename_without_replacing(const std::string& from, const std::string& to);

// --- Transfer ----------------------------------------------------------------

// The owner's view of a transfer, in bytes of file data. opened comes once
// the target folder is open, before the sources are measured; started once
// they are, before the first file; step after every file and between the
// chunks of a large one, and a false answer cancels the transfer before its
// next file; finished once after started, whatever the end. Any may be
// empty.
struct TransferProgress {
  std::function<void()> opened;
  std::function<void(std::int64_t total_bytes)> started;
  std::function<bool(std::int64_t done_bytes)> step;
  std::function<void()> finished;
};

enum class TransferProblem {
  system_error,        // error holds the errno
  destination_inside,  // a folder into itself or one of its subfolders
  not_regular_file,    // a pipe, socket or device
};

struct TransferFailure {
  std::string path;
  TransferProblem problem = TransferProblem::system_error;
  int error = 0;
};

struct TransferOutcome {
  std::size_t items = 0;  // sources asked for
  // Sources not transferred whole, still where they were: failed or left by
  // a cancel.
  std::vector<std::string> unpasted;
  std::vector<std::string> cancelled;     // those left by a cancel
  std::vector<TransferFailure> failures;  // in the order they happened
};

// Copies (with move: moves) sources (absolute, without trailing separator)
// into folder (with its separator). Nothing is overwritten: a taken name
// becomes "name - Copy", "name - Copy (2)", ... Links are copied as links.
// Every file is written under a temporary name and renamed when complete,
// a folder copy under a hidden name until all of it is there. An item is
// transferred whole or not at all when the transfer is cancelled, and a
// move takes back a copy that failed: the original goes only once its
// whole copy is there. Within one file system a move is a rename.
TransferOutcome transfer_entries(const std::vector<std::string>& sources, bool move,
                                 const std::string& folder, const TransferProgress& progress);

}  // namespace wingstow::platform

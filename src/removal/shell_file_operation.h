#pragma once

// Whole-folder operations in one call, the way the Windows shell's file
// operation service does them. Deletion always goes to the trash.

#include <string_view>

namespace wingstow {

// operation: "COPY", "DELETE", "MOVE" or "RENAME", in any letter case.
// The source must be an existing folder. DELETE sends it to the trash; COPY
// and MOVE put it into the destination when that is an existing folder, or
// make it the destination otherwise; RENAME gives it the destination path.
// An existing target is never merged or overwritten: it fails, unless
// rename_on_collision picks a free name beside it ("X (2)", "X (3)", ...).
// no_confirmation, silent and simple_progress are accepted for the shell's
// sake; nothing here asks or shows anything. False on every failure.
bool shell_file_operation(std::string_view operation, bool rename_on_collision,
                          bool no_confirmation, bool silent, bool simple_progress,
                          std::string_view source, std::string_view destination);

// The folder and everything in it to the trash, without a question.
bool shell_delete_folder(std::string_view folder);

}  // namespace wingstow

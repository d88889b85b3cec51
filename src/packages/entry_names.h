#pragma once

// What the program makes of the names an archive gives: which files are
// archives it opens, and where an entry may land. Written once, above the
// library that reads the archive, so that extraction, the questions asked
// before an install, the marks of the unzip folder and the airplane check
// judge every name alike.

#include <string>
#include <string_view>
#include <vector>

namespace wingstow {

// The archives the program opens, known by their name's ending, letter case
// ignored ("CESSNA.ZIP", "Pack.7Z"): ZIP, 7z and RAR.
enum class ArchiveFormat { none, zip, seven_zip, rar };
ArchiveFormat archive_format(std::string_view name);
bool is_archive_name(std::string_view name);
// "ZIP", "7z", "RAR": as messages name the format.
std::string_view format_name(ArchiveFormat format);
// Whether the file's first bytes are those of the format: a ZIP's local
// header or empty end record, the signatures of 7z and RAR (4 and 5).
bool has_signature(ArchiveFormat format, std::string_view first_bytes);
// The name without its archive ending: "spitfire.mk2.zip" -> "spitfire.mk2".
std::string without_archive_ending(std::string_view name);
// The same as masks of the finder and of the folder listings.
inline constexpr std::string_view archive_masks[] = {"*.zip", "*.7z", "*.rar"};
// Why a file is not taken as an archive by its name.
inline constexpr const char* not_an_archive_name =
    "not a ZIP, 7z or RAR archive (its name does not end in .zip, .7z or .rar)";

// What the window's Unzip takes from its list: the same archives as the
// command line.
inline bool window_takes_archive(std::string_view name) { return is_archive_name(name); }

// Where an entry goes below the folder it is extracted into. Both
// separators count: archives made on Windows store "dir\file".
struct EntryName {
  std::vector<std::string> parts;  // folders, then the file unless folder
  bool folder = false;
  std::string refusal;  // why the name is refused; empty when it is safe
};

// Refused: a name with control characters (a line break would split a
// record line), an absolute one, one with a drive letter, one that climbs
// with "..", and an empty one. "." parts and repeated separators go.
EntryName parse_entry_name(std::string_view name);

// The name with its control characters shown as "?", for messages.
std::string printable_entry_name(std::string_view name);

// Whether a search of the installer with the finder's mask ("*.gau",
// "aircraft.cfg") finds the file at path below the package (parts joined by
// the separator): its name matches and no part of it is hidden (begins with
// "."), as the searches pass over hidden entries.
bool found_by_search(std::string_view path, std::string_view mask = "*");

}  // namespace wingstow

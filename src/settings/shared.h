#pragma once

// The process-wide state of the program, owned by the main window and passed
// by reference to the engine routines.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/find_file.h"
#include "platform/files.h"
#include "platform/ini_file.h"
#include "settings/record_index.h"
#include "settings/wine.h"

namespace wingstow {

// The lock that keeps two writers apart: the window holds it while it runs,
// and wingstow-cli while a command of it writes.
inline constexpr const char* instance_lock_name = "MonMutexhangarkit";

inline TFindFile make_main_finder() {
  TFindFile finder;
  finder.FileAttr = {};
  finder.InSubFolders = true;
  finder.FileMask = "*.*";
  return finder;
}

// True when a and b name the same entry once both are spelled as on disk
// (platform::resolve): a working folder may be "Download_FS2004" while the
// program asks for "download_fs2004". Repeated and trailing separators
// aside; the bytes are compared as they are, whatever their encoding.
bool same_path(std::string_view a, std::string_view b);

// What the choice of the program folder depends on besides the executable.
struct UserEnvironment {
  std::string xdg_data_home;  // $XDG_DATA_HOME, empty when unset
  std::string home;           // the user's home folder, empty when unknown

  // The running process's.
  static UserEnvironment current();
};

// The read-only data folder of an installed copy, with its trailing
// separator: <prefix>/share/wingstow/ when the executable lies in
// <prefix>/bin/ and that folder exists (what the install rules lay out).
// Empty for a build-tree or portable copy.
std::string installed_data_folder(const std::string& executable_folder);

// The program folder, with its trailing separator: the executable's folder
// when the user can write there and the copy is not an installed one (a
// portable copy, the build tree), otherwise $XDG_DATA_HOME/wingstow, or
// home/.local/share/wingstow when XDG_DATA_HOME is unset or not absolute (as
// the base directory rules ask). The folder is not made here; the working
// folders are made with it.
std::string choose_program_folder(
    const std::string& executable_folder, const UserEnvironment& environment,
    const std::function<bool(const std::string&)>& writable = platform::folder_writable);

struct Shared {
  // program_folder: the folder of the settings file and the working folders,
  // with its trailing separator.
  explicit Shared(std::string program_folder);

  std::string program_folder;
  std::string ini_path;
  platform::IniFile settings_file;

  std::string fs_version;   // "fs2002", "fs2004" or empty
  std::string fs_path_key;  // "fs_path_2002" or "fs_path_2004"
  std::string fs_path;      // simulator root, with trailing separator
  std::string download_path;
  std::string unzip_path;
  std::string record_name;
  std::int32_t abort_flag = 0;
  std::int64_t unzip_total_size = 0;
  std::int64_t unzip_done_size = 0;
  std::uint8_t unzip_cancel_flag = 0;

  // The one finder of the program, set up as the main window stores it.
  TFindFile FindFile1 = make_main_finder();

  // Found once per start: the Wine prefixes of the user and the simulator
  // roots inside them.
  std::vector<WinePrefix> wine_prefixes;
  std::vector<SimulatorRoot> simulator_roots;

  // The text files of the unzip folder that are no record, as last told.
  std::string catalogue_notice;

  // Scratch lists through which search results are passed by index.
  std::vector<std::string> Memo1;
  std::vector<std::string> Memo2;
};

}  // namespace wingstow

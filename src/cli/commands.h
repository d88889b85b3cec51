#pragma once

// The commands of wingstow-cli. Each is one entry of the table and one
// function over the engine; the table tells whether it writes (and so takes
// the instance lock), what it needs set up, and how many arguments it takes.

#include <QJsonObject>

#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "cli/console_ui.h"
#include "packages/zip_master.h"
#include "settings/record_index.h"
#include "settings/shared.h"

namespace wingstow::cli {

// A command line that cannot be run as written: exit status 2.
inline constexpr const char* program = "wingstow-cli";

class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct Options {
  std::string sim;             // "fs2002", "fs2004"; empty: the settings' fs_start
  std::string program_folder;  // with trailing separator; empty: the window's
  std::optional<bool> answer;  // --yes, --no
  std::string into;            // --into: the airplane a livery goes into
  std::size_t found = 0;       // --found: a simulator found in the Wine prefixes, from 1
  bool dry_run = false;        // --dry-run: install tells its plan and changes nothing
  bool json = false;
  bool quiet = false;
};

// What a command works with: the engine's state set up for the simulator,
// the console, and its part of the --json document.
class Context {
 public:
  Context(const Options& options, Shared& shared, ConsoleUi& ui, QJsonObject& json);
  ~Context();

  const Options& options;
  Shared& shared;
  ConsoleUi& ui;
  QJsonObject& json;

  // A line of the command's result on standard output; nothing with --json,
  // which tells it in the document instead.
  void out(std::string_view line) const;
  void out_lines(std::string_view text) const;  // out() for each of its lines
  // The same, but left out with --quiet: the per-item lines of a writing
  // command.
  void progress_out(std::string_view line) const;

  // The archive component, set up as the window sets up ZipMaster1.
  ZipMaster& zip();

  // The records of the unzip folder, read once per command; the text files
  // there that are no record are named once, in a warning.
  const std::vector<std::string>& records();
  // Whether the install of one of them is unfinished, told from that same
  // listing of the folder.
  bool install_unfinished(const std::string& record);
  // The package folders of that same listing, by folded name.
  const std::unordered_map<std::string, std::string>& package_folders();
  // The simulators in the Wine prefixes (also in shared), looked for once.
  const std::vector<SimulatorRoot>& found_simulators();

 private:
  std::unique_ptr<ZipMaster> zip_;
  std::optional<std::vector<std::string>> records_;
  RecordFolder record_folder_;  // the listing records_ came from
  bool looked_for_simulators_ = false;
};

// writes_when_given: writes when given arguments (or --found), reads otherwise.
enum class Access { reads, writes, writes_when_given };

// What the command needs before it runs.
enum class Needs {
  nothing,    // works with whatever is set up
  simulator,  // a selected simulator whose folder is set
};

struct Command {
  std::string_view name;
  std::string_view arguments;  // as the help shows them
  std::string_view summary;
  Access access;
  Needs needs;
  std::size_t min_arguments;
  std::size_t max_arguments;  // many: any number
  // 0 success, 1 something failed; throws Error (1), UsageError (2) or
  // UnansweredQuestion (3).
  int (*run)(Context& context, const std::vector<std::string>& arguments);
};

inline constexpr std::size_t many = static_cast<std::size_t>(-1);

std::span<const Command> commands();
const Command* find_command(std::string_view name);

}  // namespace wingstow::cli

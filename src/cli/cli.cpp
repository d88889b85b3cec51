#include "cli/cli.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>

#include "cli/commands.h"
#include "cli/console_ui.h"
#include "platform/control_text.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/single_instance.h"
#include "settings/shared.h"
#include "settings/simulator.h"
#include "settings/wine.h"
#include "wingstow_version.h"

namespace wingstow::cli {
namespace {

struct Parsed {
  Options options;
  bool help = false;
  bool version = false;
  std::string command;
  std::vector<std::string> arguments;
};

// Options may stand before or after the command; "--" ends them.
Parsed parse(const std::vector<std::string>& arguments) {
  Parsed parsed;
  bool options_end = false;
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (options_end || argument.size() < 2 || argument[0] != '-') {
      if (parsed.command.empty())
        parsed.command = argument;
      else
        parsed.arguments.push_back(argument);
      continue;
    }
    if (argument == "--") {
      options_end = true;
      continue;
    }
    const auto equals = argument.find('=');
    const std::string name = argument.substr(0, equals);
    auto value = [&]() -> std::string {
      if (equals != std::string::npos) return argument.substr(equals + 1);
      if (i + 1 >= arguments.size()) throw UsageError("option " + name + " needs a value");
      return arguments[++i];
    };
    auto flag = [&](bool& set) {
      if (equals != std::string::npos) throw UsageError("option " + name + " takes no value");
      set = true;
    };
    bool yes = false;
    bool no = false;
    if (name == "--sim") {
      parsed.options.sim = value();
      if (parsed.options.sim != "fs2002" && parsed.options.sim != "fs2004")
        throw UsageError("--sim takes fs2002 or fs2004, not '" + parsed.options.sim + "'");
    } else if (name == "--program-folder") {
      const std::string folder = value();
      if (folder.empty()) throw UsageError("--program-folder needs a folder");
      parsed.options.program_folder = platform::with_trailing_separator(
          std::filesystem::absolute(folder).lexically_normal().string());
    } else if (name == "--found") {
      const std::string number = value();
      char* end = nullptr;
      const unsigned long n = std::strtoul(number.c_str(), &end, 10);
      if (number.empty() || *end != '\0' || number[0] == '-' || n == 0 || n > 1000)
        throw UsageError("--found takes the number of a simulator that sim lists, not '" + number +
                         "'");
      parsed.options.found = n;
    } else if (name == "--into") {
      parsed.options.into = value();
      if (parsed.options.into.empty()) throw UsageError("--into needs an airplane folder");
    } else if (name == "--yes" || name == "-y") {
      flag(yes);
    } else if (name == "--no" || name == "-n") {
      flag(no);
    } else if (name == "--dry-run") {
      flag(parsed.options.dry_run);
    } else if (name == "--json") {
      flag(parsed.options.json);
    } else if (name == "--quiet" || name == "-q") {
      flag(parsed.options.quiet);
    } else if (name == "--help" || name == "-h") {
      flag(parsed.help);
    } else if (name == "--version" || name == "-v") {
      flag(parsed.version);
    } else {
      throw UsageError("unknown option " + name);
    }
    if (yes || no) {
      if (parsed.options.answer && *parsed.options.answer != yes)
        throw UsageError("--yes and --no cannot be given together");
      parsed.options.answer = yes;
    }
  }
  return parsed;
}

std::string help_text() {
  std::string text = std::string("Usage: ") + program +
                     " [options] COMMAND [ARGS]\n"
                     "Installs and removes airplane add-ons for the FS2002 and FS2004 flight "
                     "simulators,\nwith the same engine as the Wingstow window.\n\nCommands:\n";
  for (const Command& command : commands()) {
    std::string head = "  " + std::string(command.name);
    if (!command.arguments.empty()) head += " " + std::string(command.arguments);
    text += head + "\n      " + std::string(command.summary) + "\n";
  }
  text +=
      "\nOptions:\n"
      "  --sim fs2002|fs2004     the simulator (default: the one the window last selected)\n"
      "  --program-folder DIR    the folder of planeyard.ini and the working folders\n"
      "                          (default: the one the window uses)\n"
      "  -y, --yes               answer Yes (or OK) to every question\n"
      "  -n, --no                answer No (or Cancel) to every question\n"
      "  --into FOLDER           the airplane a livery goes into, when several fit\n"
      "                          (its folder, or its name in the aircraft folder)\n"
      "  --found N               with sim: the simulator numbered N of those it lists\n"
      "  --dry-run               with install: each package's plan, as plan tells it,\n"
      "                          and the check's findings it would ask about;\n"
      "                          nothing is unzipped, asked or changed\n"
      "  --json                  print one JSON document on standard output\n"
      "  -q, --quiet             no progress, no status lines, no per-item lines\n"
      "  -h, --help              show this help and exit\n"
      "  -v, --version           show the version and exit\n"
      "\nunzip, install and remove ask every question of their run before they change\n"
      "anything: without --yes or --no on the terminal; without a terminal they name the\n"
      "questions and stop with exit status 3, having changed nothing. They wait for\n"
      "nothing: while the window (or another of them) runs they are refused.\n"
      "\ninstall prints the airplane check's findings of a package before it asks whether\n"
      "to install it all the same; an archive's package is checked once unzipped, so\n"
      "without an answer it stays unzipped, and nothing is installed.\n"
      "\nFrom nothing: sim lists the simulators found in the Wine prefixes; sim --found 1\n"
      "sets the first as the folder to work with (sim fs2004 FOLDER sets any other). On a\n"
      "first use, unzip, install and remove take the one simulator found, when there is\n"
      "exactly one, and say so.\n"
      "\nExit status: 0 success, 1 something failed, 2 usage, 3 a question needs an answer.\n";
  return text;
}

// The simulator as the window sets it up, without its chooser: its working
// folders (made for a writing command) and its folder from the settings file.
void set_up_simulator(Shared& shared, const std::string& tag, Needs needs, bool writing) {
  if (tag != "fs2002" && tag != "fs2004") {
    if (needs == Needs::nothing) return;
    throw Error("No simulator is selected in " + shared.ini_path +
                ": give --sim fs2002 or --sim fs2004, or select one with " + program +
                " sim (which lists the simulators found)");
  }
  const std::string year = tag.substr(2);
  if (writing) {
    for (const char* kind : {"download_fs", "unzip_fs"}) {
      // A folder spelled in other letter case is the one the window uses.
      const std::string folder = shared.program_folder + kind + year;
      if (platform::folder_exists(folder)) continue;
      std::error_code error;
      std::filesystem::create_directories(folder, error);
      if (error && !platform::folder_exists(folder))
        throw Error("Impossible de créer " + folder + " (" + error.message() + ")");
    }
  }
  shared.fs_version = tag;
  shared.fs_path_key = "fs_path_" + year;
  // Spelled as on disk, as the window spells them.
  shared.download_path =
      platform::resolve(shared.program_folder + "download_fs" + year) + platform::sep;
  shared.unzip_path = platform::resolve(shared.program_folder + "unzip_fs" + year) + platform::sep;
  shared.fs_path =
      shared.settings_file.read(settings_section, shared.fs_path_key, settings_default);
  if (platform::folder_exists(shared.fs_path))
    shared.fs_path = platform::with_trailing_separator(shared.fs_path);
  if (needs == Needs::nothing || platform::folder_exists(shared.fs_path)) return;
  if (shared.fs_path == settings_default || shared.fs_path.empty())
    throw Error("No " + tag + " folder is set in " + shared.ini_path + ": set it with " + program +
                " sim " + tag + " FOLDER (" + program +
                " sim lists the simulators found), or in the Wingstow window");
  throw Error(shared.fs_path + ": the " + tag + " folder set in " + shared.ini_path +
              " does not exist");
}

void print_json(const QJsonObject& document) {
  const QByteArray bytes = QJsonDocument(document).toJson(QJsonDocument::Indented);
  std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stdout);
  std::fflush(stdout);
}

int usage_error(const std::string& message, bool json) {
  // The message may repeat an argument, control bytes and all.
  std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n", program,
               platform::escape_controls(message).c_str(), program);
  if (json)
    print_json(
        QJsonObject{{"exit_status", exit_usage}, {"error", QString::fromStdString(message)}});
  return exit_usage;
}

QJsonArray said(const ConsoleUi& ui) {
  QJsonArray messages;
  for (const auto& message : ui.messages()) {
    QJsonObject entry{{"kind", QString::fromUtf8(kind_name(message.kind).data())},
                      {"text", QString::fromStdString(message.text)}};
    if (!message.answer.empty()) entry["answer"] = QString::fromStdString(message.answer);
    messages.append(entry);
  }
  return messages;
}

}  // namespace

int run(const std::vector<std::string>& arguments) {
  const bool json_asked =
      std::find(arguments.begin(), arguments.end(), "--json") != arguments.end();
  Parsed parsed;
  const Command* command = nullptr;
  try {
    parsed = parse(arguments);
    if (parsed.help) {
      std::fputs(help_text().c_str(), stdout);
      return exit_success;
    }
    if (parsed.version) {
      std::printf("%s %s\n", program, wingstow::version);
      return exit_success;
    }
    if (parsed.command.empty()) throw UsageError("no command given");
    command = find_command(parsed.command);
    if (!command) throw UsageError("unknown command '" + parsed.command + "'");
    const std::size_t count = parsed.arguments.size();
    if (count < command->min_arguments || count > command->max_arguments) {
      std::string shape = std::string(command->name);
      if (!command->arguments.empty()) shape += " " + std::string(command->arguments);
      throw UsageError("usage: " + std::string(program) + " [options] " + shape);
    }
  } catch (const UsageError& error) {
    return usage_error(error.what(), json_asked);
  } catch (const std::exception& error) {
    return usage_error(error.what(), json_asked);
  }

  const Options& options = parsed.options;
  Shared shared(
      options.program_folder.empty()
          ? choose_program_folder(platform::executable_folder(), UserEnvironment::current())
          : options.program_folder);
  std::string tag = options.sim;
  // Told like any failure once the console is there.
  std::string unreadable_settings;
  if (tag.empty()) {
    try {
      tag = shared.settings_file.read(settings_section, key_fs_start, "");
    } catch (const Error& error) {
      unreadable_settings = error.what();
    }
  }

  ConsoleSettings settings;
  settings.tag = tag;
  settings.answer = options.answer;
  settings.into = options.into;
  settings.quiet = options.quiet;
  settings.interactive = ::isatty(STDIN_FILENO) == 1;
  settings.progress = ::isatty(STDERR_FILENO) == 1;
  ConsoleUi ui(settings);

  QJsonObject json;
  int status = exit_success;
  std::unique_ptr<platform::SingleInstance> lock;
  try {
    if (!unreadable_settings.empty()) throw Error(unreadable_settings);
    if (options.dry_run && command->name != "install")
      throw UsageError("--dry-run goes with install only");
    // A dry run changes nothing: it takes no lock and makes no folder.
    const bool writing = (command->access == Access::writes && !options.dry_run) ||
                         (command->access == Access::writes_when_given &&
                          (!parsed.arguments.empty() || options.found != 0));
    if (writing) {
      // Never two writers: the window and the writing commands share one lock.
      lock = std::make_unique<platform::SingleInstance>(instance_lock_name);
      if (!lock->acquire()) {
        if (!lock->failure().empty()) throw Error(lock->failure());
        throw Error("Wingstow is running (its window or another " + std::string(program) + " " +
                    "holds " + lock->path() + "): " + std::string(command->name) +
                    " changes nothing meanwhile; close it, or let it finish, and run again");
      }
    }
    // A first use with nothing set: the one simulator the Wine prefixes
    // hold is taken, as the window's chooser would offer it.
    if (writing && command->needs == Needs::simulator &&
        stored_simulator_folder(shared, "fs2002").empty() &&
        stored_simulator_folder(shared, "fs2004").empty()) {
      const auto prefixes = find_wine_prefixes(wine_environment_of_process());
      const auto roots = find_simulator_roots(prefixes);
      if (roots.size() == 1 && (tag.empty() || tag == roots.front().tag))
        if (const auto adopted = adopt_found_simulator(shared, roots)) {
          tag = adopted->tag;
          ui.say(adopted->tag + " folder set to " + adopted->root + ", the one simulator found (" +
                 found_caption(adopted->root, prefixes) + "); " + program +
                 " sim shows and changes it");
        }
    }
    set_up_simulator(shared, tag, command->needs, writing);
    Context context(options, shared, ui, json);
    status = command->run(context, parsed.arguments);
  } catch (const UnansweredQuestion& unanswered) {
    // Nothing was installed or removed: every question comes before that
    // work (only an archive's check waits for its unzip).
    status = exit_question;
    const auto& questions = unanswered.questions;
    const std::string head = std::string(program) + ": no answer to ";
    const bool choice = questions.size() == 1 && questions.front().buttons == Buttons::ok_cancel &&
                        questions.front().topic == "livery base";
    if (choice) {
      ui.say(
          head + "this question (give --into with one of the folders): " + about(questions.front()),
          true);
    } else if (questions.size() == 1) {
      ui.say(head + "this question (give --yes or --no): " + about(questions.front()), true);
    } else {
      ui.say(head + "these " + std::to_string(questions.size()) +
             " questions (give --yes or --no):");
      for (const auto& question : questions) ui.say("  " + about(question), true);
    }
    QJsonArray asked;
    for (const auto& question : questions)
      asked.append(QJsonObject{{"text", QString::fromStdString(question.text)},
                               {"subject", QString::fromStdString(question.subject)}});
    json["question"] = QString::fromStdString(questions.front().text);
    json["questions"] = asked;
  } catch (const UsageError& error) {
    return usage_error(error.what(), options.json);
  } catch (const std::exception& error) {
    status = exit_failure;
    ui.say(std::string(program) + ": " + error.what());
    json["error"] = QString::fromStdString(error.what());
  }
  // A password nobody could give leaves entries out after the work began:
  // a failure, not a question that stopped the command.
  if (status == exit_success && !ui.unanswered().empty()) status = exit_failure;

  if (options.json) {
    json["command"] = QString::fromUtf8(command->name.data(), qsizetype(command->name.size()));
    json["simulator"] = tag.empty() ? QJsonValue() : QJsonValue(QString::fromStdString(tag));
    json["exit_status"] = status;
    json["messages"] = said(ui);
    QJsonArray statuses;
    for (const auto& line : ui.statuses())
      if (!line.empty()) statuses.append(QString::fromStdString(line));
    json["statuses"] = statuses;
    if (!ui.unanswered().empty()) {
      QJsonArray unanswered;
      for (const auto& question : ui.unanswered())
        unanswered.append(QString::fromStdString(question));
      json["unanswered"] = unanswered;
    }
    print_json(json);
  }
  return status;
}

}  // namespace wingstow::cli

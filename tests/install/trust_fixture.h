#pragma once

// Install and removal through the window's buttons, on a simulator with
// every install folder and a trash of the test's own.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include "commands/catalogue.h"
#include "commands/package_buttons.h"
#include "install/install_command.h"
#include "install/install_fixture.h"
#include "packages/zip_master.h"
#include "removal/removal.h"
#include "settings/record.h"
#include "settings/simulator.h"

namespace wingstow::test {

using Tree = std::map<std::string, std::string>;

// Temporary copies never show under a final name, nor stay behind.
inline bool has_temporaries(const Tree& tree) {
  for (const auto& [path, content] : tree)
    if (path.find(".wingstow-") != std::string::npos) return true;
  return false;
}

class TrustFixture : public InstallFixture {
 protected:
  TrustFixture() {
    for (const char* sub : {"flights/myflts", "effects/texture"})
      tree.make_folder("FS9/" + std::string(sub));
    // Removed folders go to a trash of the test's own.
    for (const char* name : {"HOME", "XDG_DATA_HOME"})
      if (const char* value = ::getenv(name)) saved_env[name] = value;
    ::setenv("HOME", tree.make_folder("home").c_str(), 1);
    ::setenv("XDG_DATA_HOME", tree.make_folder("home/.local/share").c_str(), 1);
  }
  ~TrustFixture() override {
    for (const char* name : {"HOME", "XDG_DATA_HOME"}) {
      const auto saved = saved_env.find(name);
      saved == saved_env.end() ? ::unsetenv(name) : ::setenv(name, saved->second.c_str(), 1);
    }
  }

  std::map<std::string, std::string> saved_env;

  // "Install to FS" on the named package folders.
  void install(std::initializer_list<const char*> names) {
    ui.directory = unzip;
    ui.list_refresh();
    ui.multi_select = true;
    for (const char* name : names) ui.click(name);
    SpeedButton7Click(shared, ui, zip);
  }

  // "Delete from FS" on the named records.
  void remove(std::initializer_list<const char*> names) {
    refresh_catalogue(shared, ui);
    for (const char* name : names) {
      const std::string record = unzip + name + ".txt";
      const auto& entries = ui.catalogue_entries;
      const auto at = std::find(entries.begin(), entries.end(), record);
      ASSERT_NE(at, entries.end()) << record;
      ui.set_catalogue_checked(static_cast<int>(at - entries.begin()), true);
    }
    SpeedButton8Click(shared, ui);
  }

  // "Install to FS" on the named package in a child process, killed at the
  // first pump for which dies(pumps so far) holds; the child's wait status.
  int install_killed(const char* name, const std::function<bool(int)>& dies) {
    const pid_t child = ::fork();
    if (child == 0) {
      struct KillingUi : RecordingUi {
        std::function<bool(int)> dies;
        void pump() override {
          if (dies(++pumps)) ::raise(SIGKILL);
        }
      } dying;
      dying.dies = dies;
      dying.tag = "fs2004";
      dying.directory = unzip;
      dying.list_refresh();
      dying.click(name);
      ZipMaster child_zip{dying};
      SpeedButton7Click(shared, dying, child_zip);
      ::_exit(0);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child) return -1;
    return status;
  }

  std::vector<std::string> record_of(const char* name) const {
    return record_lines(unzip + name + ".txt");
  }

  ZipMaster zip{ui};
};

}  // namespace wingstow::test

#include "settings/wine.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "platform/environment.h"
#include "support/temp_tree.h"

namespace wingstow {
namespace {

using test::TempTree;

// One home with a prefix of every kind the search knows, some of them
// holding a simulator, and the look-alikes it must pass over.
struct FakeHome {
  FakeHome() {
    prefix("home/games/fs9pfx");
    simulator("home/games/fs9pfx", "Program Files (x86)/Microsoft Games/Flight Simulator 9",
              "FS9.EXE");
    prefix("home/.wine");
    simulator("home/.wine", "Program Files/Microsoft Games/FS2002", "fs2002.exe");
    // Passed over: no program, too deep, hidden, in windows, through a link.
    simulator("home/.wine", "Program Files/Sims/NoExe", "readme.txt");
    simulator("home/.wine", "Program Files/a/b/c/FS9", "fs9.exe");
    simulator("home/.wine", "Program Files/.hidden/FS9", "fs9.exe");
    simulator("home/.wine", "windows/FS9", "fs9.exe");
    simulator("outside", "Sim", "fs9.exe");
    link(base + "outside/drive_c/Sim", "home/games/fs9pfx/drive_c/Games/Linked");

    prefix("home/.local/share/wineprefixes/empty");
    tree.make_folder("home/.local/share/wineprefixes/no_registry/drive_c");
    link("nowhere", "home/.local/share/wineprefixes/dangling");

    prefix("home/.local/share/Steam/steamapps/compatdata/6100/pfx");
    simulator("home/.local/share/Steam/steamapps/compatdata/6100/pfx", "Program Files/FS9",
              "fs9.exe");
    tree.make_folder("home/.local/share/Steam/steamapps/compatdata/0");  // no pfx
    link("../.local/share/Steam", "home/.steam/steam");
    prefix("mnt/Steam\\Library/SteamApps/compatdata/2000/pfx");
    tree.make_file("home/.local/share/Steam/steamapps/libraryfolders.vdf",
                   "// written by Steam\n"
                   "\"libraryfolders\"\n{\n"
                   "\t\"0\"\n\t{\n\t\t\"path\"\t\t\"" +
                       home +
                       "/.local/share/Steam\"\n"
                       "\t\t\"apps\"\n\t\t{\n\t\t\t\"6100\"\t\t\"123\"\n\t\t}\n\t}\n"
                       "\t\"1\"\n\t{\n\t\t\"label\"\t\t\"path\"\n\t\t\"path\"\t\t\"" +
                       tree.root() + "mnt/Steam\\\\Library\"\n\t}\n}\n");

    prefix("home/.local/share/bottles/bottles/FS2004");
    simulator("home/.local/share/bottles/bottles/FS2004", "FS9", "Fs9.exe");
    prefix("home/.var/app/com.usebottles.bottles/data/bottles/bottles/Flight");

    prefix("home/Games/fs9");
    prefix("home/Games/flightsim/prefix");
    prefix("home/Games/deep/a/b");  // two levels down: not searched
    link(".", "home/Games/loop");

    prefix("home/.PlayOnLinux/wineprefix/FS2004");
    simulator("home/.PlayOnLinux/wineprefix/FS2004", "Program Files/Microsoft Games/Sims/FS9",
              "fs9.exe");
    prefix("home/.cxoffice/FS9");
    prefix("home/Library/Application Support/CrossOver/Bottles/Sim");
  }

  void prefix(const std::string& folder) {
    tree.make_folder(folder + "/drive_c");
    tree.make_file(folder + "/system.reg", "WINE REGISTRY Version 2\n");
  }

  void simulator(const std::string& prefix, const std::string& folder, const std::string& exe) {
    const std::string root = prefix + "/drive_c/" + folder + "/";
    for (const char* name : {"Aircraft", "Gauges", "Sound", "Effects", "Modules", "Flights"})
      tree.make_folder(root + name);
    tree.make_file(root + exe);
  }

  void link(const std::string& target, const std::string& name) {
    tree.make_folder(name.substr(0, name.rfind('/')));
    ASSERT_EQ(::symlink(target.c_str(), tree.path(name).c_str()), 0) << name;
  }

  TempTree tree;
  std::string base = platform::real_path(tree.root()) + "/";
  std::string home = base + "home";
};

// The searches only read: one home serves every test.
class WineTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { fake = new FakeHome; }
  static void TearDownTestSuite() {
    delete fake;
    fake = nullptr;
  }

  static std::vector<WinePrefix> find() {
    return find_wine_prefixes({fake->home, fake->home + "/games/fs9pfx/"});
  }

  static inline FakeHome* fake = nullptr;
  const std::string& base = fake->base;
  const std::string& home = fake->home;
};

TEST_F(WineTest, FindsEachPrefixOnceInTheUsualPlacesInOrder) {
  const std::vector<std::pair<std::string, std::string>> expected{
      {"C: of ~/games/fs9pfx", "home/games/fs9pfx/"},
      {"C: of ~/.wine", "home/.wine/"},
      {"C: of wineprefix empty", "home/.local/share/wineprefixes/empty/"},
      {"C: of Steam 6100", "home/.local/share/Steam/steamapps/compatdata/6100/pfx/"},
      {"C: of Steam 2000", "mnt/Steam\\Library/SteamApps/compatdata/2000/pfx/"},
      {"C: of Bottles FS2004", "home/.local/share/bottles/bottles/FS2004/"},
      {"C: of Bottles Flight", "home/.var/app/com.usebottles.bottles/data/bottles/bottles/Flight/"},
      {"C: of Lutris flightsim", "home/Games/flightsim/prefix/"},
      {"C: of Lutris fs9", "home/Games/fs9/"},
      {"C: of PlayOnLinux FS2004", "home/.PlayOnLinux/wineprefix/FS2004/"},
      {"C: of CrossOver FS9", "home/.cxoffice/FS9/"},
      {"C: of CrossOver Sim", "home/Library/Application Support/CrossOver/Bottles/Sim/"},
  };
  const auto found = find();
  std::vector<std::pair<std::string, std::string>> actual;
  for (const auto& p : found) {
    actual.emplace_back(p.caption, p.prefix.substr(base.size()));
    EXPECT_EQ(p.drive_c, p.prefix + "drive_c/");
  }
  EXPECT_EQ(actual, expected);
}

TEST_F(WineTest, WithoutHomeOnlyTheVariableCounts) {
  const auto found = find_wine_prefixes({"", home + "/.wine"});
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].caption, "C: of " + home + "/.wine");
  EXPECT_TRUE(find_wine_prefixes({"", ".wine"}).empty());  // relative: Wine refuses it too
}

TEST_F(WineTest, FindsTheSimulatorRootsAsSpelledOnDisk) {
  const std::vector<std::pair<std::string, std::string>> expected{
      {"fs2004",
       "home/games/fs9pfx/drive_c/Program Files (x86)/Microsoft Games/Flight Simulator 9/"},
      {"fs2002", "home/.wine/drive_c/Program Files/Microsoft Games/FS2002/"},
      {"fs2004",
       "home/.local/share/Steam/steamapps/compatdata/6100/pfx/drive_c/Program Files/FS9/"},
      {"fs2004", "home/.local/share/bottles/bottles/FS2004/drive_c/FS9/"},
      {"fs2004",
       "home/.PlayOnLinux/wineprefix/FS2004/drive_c/Program Files/Microsoft Games/Sims/FS9/"},
  };
  std::vector<std::pair<std::string, std::string>> actual;
  for (const auto& root : find_simulator_roots(find()))
    actual.emplace_back(root.tag, root.root.substr(base.size()));
  EXPECT_EQ(actual, expected);
}

TEST_F(WineTest, SimulatorRootTestIgnoresLetterCase) {
  const std::string fs9 = base + "home/.wine/drive_c/program files/sims/NoExe";
  EXPECT_TRUE(is_simulator_root(fs9));
  EXPECT_TRUE(is_simulator_root(fs9 + "/"));
  TempTree tree;
  tree.make_folder("lower/aircraft");
  for (const char* name : {"gauges", "SOUND", "effects", "modules"}) {
    EXPECT_FALSE(is_simulator_root(tree.path("lower"))) << name;
    tree.make_folder(std::string("lower/") + name);
  }
  tree.make_file("lower/flights");  // a file, not the folder
  EXPECT_FALSE(is_simulator_root(tree.path("lower")));
  EXPECT_FALSE(is_simulator_root(""));
}

TEST(WineEnvironment, HomeAndPrefixComeFromTheEnvironment) {
  const std::string old_home = platform::environment_variable("HOME");
  const bool had_prefix = std::getenv("WINEPREFIX") != nullptr;
  const std::string old_prefix = platform::environment_variable("WINEPREFIX");
  ::setenv("HOME", "/home/pilot/", 1);
  ::setenv("WINEPREFIX", "/home/pilot/fs9", 1);
  const auto set = wine_environment_of_process();
  ::unsetenv("HOME");
  ::unsetenv("WINEPREFIX");
  const auto unset = wine_environment_of_process();
  ::setenv("HOME", old_home.c_str(), 1);
  if (had_prefix) ::setenv("WINEPREFIX", old_prefix.c_str(), 1);
  EXPECT_EQ(set.home, "/home/pilot");
  EXPECT_EQ(set.wineprefix, "/home/pilot/fs9");
  EXPECT_FALSE(unset.home.empty());  // the password database's entry
  EXPECT_EQ(unset.wineprefix, "");
}

}  // namespace
}  // namespace wingstow

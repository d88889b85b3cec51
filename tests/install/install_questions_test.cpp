// The questions an install will ask, told before anything is done, are the
// ones it then asks: from an archive still to be unzipped, from its package
// folder, and from that folder once installed.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "install/install_command.h"
#include "install/install_fixture.h"
#include "packages/unzip.h"
#include "packages/zip_master.h"
#include "support/zip_builder.h"

namespace wingstow {
namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;
using Texts = std::vector<std::string>;

class InstallQuestionsTest : public test::InstallFixture {
 protected:
  InstallQuestionsTest() {
    shared.download_path = download;
    zip.Unattended = true;
  }

  std::string zip_bytes(const Entries& entries) {
    const std::string path = tree.path("inner.tmp");
    test::write_zip(path, entries);
    return test::read_file(path);
  }

  // The subjects of the questions asked since the last call.
  Texts asked() {
    Texts subjects;
    for (const auto& message : ui.messages)
      if (message.buttons == Buttons::yes_no) subjects.push_back(message.text);
    ui.messages.clear();
    return subjects;
  }

  // The texts of predicted questions, checked against their subject.
  static Texts texts(const std::vector<Question>& questions, const std::string& package) {
    Texts out;
    for (const auto& question : questions) {
      EXPECT_EQ(question.subject, package);
      out.push_back(question.text);
    }
    return out;
  }

  void install(const std::string& package) { install_packages(shared, ui, zip, {package}); }

  std::string download = tree.make_folder("prog/download_fs2004");
  ZipMaster zip{ui};
};

TEST_F(InstallQuestionsTest, ToldBeforeAsAskedAfter) {
  const std::string several =
      "More than one airplane will be installed , Do you want to continue ? ";
  struct Case {
    std::string name;
    Entries entries;
    bool asks;
  };
  const Case cases[] = {
      {"Solo", {{"Solo/aircraft.cfg", "a"}}, false},
      {"Pair", {{"Left/aircraft.cfg", "l"}, {"Right/aircraft.cfg", "r"}}, true},
      {"Cased", {{"Left/aircraft.cfg", "l"}, {"Right/AIRCRAFT.CFG", "r"}}, true},
      {"Backslash", {{"Left\\aircraft.cfg", "l"}, {"Right/aircraft.cfg", "r"}}, true},
      {"Setup",
       {{"Left/aircraft.cfg", "l"}, {"Right/aircraft.cfg", "r"}, {"setup.EXE", "x"}},
       false},
      {"Hidden", {{"Plane/aircraft.cfg", "a"}, {".old/Plane/aircraft.cfg", "a"}}, false},
      {"Climber", {{"Plane/aircraft.cfg", "a"}, {"../Evil/aircraft.cfg", "e"}}, false},
      {"Nested",
       {{"Plane/aircraft.cfg", "a"}, {"extra/more.zip", zip_bytes({{"Other/aircraft.cfg", "o"}})}},
       true},
      {"Inside",
       {{"readme.txt", "r"}, {"only.zip", zip_bytes({{"Only/aircraft.cfg", "o"}})}},
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Texts expected = c.asks ? Texts{several} : Texts{};
    const std::string archive = download + c.name + ".zip";
    test::write_zip(archive, c.entries);
    const std::string copy = download + c.name + "Copy.zip";
    test::write_zip(copy, c.entries);
    const std::string package = unzip + c.name;
    const std::string copy_package = unzip + c.name + "Copy";

    // From the archive, before it is unzipped.
    EXPECT_EQ(texts(install_questions(package, archive), package), expected);
    unzip_archives(shared, ui, zip, {archive, copy});
    asked();
    install(package);
    EXPECT_EQ(asked(), expected);

    // From a package folder not installed yet, and from one installed,
    // whose inner archives lie extracted already.
    for (const std::string& folder : {copy_package, package}) {
      EXPECT_EQ(texts(install_questions(folder), folder), expected) << folder;
      install(folder);
      EXPECT_EQ(asked(), expected) << folder;
    }
  }
}

}  // namespace
}  // namespace wingstow

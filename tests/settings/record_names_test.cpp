// What a record lists and what a name means: the rules every front end and
// the check take from one place.

#include "settings/record_names.h"
#include "settings/record_airplanes.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/error.h"

namespace wingstow {
namespace {

using Strings = std::vector<std::string>;

TEST(RecordAirplanes, EachFolderBelowTheAircraftFolderOnceAndNothingElse) {
  const std::string fs = "/sim/FS9/";
  struct Case {
    const char* what;
    Strings lines;
    Strings airplanes;
  };
  const Case cases[] = {
      {"files and the folder itself",
       {fs + "aircraft/Jet/", fs + "aircraft/Jet/aircraft.cfg", fs + "aircraft/Jet/panel/x.gau"},
       {"Jet"}},
      {"letter case of the line and the folder",
       {fs + "Aircraft/Jet/a", fs + "AIRCRAFT/JET/b", fs + "aircraft/Prop"},
       {"Jet", "Prop"}},
      {"'.' and '..' lead nowhere below it",
       {fs + "aircraft/./Jet/a", fs + "aircraft/../gauges/x.gau", fs + "aircraft/..",
        fs + "aircraft/."},
       {}},
      {"a name with a line break", {fs + "aircraft/Je\nt/a", fs + "aircraft/Jet\r/b"}, {}},
      {"other folders and the aircraft folder alone",
       {fs + "gauges/x.gau", fs + "aircraft/", fs + "aircraft", fs + "aircraftX/y",
        "/other/aircraft/Z"},
       {}},
  };
  for (const Case& c : cases) EXPECT_EQ(airplanes_listed(c.lines, fs), c.airplanes) << c.what;
}

TEST(RecordNames, ExactNameFirstThenLetterCaseUnlessTwoDifferOnlyByIt) {
  const std::string unzip = "/p/unzip_fs2004/";
  const Strings records{unzip + "Jet.txt", unzip + "prop.txt", unzip + "Twin.txt",
                        unzip + "TWIN.txt"};
  struct Case {
    const char* name;
    std::optional<std::string> record;
    const char* error;  // empty: none
  };
  const Case cases[] = {
      {"Jet", unzip + "Jet.txt", ""},
      {"jet.TXT", unzip + "Jet.txt", ""},
      {"PROP", unzip + "prop.txt", ""},
      {"TWIN", unzip + "TWIN.txt", ""},
      {"twin", std::nullopt, "twin: names more than one installed package: Twin TWIN"},
      {"Nothing", std::nullopt, ""},
  };
  for (const Case& c : cases) {
    try {
      EXPECT_EQ(record_named(records, c.name), c.record) << c.name;
      EXPECT_STREQ(c.error, "") << c.name;
    } catch (const Error& error) {
      EXPECT_STREQ(error.what(), c.error) << c.name;
    }
  }
  try {
    find_record(records, "Nothing", unzip);
    ADD_FAILURE() << "Nothing was found";
  } catch (const Error& error) {
    EXPECT_EQ(std::string(error.what()), "Nothing: no such installed package in " + unzip);
  }
}

}  // namespace
}  // namespace wingstow

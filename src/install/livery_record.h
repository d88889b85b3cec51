#pragma once

// The sections a package added to airplanes' aircraft.cfg, kept beside its
// record (record + ".sections"), so that the record keeps its format:
// "cfg<TAB>path" names a file, the "title<TAB>title" lines after it name
// the sections added there, and "end<TAB>count" counts the titles, so that
// a file cut short shows.

#include <string>
#include <vector>

namespace wingstow {

struct AddedSections {
  std::string cfg;  // the aircraft.cfg
  std::vector<std::string> titles;
};

std::string sections_path(const std::string& record);

struct SectionsRead {
  std::vector<AddedSections> files;  // empty when the record has no such file
  std::string failure;               // why it could not be read; empty when it was
};
SectionsRead read_added_sections(const std::string& record);

// Written through a temporary file; 0 or the errno. No file is left when
// nothing was added.
int write_added_sections(const std::string& record, const std::vector<AddedSections>& files);

// Adds a title of cfg to files, once.
void note_added_section(std::vector<AddedSections>& files, const std::string& cfg,
                        const std::string& title);

// Takes the sections out of their files (a section already gone counts as
// removed), each file rewritten through a temporary file. The failures, one
// "path: reason" each; empty when every file is as it should be.
std::vector<std::string> remove_added_sections(const std::vector<AddedSections>& files);

}  // namespace wingstow

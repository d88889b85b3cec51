#include "commands/catalogue.h"

#include <algorithm>
#include <vector>

#include "base/path_helpers.h"
#include "commands/pictures.h"
#include "platform/ascii_case.h"
#include "platform/files.h"
#include "removal/removal.h"
#include "settings/record.h"

namespace wingstow {
namespace {

int catalogue_count(Ui& ui) { return static_cast<int>(ui.catalogue().size()); }

void check_all(Ui& ui, bool checked) {
  const int count = catalogue_count(ui);
  for (int i = 0; i < count; ++i) ui.set_catalogue_checked(i, checked);
}

// The records lying directly in folder, in the finder's order. A folder that
// does not exist has none: the finder would keep searching its previous one.
const std::vector<std::string>& search_records(Shared& shared, const std::string& folder,
                                               std::vector<std::string>& memo) {
  memo.clear();
  if (folder.empty() || !platform::folder_exists(folder)) return memo;
  shared.FindFile1.setPath(folder);
  shared.FindFile1.FileMask = "*.txt";
  shared.FindFile1.FileAttr = {};
  shared.FindFile1.InSubFolders = false;
  memo = shared.FindFile1.Search();
  return memo;
}

// ListBox3 sorts without regard to case, keeping equal names in the order
// they were added.
void show_found(Ui& ui, std::vector<std::string> names) {
  std::stable_sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    return ascii_lower(a) < ascii_lower(b);
  });
  ui.set_found_list(names);
}

}  // namespace

void SpeedButton8Click(Shared& shared, Ui& ui) {
  std::vector<std::string> records;
  const auto entries = ui.catalogue();
  for (std::size_t i = 0; i < entries.size(); ++i)
    if (ui.catalogue_checked(static_cast<int>(i))) records.push_back(entries[i]);
  remove_records(shared, ui, records);
}

void update_delete_button(Ui& ui) {
  const int count = catalogue_count(ui);
  bool any = false;
  for (int i = 0; i < count && !any; ++i) any = ui.catalogue_checked(i);
  ui.set_enabled(Control::SpeedButton8, any);
}

void SpeedButton2Click(Ui& ui) {
  if (catalogue_count(ui) == 0) return;
  check_all(ui, true);
  ui.set_enabled(Control::SpeedButton8, true);
}

void SpeedButton3Click(Ui& ui) {
  if (catalogue_count(ui) == 0) return;
  check_all(ui, false);
  ui.set_enabled(Control::SpeedButton8, false);
}

void ListBox2ClickCheck(Ui& ui) { update_delete_button(ui); }

void ListBox2Click(Shared& shared, Ui& ui) {
  const int index = ui.catalogue_index();
  const auto entries = ui.catalogue();
  if (index < 0 || index >= static_cast<int>(entries.size())) return;
  const std::string& entry = entries[static_cast<std::size_t>(index)];
  // The package folder may differ from its record's name in letter case; the
  // pictures found must carry the disk's spelling to be opened.
  show_record_picture(shared, ui,
                      platform::resolve(parent_folder(entry) + last_path_part(entry, 4)));
}

void Edit3Change(Ui& ui) {
  if (ui.text_of(Control::Edit3).empty()) {
    ui.set_enabled(Control::SpeedButton1, false);
    ui.set_found_list({});
  } else {
    ui.set_enabled(Control::SpeedButton1, true);
  }
}

void SpeedButton1Click(Shared& shared, Ui& ui) {
  check_all(ui, false);
  const std::string tag = ui.simulator_tag();
  const std::string folder =
      tag.empty() ? std::string()
                  : platform::resolve(shared.program_folder + "unzip_" + tag) + platform::sep;
  ui.set_found_list({});
  const std::string wanted = ascii_lower(ui.text_of(Control::Edit3));
  const auto entries = ui.catalogue();
  std::vector<std::string> found;
  const auto records = search_records(shared, folder, shared.Memo1);
  for (const auto& record : records) {
    bool matched = false;
    // An empty text is never found, as with the string search of the records.
    if (!wanted.empty()) {
      try {
        read_record_lines(record, [&](const std::string& line) {
          matched = ascii_lower(line).find(wanted) != std::string::npos;
          return !matched;
        });
      } catch (const NotARecord&) {
        continue;  // a user's text file, left out of the catalogue too
      }
    }
    if (!matched) continue;
    for (std::size_t i = 0; i < entries.size(); ++i) {
      if (!same_path(entries[i], record)) continue;
      found.push_back(last_path_part(entries[i], 4));
      ui.set_catalogue_checked(static_cast<int>(i), true);
    }
    show_found(ui, found);
  }
  update_delete_button(ui);
}

bool listed_in_other_record(Shared& shared, const std::string& path, const std::string& record) {
  const auto records = search_records(shared, shared.unzip_path, shared.Memo2);
  if (records.size() <= 1) return false;
  const std::string wanted = ascii_lower(path);
  bool listed = false;
  for (const auto& other : records) {
    if (other == record) continue;
    try {
      read_record_lines(other, [&](const std::string& line) {
        if (ascii_lower(line) == wanted) listed = true;
        return true;
      });
    } catch (const NotARecord&) {
      // Lists nothing.
    }
  }
  return listed;
}

}  // namespace wingstow

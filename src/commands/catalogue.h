#pragma once

// The tab "Delete installed airplanes": the catalogue ListBox2 of
// installation records with its check marks, the text search over the
// records, the picture of the selected airplane, and Delete from FS over the
// records checked.

#include <string>

#include "base/ui.h"
#include "settings/shared.h"

namespace wingstow {

// Delete from FS: removes the records checked in the catalogue.
void SpeedButton8Click(Shared& shared, Ui& ui);

// SpeedButton8 ("Delete from FS") enabled exactly when an entry is checked.
void update_delete_button(Ui& ui);

// Check all / Uncheck all; nothing at all on an empty catalogue.
void SpeedButton2Click(Ui& ui);
void SpeedButton3Click(Ui& ui);

// The user toggled a check box.
void ListBox2ClickCheck(Ui& ui);

// Shows the picture of the selected airplane, found in the package folder
// lying beside its record.
void ListBox2Click(Shared& shared, Ui& ui);

// Find follows Edit3; emptying it also clears the names found.
void Edit3Change(Ui& ui);

// Find: checks exactly the airplanes whose record has a line containing the
// text of Edit3 (ASCII letters in any case), and names them in ListBox3.
// Throws Error when a record cannot be read; marks set before stay.
void SpeedButton1Click(Shared& shared, Ui& ui);

// True when a record in unzip_path other than record lists path, letter
// case ignored for ASCII letters. Throws Error when a record cannot be read.
bool listed_in_other_record(Shared& shared, const std::string& path, const std::string& record);

}  // namespace wingstow

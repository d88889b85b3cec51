#pragma once

#include <string>

#include "base/ui.h"
#include "settings/shared.h"

namespace wingstow {

// Lists the JPEG pictures of the clicked package folder, then its GIF
// pictures, in ListBox1, and shows the first in AdvImage1 and AdvImage3.
void show_package_pictures(Shared& shared, Ui& ui);

// Shows in AdvImage2 the first JPEG picture of an installed airplane's
// package folder, or its first GIF when it has no JPEG; empty when the folder
// is gone.
void show_record_picture(Shared& shared, Ui& ui, const std::string& folder);

}  // namespace wingstow

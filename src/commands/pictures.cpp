#include "commands/pictures.h"

#include <sys/stat.h>

#include <algorithm>

#include "platform/files.h"

namespace wingstow {
namespace {

// Asked without opening: a named pipe called "x.jpg" would block whoever
// opens it. The finder leaves such entries out already; this holds for an
// entry replaced after the search too.
bool regular_file(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

void search_pictures(Shared& shared, const std::string& mask) {
  shared.Memo2.clear();
  shared.FindFile1.FileMask = mask;
  shared.FindFile1.InSubFolders = true;
  shared.FindFile1.FileAttr = {};
  shared.Memo2 = shared.FindFile1.Search();
  std::erase_if(shared.Memo2, [](const std::string& path) { return !regular_file(path); });
}

}  // namespace

void show_package_pictures(Shared& shared, Ui& ui) {
  const std::string package = ui.list_selected_item();
  std::vector<std::string> pictures;
  if (platform::folder_exists(package)) {
    shared.FindFile1.setPath(package);
    search_pictures(shared, "*.jpg");
    pictures = shared.Memo2;
    search_pictures(shared, "*.gif");
    pictures.insert(pictures.end(), shared.Memo2.begin(), shared.Memo2.end());
  }
  ui.set_picture_list(pictures);
  if (pictures.empty()) {
    ui.clear_picture(Control::AdvImage3);
    ui.clear_picture(Control::AdvImage1);
    return;
  }
  ui.load_picture(Control::AdvImage1, pictures.front());
  ui.load_picture(Control::AdvImage3, pictures.front());
}

void show_record_picture(Shared& shared, Ui& ui, const std::string& folder) {
  // The finder would keep searching its previous folder.
  if (!platform::folder_exists(folder)) {
    ui.clear_picture(Control::AdvImage2);
    return;
  }
  shared.FindFile1.setPath(folder);
  search_pictures(shared, "*.jpg");
  if (shared.Memo2.empty()) search_pictures(shared, "*.gif");
  if (shared.Memo2.empty())
    ui.clear_picture(Control::AdvImage2);
  else
    ui.load_picture(Control::AdvImage2, shared.Memo2.front());
}

}  // namespace wingstow

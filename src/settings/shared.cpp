#include "settings/shared.h"

#include <utility>

namespace wingstow {

Shared::Shared(std::string folder)
    : program_folder(std::move(folder)),
      ini_path(program_folder + "planeyard.ini"),
      settings_file(ini_path) {}

}  // namespace wingstow

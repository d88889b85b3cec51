#include "support/zip_builder.h"

#include <zip.h>

#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace wingstow::test {

void write_zip(const std::string& path,
               const std::vector<std::pair<std::string, std::string>>& entries) {
  int error = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  if (!archive) throw std::runtime_error("cannot create " + path);
  for (const auto& [name, content] : entries) {
    void* copy = std::malloc(content.size() + 1);
    std::memcpy(copy, content.data(), content.size());
    zip_source_t* source = zip_source_buffer(archive, copy, content.size(), 1);
    if (!source || zip_file_add(archive, name.c_str(), source, ZIP_FL_ENC_UTF_8) < 0) {
      if (source) zip_source_free(source);
      zip_discard(archive);
      throw std::runtime_error("cannot add " + name + " to " + path);
    }
  }
  if (zip_close(archive) != 0) {
    zip_discard(archive);
    throw std::runtime_error("cannot write " + path);
  }
}

}  // namespace wingstow::test

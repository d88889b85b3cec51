// How long the searches that every click and install repeat take on a
// package-sized tree: the finder through all subfolders, and folder_size.

#include <benchmark/benchmark.h>

#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <string>

#include "base/find_file.h"
#include "settings/folder_size.h"

namespace {

// 20 folders of 5 subfolders of 40 files: 4000 files, the size of a large
// airplane package with its textures.
const std::string& package_tree() {
  static QTemporaryDir dir;
  static const std::string root = [] {
    const std::string base = dir.path().toStdString() + "/Pack/";
    for (int a = 0; a < 20; ++a)
      for (int b = 0; b < 5; ++b) {
        const std::string folder =
            base + "plane" + std::to_string(a) + "/texture" + std::to_string(b) + "/";
        std::filesystem::create_directories(folder);
        for (int f = 0; f < 40; ++f)
          std::ofstream(folder + "tex" + std::to_string(f) + (f % 10 ? ".bmp" : ".gau")) << f;
      }
    return base;
  }();
  return root;
}

void BM_FinderThroughSubfolders(benchmark::State& state) {
  wingstow::TFindFile finder;
  finder.setPath(package_tree());
  finder.FileAttr = {};
  finder.InSubFolders = true;
  finder.FileMask = "*.gau";
  for (auto _ : state) benchmark::DoNotOptimize(finder.Search().size());
}
BENCHMARK(BM_FinderThroughSubfolders);

void BM_FolderSize(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(wingstow::folder_size(package_tree(), true));
}
BENCHMARK(BM_FolderSize);

}  // namespace

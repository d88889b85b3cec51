// How long extracting a large archive takes: up to 100,000 small stored
// entries in a few folders, so that any cost growing with the entries already
// written (a folder listed again for each new file) shows at once; and, when
// WINGSTOW_BENCH_ZIP names a real package, that package with one worker and
// with two, extracted under WINGSTOW_BENCH_DIR (tmpfs measures the work, not
// the disk).

#include <benchmark/benchmark.h>
#include <zip.h>

#include <QTemporaryDir>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "base/ui.h"
#include "bench_support.h"
#include "packages/zip_master.h"

namespace {

// The extraction alone is measured: the user says yes and watches nothing.
using QuietUi = wingstow::bench::YesUi;

// count entries of a few bytes, stored: 90% in one texture folder, the rest
// spread over 100 folders.
std::string make_archive(const std::string& file, int count) {
  int error = 0;
  zip_t* archive = zip_open(file.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  if (!archive) throw std::runtime_error("cannot create " + file);
  static const char data[] = "texture";
  for (int i = 0; i < count; ++i) {
    const std::string name =
        i % 10 == 0 ? "Plane/panel" + std::to_string(i % 1000) + "/g" + std::to_string(i) + ".gau"
                    : "Plane/texture/t" + std::to_string(i) + ".bmp";
    zip_source_t* source = zip_source_buffer(archive, data, sizeof data - 1, 0);
    const zip_int64_t index = zip_file_add(archive, name.c_str(), source, ZIP_FL_ENC_UTF_8);
    if (index < 0) throw std::runtime_error("cannot add " + name);
    zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0);
  }
  if (zip_close(archive) != 0) throw std::runtime_error("cannot write " + file);
  return file;
}

// Items per second must not fall from the small archive to the large one.
void BM_ExtractManyEntries(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  QTemporaryDir dir;
  const std::string archive = make_archive(dir.path().toStdString() + "/large.zip", count);
  QuietUi ui;
  wingstow::ZipMaster zip(ui);
  zip.Unattended = true;
  zip.Workers = static_cast<unsigned>(state.range(1));
  for (auto _ : state) {
    state.PauseTiming();
    QTemporaryDir target;
    zip.setZipFileName(archive);
    zip.ExtrBaseDir = target.path().toStdString() + "/";
    state.ResumeTiming();
    if (zip.Extract() != 0) state.SkipWithError("extraction failed");
    state.PauseTiming();
    target.remove();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_ExtractManyEntries)
    ->ArgNames({"entries", "workers"})
    ->Args({10000, 1})
    ->Args({10000, 2})
    ->Args({100000, 2})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

void BM_ExtractPackage(benchmark::State& state, const std::string& archive) {
  const char* folder = std::getenv("WINGSTOW_BENCH_DIR");
  const QString pattern =
      folder ? QString::fromStdString(std::string(folder) + "/extract-XXXXXX") : QString();
  QuietUi ui;
  wingstow::ZipMaster zip(ui);
  zip.Unattended = true;
  zip.Workers = static_cast<unsigned>(state.range(0));
  std::int64_t bytes = 0;
  for (auto _ : state) {
    state.PauseTiming();
    QTemporaryDir target = folder ? QTemporaryDir(pattern) : QTemporaryDir();
    std::uint64_t total = 0;
    zip.OnProgress = [&](int kind, const std::string&, std::uint64_t size) {
      if (kind == 4) total = size;
    };
    zip.setZipFileName(archive);
    zip.ExtrBaseDir = target.path().toStdString() + "/";
    state.ResumeTiming();
    if (zip.Extract() != 0) state.SkipWithError("extraction failed");
    state.PauseTiming();
    bytes += static_cast<std::int64_t>(total);
    target.remove();
    state.ResumeTiming();
  }
  state.SetBytesProcessed(bytes);
}

// Registered only for a package named in the environment.
const bool package_registered = [] {
  const char* archive = std::getenv("WINGSTOW_BENCH_ZIP");
  if (!archive) return false;
  benchmark::RegisterBenchmark("BM_ExtractPackage", BM_ExtractPackage, std::string(archive))
      ->ArgName("workers")
      ->Arg(1)
      ->Arg(2)
      ->Unit(benchmark::kMillisecond)
      ->Iterations(1);
  return true;
}();

}  // namespace

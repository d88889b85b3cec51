// What "Delete from FS" and every install step pay for knowing who lists
// what: reading the records of a large installation into the index, asking
// it about every line, and taking records out of it as they are removed.

#include <benchmark/benchmark.h>

#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "settings/record_index.h"

namespace {

constexpr int records = 2000;
constexpr int lines_per_record = 40;

struct Catalogue {
  std::string unzip;
  std::vector<std::string> records;
  std::vector<std::string> lines;  // every line of every record
};

// 2,000 records of 40 lines: each airplane's folder and files of its own,
// a few gauges shared by neighbours (spelled in other letter case by every
// other record) and one gauge that every record lists.
const Catalogue& catalogue() {
  static QTemporaryDir dir;
  static const Catalogue made = [] {
    Catalogue c;
    c.unzip = dir.path().toStdString() + "/unzip_fs2004/";
    std::filesystem::create_directories(c.unzip);
    const std::string fs = dir.path().toStdString() + "/FS9/";
    for (int r = 0; r < records; ++r) {
      const std::string name = "Package " + std::to_string(r);
      std::string text;
      for (int l = 0; l < lines_per_record; ++l) {
        std::string line;
        if (l == 0)
          line = fs + "Aircraft/" + name;
        else if (l <= 3)
          line = fs + (r % 2 ? "GAUGES/Shared_" : "Gauges/shared_") + std::to_string(r / 5) + "_" +
                 std::to_string(l) + ".gau";
        else if (l == 4)
          line = fs + "Gauges/common.gau";
        else
          line = fs + "Sound/" + name + "_" + std::to_string(l) + ".wav";
        text += line + "\r\n";
        c.lines.push_back(line);
      }
      c.records.push_back(c.unzip + name + ".txt");
      std::ofstream(c.records.back(), std::ios::binary) << text;
    }
    return c;
  }();
  return made;
}

void BM_RecordIndexLoad(benchmark::State& state) {
  const auto& c = catalogue();
  for (auto _ : state) benchmark::DoNotOptimize(wingstow::RecordIndex::load(c.unzip));
  state.SetItemsProcessed(state.iterations() * records * lines_per_record);
}
BENCHMARK(BM_RecordIndexLoad)->Unit(benchmark::kMillisecond);

// The question removal asks of every line of a record it removes.
void BM_RecordIndexListedByOthers(benchmark::State& state) {
  const auto& c = catalogue();
  const auto index = wingstow::RecordIndex::load(c.unzip);
  std::size_t i = 0;
  for (auto _ : state) {
    const auto& line = c.lines[i % c.lines.size()];
    benchmark::DoNotOptimize(
        index.listed_by_others(line, c.records[i / lines_per_record % records]));
    ++i;
  }
}
BENCHMARK(BM_RecordIndexListedByOthers);

// 100 records of 2,000 leave the index, as a removal run takes them out.
void BM_RecordIndexForget100(benchmark::State& state) {
  const auto& c = catalogue();
  wingstow::RecordIndex index;
  for (auto _ : state) {
    state.PauseTiming();
    index = wingstow::RecordIndex::load(c.unzip);  // the last one goes while paused
    state.ResumeTiming();
    for (int r = 0; r < records; r += records / 100) index.forget(c.records[r]);
    benchmark::DoNotOptimize(index.count(c.lines[4]));
  }
}
BENCHMARK(BM_RecordIndexForget100)->Unit(benchmark::kMicrosecond);

}  // namespace

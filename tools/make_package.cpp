// Makes a synthetic airplane package shaped like a large fleet, for the
// benchmarks: airplane folders with models, textures, panels and sounds, and
// the package's gauges, sounds and effects. The same seed, scale and fleet
// size always give the same bytes.
//
//   wingstow_package OUTPUT.zip [--seed N] [--scale F] [--planes N]
//
// By default 30 airplanes, 4,145 entries, about 644 MiB unpacked and half that
// packed (deflate, level 9). --scale multiplies the size of every binary file
// (0.005 gives a few MiB for a quick run); the entries stay the same.
// Entries are generated while libzip writes them, one at a time, so memory
// stays small whatever the size.

#include <zip.h>

#include <algorithm>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

// splitmix64: small, fast, and the same on every machine and library.
class Rng {
 public:
  explicit Rng(std::uint64_t seed) : state_(seed) {}
  std::uint64_t next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  std::uint64_t below(std::uint64_t n) { return n == 0 ? 0 : next() % n; }
  // Uniform in [mean / 2, mean * 3 / 2].
  std::uint64_t around(std::uint64_t mean) { return mean / 2 + below(mean + 1); }

 private:
  std::uint64_t state_;
};

struct Entry {
  std::string name;  // a folder's ends with '/'
  bool folder = false;
  // A binary file is made from its seed when libzip reads it; a text file
  // is small and kept.
  std::string text;
  std::uint64_t size = 0;
  std::uint64_t seed = 0;
  unsigned random_percent = 0;  // the share of noise; the rest repeats
  std::string header;           // magic bytes a reader would expect
};

// Texture-like bytes: stretches of noise between repeats of what came shortly
// before (rows and tiles) and flat areas, so deflate packs them about 2:1 and
// inflate meets both literals and long matches, as with real textures.
void fill_binary(const Entry& entry, std::vector<unsigned char>& out) {
  Rng rng(entry.seed);
  out.clear();
  out.reserve(entry.size);
  out.insert(out.end(), entry.header.begin(),
             entry.header.begin() + static_cast<std::ptrdiff_t>(
                                        std::min<std::uint64_t>(entry.header.size(), entry.size)));
  while (out.size() < entry.size) {
    const std::size_t length = std::min<std::size_t>(entry.size - out.size(), 32 + rng.below(480));
    const unsigned pick = static_cast<unsigned>(rng.below(100));
    if (pick < entry.random_percent || out.size() < 1024) {
      for (std::size_t i = 0; i < length; i += 8) {
        const std::uint64_t bits = rng.next();
        for (std::size_t b = 0; b < 8 && i + b < length; ++b)
          out.push_back(static_cast<unsigned char>(bits >> (8 * b)));
      }
    } else if (pick < entry.random_percent + (100 - entry.random_percent) * 3 / 4) {
      const std::size_t distance = 1 + rng.below(std::min<std::size_t>(out.size(), 32768));
      for (std::size_t i = 0; i < length; ++i) {
        const unsigned char byte = out[out.size() - distance];
        out.push_back(byte);
      }
    } else {
      const std::size_t period = 1 + rng.below(4);
      const std::uint64_t pattern = rng.next();
      for (std::size_t i = 0; i < length; ++i)
        out.push_back(static_cast<unsigned char>(pattern >> (8 * (i % period))));
    }
  }
}

// ---- Text files of the package

std::string two_digits(int n) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d", n);
  return text;
}

std::string aircraft_cfg(const std::string& plane, Rng& rng) {
  std::string text;
  for (int livery = 0; livery < 6; ++livery) {
    const std::string n = std::to_string(livery);
    text += "[fltsim." + n + "]\r\ntitle=" + plane + " livery " + n + "\r\nsim=" + plane +
            "\r\nmodel=\r\npanel=\r\nsound=\r\ntexture=" + n + "\r\nkb_checklists=\r\n" +
            "atc_id=N" + std::to_string(1000 + rng.below(9000)) + "\r\nui_manufacturer=Synthetic" +
            "\r\nui_type=" + plane + "\r\nui_variation=Livery " + n +
            "\r\ndescription=A synthetic airliner for the benchmarks.\r\n\r\n";
  }
  text += "[General]\r\natc_type=LINER\r\natc_model=SL\r\neditable=1\r\nperformance=\r\n\r\n";
  text += "[WEIGHT_AND_BALANCE]\r\nmax_gross_weight=" + std::to_string(100000 + rng.below(80000)) +
          "\r\nempty_weight=" + std::to_string(60000 + rng.below(20000)) + "\r\n";
  for (int station = 0; station < 12; ++station)
    text += "station_load." + std::to_string(station) + "=" + std::to_string(rng.below(4000)) +
            ", " + std::to_string(static_cast<int>(rng.below(80)) - 40) + ", 0.0, 0.0\r\n";
  text += "\r\n[contact_points]\r\n";
  for (int point = 0; point < 14; ++point)
    text += "point." + std::to_string(point) + "=1, " +
            std::to_string(static_cast<int>(rng.below(120)) - 60) + ".00, " +
            std::to_string(static_cast<int>(rng.below(60)) - 30) + ".00, -" +
            std::to_string(rng.below(12)) + ".50, 1600, 0, 1.0, 60.0, 0.5, 2.5, 0.9, 8.0, 8.0, " +
            "0, 0, 0\r\n";
  text += "\r\n[flight_tuning]\r\ncruise_lift_scalar=1.0\r\nparasite_drag_scalar=1.0\r\n";
  return text;
}

std::string panel_cfg(const std::string& plane, int bitmaps) {
  std::string text = "[Window Titles]\r\n";
  for (int w = 0; w < bitmaps; ++w)
    text += "Window" + two_digits(w) + "=" + plane + " panel " + std::to_string(w) + "\r\n";
  for (int w = 0; w < bitmaps; ++w) {
    text += "\r\n[Window" + two_digits(w) + "]\r\nBackground_color=0,0,0\r\nsize_mm=1024,768\r\n";
    text += "file=main_" + std::to_string(w) + ".bmp\r\n";
    for (int g = 0; g < 20; ++g)
      text += "gauge" + two_digits(g) + "=liner_" + std::to_string(g % 12) + "!Gauge_" +
              std::to_string(g) + ", " + std::to_string(g * 40) + "," + std::to_string(w * 30) +
              ",120,120\r\n";
  }
  return text;
}

std::string effect_fx(int number, Rng& rng) {
  std::string text = "[Library Effect]\r\nLifetime=" + std::to_string(1 + rng.below(30)) +
                     "\r\nVersion=1.00\r\nRadius=" + std::to_string(rng.below(200)) + "\r\n";
  const int emitters = 2 + static_cast<int>(rng.below(6));
  for (int e = 0; e < emitters; ++e) {
    const std::string n = std::to_string(e);
    text +=
        "\r\n[Emitter." + n + "]\r\nLifetime=0.00, 0.00\r\nDelay=0.00, 0.00\r\nBounce=0.00\r\n" +
        "Rate=" + std::to_string(rng.below(100)) + ".00, " + std::to_string(rng.below(100)) +
        ".00\r\nX Emitter Velocity=-" + std::to_string(rng.below(9)) + ".00, " +
        std::to_string(rng.below(9)) + ".00\r\n\r\n[Particle." + n +
        "]\r\nLifetime=" + std::to_string(rng.below(20)) + ".00, " + std::to_string(rng.below(20)) +
        ".00\r\nType=18, 1\r\nTexture=fx_" + std::to_string((number + e) % 300) +
        ".bmp\r\nColor Start=255, 255, 255, " + std::to_string(rng.below(256)) +
        "\r\nColor End=255, 255, 255, 0\r\nSize Start=" + std::to_string(rng.below(40)) +
        ".00, 0.00\r\n";
  }
  return text;
}

// ---- The package

constexpr std::uint64_t KiB = 1024;

struct Plan {
  std::uint64_t seed = 1;
  double scale = 1.0;
  int planes = 30;
};

class PackagePlan {
 public:
  explicit PackagePlan(const Plan& plan) : plan_(plan), rng_(plan.seed) {}

  std::vector<Entry> make() {
    folder("Aircraft/");
    for (int p = 1; p <= plan_.planes; ++p) airplane(p);
    folder("Effects/");
    for (int f = 0; f < 1219; ++f)
      text("Effects/fx_liner_" + std::to_string(f) + ".fx", effect_fx(f, rng_));
    folder("Effects/Texture/");
    for (int f = 0; f < 300; ++f)
      binary("Effects/Texture/fx_" + std::to_string(f) + ".bmp", 48 * KiB, 48, "BM");
    folder("Gauges/");
    for (int g = 0; g < 60; ++g)
      binary("Gauges/liner_" + std::to_string(g) + ".gau", 250 * KiB, 64, "MZ");
    folder("Sound/");
    for (int s = 0; s < 40; ++s)
      binary("Sound/liner_engine_" + std::to_string(s) + ".wav", 600 * KiB, 53, "RIFF");
    text("readme.txt",
         "A synthetic fleet for Wingstow's benchmarks.\r\nCopy the airplanes into Aircraft, the "
         "gauges into Gauges, the sounds into Sound and the effects into Effects.\r\n");
    return std::move(entries_);
  }

 private:
  void airplane(int number) {
    const std::string plane = "Synthetic Liner " + two_digits(number);
    const std::string base = "Aircraft/" + plane + "/";
    const std::string short_name = "liner" + two_digits(number);
    folder(base);
    text(base + "aircraft.cfg", aircraft_cfg(plane, rng_));
    folder(base + "model/");
    text(base + "model/model.cfg",
         "[models]\r\nnormal=" + short_name + "\r\ninterior=" + short_name + "_vc\r\n");
    binary(base + "model/" + short_name + ".mdl", 2200 * KiB, 43, "RIFF");
    binary(base + "model/" + short_name + "_vc.mdl", 1600 * KiB, 43, "RIFF");
    folder(base + "texture/");
    static const char* const parts[] = {"fuselage", "wing", "tail", "engine", "gear",
                                        "cabin",    "vc",   "flap", "door",   "cockpit"};
    for (int t = 0; t < 65; ++t)
      binary(base + "texture/" + parts[t % 10] + "_" + std::to_string(t / 10) +
                 (t % 3 == 0 ? "_t.bmp" : "_l.bmp"),
             239 * KiB, 49, "BM");
    binary(base + "texture/thumbnail.jpg", 40 * KiB, 95, "\xFF\xD8\xFF\xE0");
    folder(base + "panel/");
    text(base + "panel/panel.cfg", panel_cfg(plane, 7));
    for (int b = 0; b < 7; ++b)
      binary(base + "panel/main_" + std::to_string(b) + ".bmp", 120 * KiB, 37, "BM");
    folder(base + "sound/");
    text(base + "sound/sound.cfg", "[fltsim]\r\nalias=" + plane + "\\sound\r\n");
  }

  void folder(const std::string& name) {
    Entry entry;
    entry.name = name;
    entry.folder = true;
    entries_.push_back(std::move(entry));
  }

  void text(const std::string& name, std::string content) {
    Entry entry;
    entry.name = name;
    entry.size = content.size();
    entry.text = std::move(content);
    entries_.push_back(std::move(entry));
  }

  void binary(const std::string& name, std::uint64_t mean, unsigned random_percent,
              const std::string& header) {
    Entry entry;
    entry.name = name;
    const double size = static_cast<double>(rng_.around(mean)) * plan_.scale;
    entry.size = std::max<std::uint64_t>(static_cast<std::uint64_t>(size), header.size());
    entry.seed = rng_.next();
    entry.random_percent = random_percent;
    entry.header = header;
    entries_.push_back(std::move(entry));
  }

  Plan plan_;
  Rng rng_;
  std::vector<Entry> entries_;
};

// ---- Writing: a libzip source that makes each entry when it is read

struct Source {
  const Entry* entry;
  std::vector<unsigned char> data;
  std::size_t offset = 0;
  zip_error_t error;
};

// 2004-07-29 12:00:00 UTC, for every entry.
constexpr std::time_t entry_time = 1091102400;

zip_int64_t read_source(void* userdata, void* data, zip_uint64_t length, zip_source_cmd_t command) {
  auto* source = static_cast<Source*>(userdata);
  const Entry& entry = *source->entry;
  switch (command) {
    case ZIP_SOURCE_OPEN:
      if (entry.text.empty())
        fill_binary(entry, source->data);
      else
        source->data.assign(entry.text.begin(), entry.text.end());
      source->offset = 0;
      return 0;
    case ZIP_SOURCE_READ: {
      const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(length),
                                                  source->data.size() - source->offset);
      std::memcpy(data, source->data.data() + source->offset, n);
      source->offset += n;
      return static_cast<zip_int64_t>(n);
    }
    case ZIP_SOURCE_CLOSE:
      std::vector<unsigned char>().swap(source->data);
      return 0;
    case ZIP_SOURCE_STAT: {
      auto* stat = static_cast<zip_stat_t*>(data);
      zip_stat_init(stat);
      stat->size = entry.size;
      stat->mtime = entry_time;
      stat->valid |= ZIP_STAT_SIZE | ZIP_STAT_MTIME;
      return sizeof(zip_stat_t);
    }
    case ZIP_SOURCE_ERROR:
      return zip_error_to_data(&source->error, data, length);
    case ZIP_SOURCE_FREE:
      zip_error_fini(&source->error);
      delete source;
      return 0;
    case ZIP_SOURCE_SUPPORTS:
      return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE,
                                            ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
    default:
      zip_error_set(&source->error, ZIP_ER_OPNOTSUPP, 0);
      return -1;
  }
}

bool add(zip_t* archive, const Entry& entry) {
  zip_int64_t index = -1;
  if (entry.folder) {
    index = zip_dir_add(archive, entry.name.substr(0, entry.name.size() - 1).c_str(), 0);
  } else {
    auto* state = new Source{&entry, {}, 0, {}};
    zip_error_init(&state->error);
    zip_source_t* source = zip_source_function(archive, read_source, state);
    if (!source) {
      zip_error_fini(&state->error);
      delete state;
      return false;
    }
    index = zip_file_add(archive, entry.name.c_str(), source, 0);
    if (index < 0) {
      zip_source_free(source);
      return false;
    }
  }
  const auto i = static_cast<zip_uint64_t>(index);
  const zip_uint32_t mode = entry.folder ? 040755u : 0100644u;
  return zip_set_file_compression(archive, i, entry.folder ? ZIP_CM_STORE : ZIP_CM_DEFLATE,
                                  entry.folder ? 0 : 9) == 0 &&
         zip_file_set_mtime(archive, i, entry_time, 0) == 0 &&
         zip_file_set_external_attributes(archive, i, 0, ZIP_OPSYS_UNIX,
                                          (mode << 16) | (entry.folder ? 0x10u : 0u)) == 0;
}

void show_progress(zip_t*, double done, void*) {
  std::fprintf(stderr, "\r  writing %3d%%", static_cast<int>(done * 100));
}

int usage(const char* program) {
  std::fprintf(stderr, "usage: %s OUTPUT.zip [--seed N] [--scale F] [--planes N]\n", program);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return usage(argv[0]);
  const std::string output = argv[1];
  Plan plan;
  for (int i = 2; i < argc; ++i) {
    const std::string option = argv[i];
    if (i + 1 >= argc) return usage(argv[0]);
    const char* value = argv[++i];
    char* end = nullptr;
    if (option == "--seed")
      plan.seed = std::strtoull(value, &end, 10);
    else if (option == "--scale")
      plan.scale = std::strtod(value, &end);
    else if (option == "--planes")
      plan.planes = static_cast<int>(std::strtol(value, &end, 10));
    else
      return usage(argv[0]);
    if (!end || *end != '\0') return usage(argv[0]);
  }
  if (!(plan.scale > 0) || plan.planes < 1 || plan.planes > 99) return usage(argv[0]);
  // The times stored in the archive do not depend on the machine's zone.
  ::setenv("TZ", "UTC", 1);
  ::tzset();

  const std::vector<Entry> entries = PackagePlan(plan).make();
  std::uint64_t unpacked = 0;
  for (const auto& entry : entries) unpacked += entry.size;

  int error = 0;
  zip_t* archive = zip_open(output.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  if (!archive) {
    std::fprintf(stderr, "cannot create %s (libzip error %d)\n", output.c_str(), error);
    return 1;
  }
  for (const auto& entry : entries)
    if (!add(archive, entry)) {
      std::fprintf(stderr, "cannot add %s: %s\n", entry.name.c_str(), zip_strerror(archive));
      zip_discard(archive);
      return 1;
    }
  if (::isatty(2))
    zip_register_progress_callback_with_state(archive, 0.01, show_progress, nullptr, nullptr);
  // libzip writes a temporary file and renames it: the output is whole or absent.
  if (zip_close(archive) != 0) {
    std::fprintf(stderr, "\ncannot write %s: %s\n", output.c_str(), zip_strerror(archive));
    zip_discard(archive);
    return 1;
  }
  if (::isatty(2)) std::fprintf(stderr, "\n");

  const std::uintmax_t packed = std::filesystem::file_size(output);
  std::printf("%s: %zu entries, %" PRIu64
              " bytes unpacked (%.0f MiB), %ju bytes packed (%.0f MiB)\n",
              output.c_str(), entries.size(), unpacked, static_cast<double>(unpacked) / (1 << 20),
              packed, static_cast<double>(packed) / (1 << 20));
  return 0;
}

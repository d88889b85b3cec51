// Makes a sample to try Wingstow on: a simulator tree spelled as Wine trees
// spell it, and a few airplane packages as users download them.
//
//   wingstow_sample SAMPLE_FOLDER
//
// gives SAMPLE_FOLDER/FS9 (choose it as the FS 2004 folder) and
// SAMPLE_FOLDER/downloads/*.zip (copy them into download_fs2004 beside the
// program).

#include <zip.h>

#include <QBuffer>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <map>
#include <string>

namespace {

using Files = std::map<std::string, QByteArray>;

QByteArray jpeg(const QColor& sky, const QString& title) {
  QImage image(320, 200, QImage::Format_RGB32);
  QPainter painter(&image);
  painter.fillRect(image.rect(), sky);
  painter.fillRect(QRect(0, 150, 320, 50), QColor(70, 130, 60));
  painter.setBrush(Qt::white);
  painter.setPen(Qt::black);
  painter.drawEllipse(QRect(90, 80, 140, 26));                                         // fuselage
  painter.drawPolygon(QPolygon({QPoint(140, 92), QPoint(170, 40), QPoint(185, 92)}));  // wing
  painter.drawPolygon(QPolygon({QPoint(95, 90), QPoint(80, 62), QPoint(105, 90)}));    // fin
  painter.drawText(QRect(0, 160, 320, 30), Qt::AlignCenter, title);
  painter.end();
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "JPG", 90);
  return bytes;
}

// A one-pixel GIF: Qt reads GIF but does not write it.
QByteArray gif() {
  static const unsigned char bytes[] = {
      'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x80, 0, 0, 0xff, 0, 0, 0, 0,   0, '!', 0xf9, 4,
      0,   0,   0,   0,   0,   ',', 0, 0, 0, 0, 1,    0, 1, 0,    0, 2, 2, 'D', 1, 0,   ';'};
  return QByteArray(reinterpret_cast<const char*>(bytes), sizeof bytes);
}

QByteArray text(const char* content) { return QByteArray(content); }

bool write_zip(const std::string& path, const Files& files) {
  int error = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  if (!archive) return false;
  for (const auto& [name, content] : files) {
    void* copy = std::malloc(static_cast<std::size_t>(content.size()) + 1);
    std::memcpy(copy, content.constData(), static_cast<std::size_t>(content.size()));
    zip_source_t* source =
        zip_source_buffer(archive, copy, static_cast<zip_uint64_t>(content.size()), 1);
    if (!source || zip_file_add(archive, name.c_str(), source, ZIP_FL_ENC_UTF_8) < 0) {
      zip_discard(archive);
      return false;
    }
  }
  return zip_close(archive) == 0;
}

QByteArray zip_bytes(const std::string& scratch, const Files& files) {
  if (!write_zip(scratch, files)) return {};
  QFile file(QString::fromStdString(scratch));
  file.open(QIODevice::ReadOnly);
  QByteArray bytes = file.readAll();
  file.remove();
  return bytes;
}

// Writes files below root; false when one cannot be written.
bool write_tree(const QString& root, const Files& files) {
  for (const auto& [name, content] : files) {
    const QString path = root + "/" + QString::fromStdString(name);
    QDir().mkpath(path.left(path.lastIndexOf('/')));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size()) return false;
  }
  return true;
}

// The aircraft.cfg of an airplane whose liveries share model, panel and
// sound, the first one with the plain texture folder, the others with
// texture.<suffix>.
QByteArray config(const char* air,
                  std::initializer_list<std::pair<const char*, const char*>> liveries) {
  QByteArray text;
  int n = 0;
  for (const auto& [title, texture] : liveries)
    text += "[fltsim." + QByteArray::number(n++) + "]\r\ntitle=" + title + "\r\nsim=" + air +
            "\r\nmodel=\r\npanel=\r\nsound=\r\ntexture=" + texture + "\r\n\r\n";
  return text + "[General]\r\natc_type=" + air + "\r\n";
}

// A panel of one window and a virtual cockpit, each naming these gauges.
QByteArray panel(std::initializer_list<const char*> gauges) {
  QByteArray lines;
  int n = 0;
  for (const char* gauge : gauges) {
    const QByteArray number = QByteArray::number(n).rightJustified(2, '0');
    lines +=
        "gauge" + number + "=" + gauge + ", " + QByteArray::number(20 + 70 * n) + ",10,60,60\r\n";
    ++n;
  }
  return "[Window Titles]\r\nWindow00=Main Panel\r\n\r\n[Window00]\r\n" + lines +
         "\r\n[Vcockpit01]\r\ntexture=$vc01\r\n" + lines;
}

QByteArray alias(const char* target) { return QByteArray("[fltsim]\r\nalias=") + target + "\r\n"; }

// What every airplane folder holds besides its aircraft.cfg: the flight
// model, a model and its texture folders.
void add_airplane_parts(Files& files, const std::string& folder, const char* air,
                        std::initializer_list<const char*> textures) {
  files[folder + air + ".air"] = text("air");
  files[folder + "model/" + air + ".mdl"] = text("model");
  files[folder + "model/model.cfg"] = QByteArray("[models]\r\nnormal=") + air + "\r\n";
  for (const char* texture : textures) files[folder + texture + "/" + air + "_t.bmp"] = text("BM");
}

}  // namespace

int main(int argc, char** argv) {
  // Pictures are drawn without a screen.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s SAMPLE_FOLDER\n", argv[0]);
    return 2;
  }
  const QString root = QString::fromLocal8Bit(argv[1]);
  const std::string downloads = (root + "/downloads/").toStdString();
  for (const char* sub : {"FS9/Aircraft", "FS9/Gauges", "FS9/Sound", "FS9/Effects/Texture",
                          "FS9/Modules", "FS9/Flights/MyFlts", "downloads"})
    QDir().mkpath(root + "/" + sub);

  // Stock airplanes and gauges, as the simulator comes with them.
  Files stock = {
      {"Aircraft/c172/aircraft.cfg",
       config("Cessna172SP", {{"Cessna Skyhawk 172SP", ""}, {"Cessna Skyhawk 172SP Paint1", "1"}})},
      {"Aircraft/c172/panel/panel.cfg", panel({"Cessna!Airspeed", "Cessna172!Attitude"})},
      {"Aircraft/c172/sound/sound.cfg", text("[ENGINE_GENERIC]\r\nfilename=c172_eng\r\n")},
      {"Aircraft/c172/sound/c172_eng.wav", text("RIFF")},
      {"Aircraft/beech_baron_58/aircraft.cfg", config("Beech_Baron_58", {{"Beech Baron 58", ""}})},
      {"Aircraft/beech_baron_58/panel/panel.cfg",
       panel({"Bendix_King_Radio!Com", "Cessna!Airspeed"})},
      {"Aircraft/beech_baron_58/sound/sound.cfg",
       text("[ENGINE_GENERIC]\r\nfilename=baron_eng\r\n")},
      {"Aircraft/beech_baron_58/sound/baron_eng.wav", text("RIFF")},
      {"Gauges/Cessna.gau", text("gauge")},
      {"Gauges/Cessna172.gau", text("gauge")},
      {"Gauges/Bendix_King_Radio.cab", text("cab")},
  };
  add_airplane_parts(stock, "Aircraft/c172/", "Cessna172SP", {"texture", "texture.1"});
  add_airplane_parts(stock, "Aircraft/beech_baron_58/", "Beech_Baron_58", {"texture"});

  // The two layouts of real packages: one airplane deep inside the archive,
  // with its gauges beside it; and two airplanes side by side, the one's
  // panel and sound taken from the other and from a stock airplane.
  const std::string c172 = "Cessna172/Aircraft/C172/";
  Files cessna = {
      {c172 + "aircraft.cfg",
       config("c172", {{"Cessna 172 Skyhawk", ""}, {"Cessna 172 Skyhawk Red", "red"}})},
      {c172 + "panel/panel.cfg",
       panel({"c172_radio!Radio", "cessna_panel!Attitude", "Cessna!Airspeed"})},
      {c172 + "panel/c172_radio.gau", text("gauge")},
      {c172 + "sound/sound.cfg", text("[ENGINE_GENERIC]\r\nfilename=c172_idle\r\n")},
      {c172 + "sound/c172_idle.wav", text("RIFF")},
      {"Cessna172/Gauges/cessna_panel.gau", text("gauge")},
      {"Cessna172/Sounds/cessna_engine.wav", text("RIFF")},
      {"Cessna172/Cessna172.jpg", jpeg(QColor(120, 170, 230), "Cessna 172 Skyhawk")},
      {"Cessna172/screens/cockpit.jpg", jpeg(QColor(230, 180, 120), "Cessna 172 cockpit")},
  };
  add_airplane_parts(cessna, c172, "c172", {"texture", "texture.red"});
  Files twins = {
      {"Pack/Baron/aircraft.cfg", config("baron", {{"Beech Baron", ""}})},
      {"Pack/Baron/panel/panel.cfg", panel({"Bendix_King_Radio!Com", "Cessna!Airspeed"})},
      {"Pack/Baron/sound/sound.cfg", alias("beech_baron_58\\sound")},
      {"Pack/Bonanza/aircraft.cfg", config("bonanza", {{"Beech Bonanza", ""}})},
      {"Pack/Bonanza/panel/panel.cfg", alias("Baron\\panel")},
      {"Pack/Bonanza/sound/sound.cfg", alias("Baron\\sound")},
      {"Pack/effects/fx_baron_smoke.fx", text("[Library Effect]\r\n")},
      {"Pack/effects/texture/fx_smoke.bmp", text("BM")},
      {"Pack/flights/baron_demo.flt", text("[Main]\r\n")},
      {"Pack/flights/baron_demo.wx", text("wx")},
      {"Pack/modules/baron_autopilot.dll", text("MZ")},
      {"Pack/beech.jpg", jpeg(QColor(90, 90, 160), "Beech Baron and Bonanza")},
      {"Pack/logo.gif", gif()},
  };
  add_airplane_parts(twins, "Pack/Baron/", "baron", {"texture"});
  add_airplane_parts(twins, "Pack/Bonanza/", "bonanza", {"texture"});
  const Files self_installer = {
      {"Setup/setup.exe", text("MZ")},
      {"Setup/readme.txt", text("Run setup.exe to install.")},
  };
  const Files scenery = {
      {"Scenery/readme.txt", text("Scenery only, no airplane.")},
      {"Scenery/scenery/airport.bgl", text("bgl")},
  };
  const std::string scratch = downloads + ".inner.zip";
  Files inner = {
      {"Piper/aircraft.cfg", config("cub", {{"Piper Cub", ""}})},
      {"Piper/panel/panel.cfg", panel({"cub!Airspeed"})},
      {"Piper/panel/cub.gau", text("gauge")},
      {"Piper/sound/sound.cfg", alias("c172\\sound")},
  };
  add_airplane_parts(inner, "Piper/", "cub", {"texture"});
  const Files wrapped = {
      {"readme.txt", text("The airplane is inside the inner archive.")},
      {"piper_cub_inner.zip", zip_bytes(scratch, inner)},
      {"cub.jpg", jpeg(QColor(250, 220, 90), "Piper Cub")},
  };

  bool ok = write_tree(root + "/FS9", stock) && write_zip(downloads + "cessna172.zip", cessna) &&
            write_zip(downloads + "beech.twin.pack.zip", twins) &&
            write_zip(downloads + "self_installer.zip", self_installer) &&
            write_zip(downloads + "scenery_only.ZIP", scenery) &&
            write_zip(downloads + "piper_cub.zip", wrapped);
  std::printf("%s\n", ok ? "sample written" : "could not write the sample");
  return ok ? 0 : 1;
}

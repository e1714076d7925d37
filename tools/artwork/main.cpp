// Command-line entry of glimtra-artwork, which regenerates the game's pictures and icons.
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <string>

#include "compare.h"
#include "imagefile.h"
#include "lettering.h"
#include "pictures.h"

namespace fs = std::filesystem;

static int usage() {
  std::fprintf(stderr,
               "usage: glimtra-artwork DIR            write the game's BMP files into DIR\n"
               "       glimtra-artwork --preview DIR  write the same pictures as PNG files\n"
               "       glimtra-artwork --icons DIR    write hicolor icons as DIR/NxN/apps/*.png\n"
               "       glimtra-artwork --web-icons DIR  write the web app's icons as DIR/*.png\n"
               "       glimtra-artwork --freetype-version\n"
               "       glimtra-artwork --compare MADE COMMITTED\n"
               "              exit 0 when the BMP files in MADE match those in COMMITTED, or differ only\n"
               "              where another FreeType may draw lettering differently\n");
  return 2;
}

// The check of the committed files on a machine whose FreeType did not make them.
static int compare(const fs::path &made, const fs::path &committed) {
  art::Lettering fonts(GLIMTRA_FONT_DIR);
  bool ok = true;
  // The pictures are drawn only for what each one says about its lettering and backdrop.
  for (const art::Picture &p : art::drawPictures(fonts)) {
    std::string report;
    bool same;
    try {
      std::vector<uint8_t> a = art::readFile((made / p.file).string()),
                           b = art::readFile((committed / p.file).string());
      same = a == b || art::withinDrift(p, art::decodeBmp(a), art::decodeBmp(b), report);
    } catch (const std::exception &e) {
      same = false;
      report = e.what();
    }
    if (!report.empty())
      std::printf("%s: %s%s\n", p.file.c_str(), report.c_str(), same ? "" : " -- too much");
    ok = ok && same;
  }
  return ok ? 0 : 1;
}

int main(int argc, char **argv) {
  std::string mode = argc > 1 && argv[1][0] == '-' ? argv[1] : "";
  const int operands = argc - (mode.empty() ? 1 : 2);
  const int needed = mode == "--freetype-version" ? 0 : mode == "--compare" ? 2 : 1;
  const bool known = mode.empty() || mode == "--preview" || mode == "--icons" || mode == "--web-icons" ||
                     mode == "--freetype-version" || mode == "--compare";
  if (!known || operands != needed) return usage();
  try {
    if (mode == "--freetype-version") {
      std::printf("%s\n", art::Lettering(GLIMTRA_FONT_DIR).freetypeVersion().c_str());
      return 0;
    }
    if (mode == "--compare") return compare(argv[2], argv[3]);
    fs::path dir = argv[argc - 1];
    std::vector<art::Picture> pictures;
    const bool icons = mode == "--icons" || mode == "--web-icons";
    if (mode == "--icons") {
      pictures = art::drawIcons();
    } else if (mode == "--web-icons") {
      pictures = art::drawWebIcons();
    } else {
      art::Lettering fonts(GLIMTRA_FONT_DIR);
      pictures = art::drawPictures(fonts);
    }
    for (art::Picture &p : pictures) {
      fs::path file = dir / p.file;
      if (mode == "--preview") file.replace_extension(".png");
      fs::create_directories(file.parent_path());
      art::writeFile(file.string(), mode.empty() ? art::encodeBmp(p.img) : art::encodePng(p.img, icons));
    }
  } catch (const std::exception &e) {
    std::fprintf(stderr, "glimtra-artwork: %s\n", e.what());
    return 1;
  }
  return 0;
}

// Command-line entry of glimtra-artwork, which regenerates the game's pictures and icons.
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <string>

#include "imagefile.h"
#include "lettering.h"
#include "pictures.h"

namespace fs = std::filesystem;

static int usage() {
  std::fprintf(stderr,
               "usage: glimtra-artwork DIR            write the game's BMP files into DIR\n"
               "       glimtra-artwork --preview DIR  write the same pictures as PNG files\n"
               "       glimtra-artwork --icons DIR    write hicolor icons as DIR/NxN/apps/*.png\n");
  return 2;
}

int main(int argc, char **argv) {
  if (argc == 2 && argv[1][0] == '-') return usage();
  if (argc != 2 && argc != 3) return usage();
  std::string mode = argc == 3 ? argv[1] : "";
  if (!mode.empty() && mode != "--preview" && mode != "--icons") return usage();
  fs::path dir = argv[argc - 1];
  try {
    std::vector<art::Picture> pictures;
    if (mode == "--icons") {
      pictures = art::drawIcons();
    } else {
      art::Lettering fonts(GLIMTRA_FONT_DIR);
      pictures = art::drawPictures(fonts);
    }
    for (art::Picture &p : pictures) {
      fs::path file = dir / p.file;
      if (mode == "--preview") file.replace_extension(".png");
      fs::create_directories(file.parent_path());
      art::writeFile(file.string(),
                     mode.empty() ? art::encodeBmp(p.img) : art::encodePng(p.img, mode == "--icons"));
    }
  } catch (const std::exception &e) {
    std::fprintf(stderr, "glimtra-artwork: %s\n", e.what());
    return 1;
  }
  return 0;
}

// The game's pictures: each file in pix/ and the desktop icons, drawn from scratch.
#ifndef GLIMTRA_ARTWORK_PICTURES_H
#define GLIMTRA_ARTWORK_PICTURES_H

#include <string>
#include <vector>

#include "imagefile.h"
#include "lettering.h"

namespace art {

struct Picture {
  std::string file;  // path relative to the output folder
  Image img;
};

// The 18 BMP files the game loads from pix/, in the order they are written.
std::vector<Picture> drawPictures(Lettering &fonts);
// The badge as hicolor PNG icons with alpha, e.g. "48x48/apps/se.glimtra.Glimtra.png".
std::vector<Picture> drawIcons();

}  // namespace art

#endif

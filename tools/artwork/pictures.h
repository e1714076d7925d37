// The game's pictures: each file in pix/ and the desktop icons, drawn from scratch.
#ifndef GLIMTRA_ARTWORK_PICTURES_H
#define GLIMTRA_ARTWORK_PICTURES_H

#include <string>
#include <vector>

#include "imagefile.h"
#include "lettering.h"

namespace art {

// How far a picture may stray from its committed file when a FreeType other than the one that made the
// committed files draws its lettering: each version rounds glyph edges a little differently.
enum class Drift {
  None,    // no lettering: byte for byte everywhere
  Shaded,  // anti-aliased lettering: small colour differences at a few edge pixels
  Sheet,   // the monochrome glyph sheet: a few edge pixels per glyph cell
};

struct Picture {
  std::string file;  // path relative to the output folder
  Image img;
  Drift drift = Drift::None;
  uint32_t key = 0;  // the colour the game makes transparent (the glyph sheet's paper), where it matters
  // For a keyed Shaded picture, what the game shows through the key, so that a faint edge pixel turning
  // into key is weighed by what the player sees there; empty when key pixels must stay as they are.
  Image under = {};
};

// The glyph sheet's cells: 16x16 of them, one per byte.
inline constexpr int kSheetCellW = 20, kSheetCellH = 19;

// The 18 BMP files the game loads from pix/, in the order they are written.
std::vector<Picture> drawPictures(Lettering &fonts);
// The badge as hicolor PNG icons with alpha, e.g. "48x48/apps/se.glimtra.Glimtra.png".
std::vector<Picture> drawIcons();
// The icons of the web app (build-web/site/): 192 and 512 px tiles, a maskable 512 px one and the 180 px
// apple-touch-icon, e.g. "icon-192.png".
std::vector<Picture> drawWebIcons();

}  // namespace art

#endif

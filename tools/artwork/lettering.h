// FreeType lettering for the artwork: strings of DejaVu glyphs rendered to coverage masks.
#ifndef GLIMTRA_ARTWORK_LETTERING_H
#define GLIMTRA_ARTWORK_LETTERING_H

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "canvas.h"

namespace art {

// Ink of a glyph or a line, trimmed to its bounding box. Pixel (i, j) of the mask lies at
// (pen + left + i, baseline - top + j).
struct Mask {
  int w = 0, h = 0;
  int left = 0, top = 0;
  int advance = 0;
  std::vector<uint8_t> cov;  // 0..255, only 0 and 255 for monochrome rendering
  uint8_t at(int i, int j) const { return cov[static_cast<size_t>(j) * w + i]; }
};

enum class Render { Mono, Gray };

class Lettering {
 public:
  explicit Lettering(std::string fontDir);
  ~Lettering();
  Lettering(const Lettering &) = delete;
  Lettering &operator=(const Lettering &) = delete;

  // `font` is a file name in the font folder, e.g. "DejaVuSans-Bold.ttf".
  Mask glyph(const std::string &font, int pixelSize, char32_t cp, Render mode);
  Mask line(const std::string &font, int pixelSize, const std::u32string &text, Render mode);
  // The running FreeType's version, e.g. "2.12.1": the one that decides the lettering's pixels.
  std::string freetypeVersion() const;

 private:
  void *face(const std::string &font);
  std::string dir_;
  void *library_ = nullptr;
  std::map<std::string, void *> faces_;
};

// Composites a mask's coverage onto the canvas with its pen at x and its baseline at y.
void drawMask(Canvas &c, const Mask &m, int x, int baseline, const Paint &paint);
void drawMask(Canvas &c, const Mask &m, int x, int baseline, Color col);

}  // namespace art

#endif

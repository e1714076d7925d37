// Checks what the artwork check lets another FreeType change in the committed pictures, and what not.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "compare.h"

namespace {

using art::Drift;
using art::Image;
using art::Picture;

constexpr uint32_t kMagenta = 0xFF00FF, kPaper = 0xFFFFFF, kInk = 0x1E2436;

Image load(const std::string &name) { return art::decodeBmp(art::readFile("pix/" + name)); }

// `made` (by default `p` as committed) with pixels changed, given as x, y, value, weighed against `p`.
bool passes(const Picture &p, std::vector<uint32_t> changes, Image made = {}) {
  if (made.px.empty()) made = p.img;
  for (size_t i = 0; i + 2 < changes.size(); i += 3) made.at(changes[i], changes[i + 1]) = changes[i + 2];
  std::string report;
  bool ok = art::withinDrift(p, made, p.img, report);
  std::printf("%s: %s\n", p.file.c_str(), report.c_str());
  return ok;
}

// `img` with the rectangle [x0, x1) x [y0, y1) of `from` copied onto it, (dx, dy) away.
Image copied(Image img, const Image &from, int x0, int y0, int x1, int y1, int dx, int dy) {
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) img.at(x + dx, y + dy) = from.at(x, y);
  return img;
}

struct ArtworkDrift : ::testing::Test {
  Picture sheet{"tahoma10.bmp", load("tahoma10.bmp"), Drift::Sheet, kPaper};
  Picture logo{"glt4.bmp", load("glt4.bmp"), Drift::Shaded, kMagenta, Image{100, 80, {}}};
  Picture plate{"sdllogo.bmp", load("sdllogo.bmp"), Drift::Shaded};
  void SetUp() override {
    Image skin = load("skin3.bmp");  // glt4 lies at (250, 0) of the window
    for (int y = 0; y < 80; ++y)
      for (int x = 0; x < 100; ++x) logo.under.px.push_back(skin.at(250 + x, y));
  }
  static int cx(int c) { return c % 16 * art::kSheetCellW; }
  static int cy(int c) { return c / 16 * art::kSheetCellH; }
  // The sheet with cell `to` emptied and glyph `from` drawn there, moved by (dx, dy).
  Image glyph(int from, int to, int dx = 0, int dy = 0) const {
    const int w = art::kSheetCellW, h = art::kSheetCellH;
    Image img = copied(sheet.img, sheet.img, cx(' '), cy(' '), cx(' ') + w, cy(' ') + h, cx(to) - cx(' '),
                       cy(to) - cy(' '));
    return copied(img, sheet.img, cx(from) + 1, cy(from) + 1, cx(from) + w - 1, cy(from) + h - 1,
                  cx(to) - cx(from) + dx, cy(to) - cy(from) + dy);
  }
};

TEST_F(ArtworkDrift, AcceptsWhatFreeType214ChangesInTheLettering) {
  // As Debian testing's FreeType 2.14.3 draws them: the worst cell (3/4) and an accent a pixel over.
  const uint32_t q = cx(0xBE), r = cy(0xBE), i = cx(0xEC), j = cy(0xEC), P = kPaper, I = kInk;
  EXPECT_TRUE(passes(sheet, {q + 13, r + 5,  I, q + 13, r + 7,  P, q + 11, r + 10, P, q + 14, r + 10, I,
                             q + 15, r + 10, P, q + 13, r + 11, I, q + 14, r + 11, P, q + 8,  r + 13, I,
                             i + 9,  j + 4,  P, i + 10, j + 4,  I, i + 10, j + 5,  P, i + 11, j + 5,  I}));
  // Faint edges of the i dots appear, vanish or turn into key.
  EXPECT_TRUE(passes(logo, {32, 37, 0xDCE4F1, 33, 37, 0xDCE4F1, 34, 37, 0xDCE4F1, 35, 38, 0x90A1C3,
                            32, 41, 0xEAF0F8, 33, 41, 0xFFFFFF, 34, 41, 0xFFFFFF, 35, 41, 0xFFFFFF,
                            35, 42, 0x8D9DBD, 33, 60, 0xC4CEDD, 33, 62, kMagenta}));
  EXPECT_TRUE(passes(plate, {43, 7, 0x4B5976, 43, 9, 0x485572}));
}

TEST_F(ArtworkDrift, CatchesAGlyphMovedByOnePixelMissingOrWrong) {
  EXPECT_FALSE(passes(sheet, {}, glyph('.', '.', 1, 0)));
  EXPECT_FALSE(passes(sheet, {}, glyph('l', 'l', 0, 1)));
  EXPECT_FALSE(passes(sheet, {}, glyph('A', 'A', -1, 0)));
  EXPECT_FALSE(passes(sheet, {}, glyph(' ', ',')));
  EXPECT_FALSE(passes(sheet, {}, glyph('8', '6')));  // on 6's edge wherever they differ: the count tells
}

TEST_F(ArtworkDrift, CatchesAMovedMissingOrWrongMark) {
  const Image &g = logo.img, &d = plate.img;
  EXPECT_FALSE(passes(logo, {}, copied(g, g, 10, 4, 38, 34, 1, 0)));   // the star moved
  EXPECT_FALSE(passes(logo, {}, copied(g, g, 0, 0, 5, 4, 31, 59)));    // an i's dot gone
  EXPECT_FALSE(passes(plate, {}, copied(d, d, 8, 19, 51, 36, 0, 1)));  // "SDL" moved
  Image darker = d;
  for (uint32_t &v : darker.px) v -= 0x101010;
  EXPECT_FALSE(passes(plate, {}, darker));  // the plate a shade darker
}

TEST_F(ArtworkDrift, LetsNothingChangeInPicturesWithoutLettering) {
  Picture symbol{"s1.bmp", load("s1.bmp")};
  EXPECT_FALSE(passes(symbol, {15, 14, symbol.img.at(15, 14) ^ 1}));
}

}  // namespace

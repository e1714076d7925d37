// Checks the committed pictures in pix/ as SDL loads them, for faults a player would see on screen.
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "fontmetrics.h"

namespace {

struct FreeSurface {
  void operator()(SDL_Surface *s) const { SDL_FreeSurface(s); }
};
using Surface = std::unique_ptr<SDL_Surface, FreeSurface>;

constexpr uint32_t kMagenta = 0xFF00FF, kBlue = 0x0000FF, kWhite = 0xFFFFFF;

Surface load(const std::string &name) {
  Surface s(SDL_LoadBMP(("pix/" + name).c_str()));
  EXPECT_NE(s, nullptr) << name << ": " << SDL_GetError();
  if (s) {
    EXPECT_EQ(s->format->BitsPerPixel, 32) << name;
  }
  return s;
}

uint32_t at(const Surface &s, int x, int y) {
  const auto *row = static_cast<const uint8_t *>(s->pixels) + y * s->pitch;
  return reinterpret_cast<const uint32_t *>(row)[x] & 0xFFFFFF;
}

int red(uint32_t p) { return (p >> 16) & 0xFF; }
int green(uint32_t p) { return (p >> 8) & 0xFF; }
int blue(uint32_t p) { return p & 0xFF; }
double luma(uint32_t p) { return 0.299 * red(p) + 0.587 * green(p) + 0.114 * blue(p); }

int count(const Surface &s, uint32_t colour) {
  int n = 0;
  for (int y = 0; y < s->h; ++y)
    for (int x = 0; x < s->w; ++x) n += at(s, x, y) == colour;
  return n;
}

const std::vector<std::string> kSymbols = {"s1.bmp", "s2.bmp", "s3.bmp", "s4.bmp", "s5.bmp",
                                           "s6.bmp", "s7.bmp", "s8.bmp", "s9.bmp"};

TEST(Assets, EveryFileLoadsAsOpaqueXrgb) {
  for (const char *name : {"butup.bmp", "butdown.bmp", "s1.bmp", "s2.bmp", "s3.bmp", "s4.bmp", "s5.bmp",
                           "s6.bmp", "s7.bmp", "s8.bmp", "s9.bmp", "s10.bmp", "go.bmp", "skin3.bmp",
                           "glt4.bmp", "tolm2.bmp", "sdllogo.bmp", "tahoma10.bmp"}) {
    Surface s = load(name);
    ASSERT_TRUE(s) << name;
    EXPECT_EQ(s->format->BytesPerPixel, 4) << name;
    EXPECT_EQ(s->format->Rmask, 0xFF0000u) << name;
    EXPECT_EQ(s->format->Gmask, 0x00FF00u) << name;
    EXPECT_EQ(s->format->Bmask, 0x0000FFu) << name;
    EXPECT_EQ(s->format->Amask, 0u) << name;
  }
}

TEST(Assets, SizesFitTheirPlacesInTheWindow) {
  struct Expect {
    const char *name;
    int w, h;
    bool exact;
  };
  for (const Expect &e : {Expect{"butup.bmp", 51, 42, true},
                          {"butdown.bmp", 51, 42, true},
                          {"s10.bmp", 30, 28, true},
                          {"go.bmp", 30, 28, true},
                          {"skin3.bmp", 350, 300, true},
                          {"tahoma10.bmp", 320, 304, true},
                          {"glt4.bmp", 100, 98, false},
                          {"tolm2.bmp", 44, 46, false},
                          {"sdllogo.bmp", 59, 43, false}}) {
    Surface s = load(e.name);
    ASSERT_TRUE(s);
    if (e.exact) {
      EXPECT_EQ(s->w, e.w) << e.name;
      EXPECT_EQ(s->h, e.h) << e.name;
    } else {
      EXPECT_LE(s->w, e.w) << e.name;
      EXPECT_LE(s->h, e.h) << e.name;
      EXPECT_GE(s->w, e.w / 2) << e.name;
      EXPECT_GE(s->h, e.h / 2) << e.name;
    }
  }
  for (const std::string &name : kSymbols) {
    Surface s = load(name);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->w, 30) << name;
    EXPECT_EQ(s->h, 28) << name;
  }
}

TEST(Assets, KeyedPicturesHaveBothKeyAndInk) {
  std::vector<std::string> magentaKeyed = kSymbols;
  for (const char *name : {"s10.bmp", "go.bmp", "glt4.bmp"}) magentaKeyed.push_back(name);
  for (const std::string &name : magentaKeyed) {
    Surface s = load(name);
    ASSERT_TRUE(s);
    int key = count(s, kMagenta), total = s->w * s->h;
    EXPECT_GT(key, total / 10) << name << " would cover what lies beneath it";
    EXPECT_GT(total - key, total / 20) << name << " would be nearly invisible";
    // The corners are what the key is for: the key faces and the panel must show there.
    EXPECT_EQ(at(s, 0, 0), kMagenta) << name;
    EXPECT_EQ(at(s, s->w - 1, s->h - 1), kMagenta) << name;
  }
}

TEST(Assets, BadgeHasBlueCornersAndAColouredCentre) {
  Surface s = load("tolm2.bmp");
  ASSERT_TRUE(s);
  for (int x : {0, s->w - 1})
    for (int y : {0, s->h - 1}) EXPECT_EQ(at(s, x, y), kBlue) << x << "," << y;
  EXPECT_NE(at(s, s->w / 2, s->h / 2), kBlue);
  EXPECT_LT(count(s, kBlue), s->w * s->h / 3);
}

TEST(Assets, UnkeyedPicturesHoldNoKeyColour) {
  for (const char *name : {"butup.bmp", "butdown.bmp", "skin3.bmp", "sdllogo.bmp"}) {
    Surface s = load(name);
    ASSERT_TRUE(s);
    EXPECT_EQ(count(s, kMagenta), 0) << name;
  }
}

double meanLuma(const Surface &s, int x0, int y0, int x1, int y1) {
  double sum = 0;
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x) sum += luma(at(s, x, y));
  return sum / ((x1 - x0 + 1) * (y1 - y0 + 1));
}

TEST(Assets, PressedKeyLooksDifferentAndRaisedFaceCarriesDarkText) {
  Surface up = load("butup.bmp"), down = load("butdown.bmp");
  ASSERT_TRUE(up && down);
  int differ = 0;
  for (int y = 0; y < up->h; ++y)
    for (int x = 0; x < up->w; ++x) differ += at(up, x, y) != at(down, x, y);
  EXPECT_GT(differ, up->w * up->h / 2);
  // "Nivå:" and the level digit are drawn at (5, 5) and (5, 20) on the level key's face.
  EXPECT_GT(meanLuma(up, 5, 5, 45, 38), 200);
  EXPECT_GT(meanLuma(up, 5, 5, 45, 38), meanLuma(down, 5, 5, 45, 38) + 8);
  // Raised means lit from the top left; pressed turns that around.
  EXPECT_GT(luma(at(up, 1, 20)), luma(at(up, up->w - 2, 20)));
  EXPECT_LT(luma(at(down, 1, 20)), luma(at(down, down->w - 2, 20)));
}

TEST(Assets, BackgroundIsLightWhereTextIsDrawn) {
  Surface s = load("skin3.bmp");
  ASSERT_TRUE(s);
  struct Area {
    int x0, y0, x1, y1;
  };
  // The status line and the instruction column.
  for (const Area &a : {Area{80, 62, 170, 80}, Area{255, 100, 349, 215}})
    for (int y = a.y0; y <= a.y1; ++y)
      for (int x = a.x0; x <= a.x1; ++x) ASSERT_GT(luma(at(s, x, y)), 180) << x << "," << y;
}

struct Sheet {
  Surface s;
  uint32_t ink = 0;
  bool inked(int c, int x, int y) const { return at(s, (c % 16) * 20 + x, (c / 16) * 19 + y) != kWhite; }
  bool blank(int c) const {
    for (int y = 0; y < 19; ++y)
      for (int x = 0; x < 20; ++x)
        if (inked(c, x, y)) return false;
    return true;
  }
};

Sheet loadSheet() {
  Sheet sheet{load("tahoma10.bmp")};
  if (sheet.s) {
    for (int y = 0; y < sheet.s->h && !sheet.ink; ++y)
      for (int x = 0; x < sheet.s->w && !sheet.ink; ++x)
        if (at(sheet.s, x, y) != kWhite) sheet.ink = at(sheet.s, x, y);
  }
  return sheet;
}

TEST(GlyphSheet, HoldsOnlyWhiteAndOneDarkInk) {
  Sheet sheet = loadSheet();
  ASSERT_TRUE(sheet.s);
  EXPECT_LT(luma(sheet.ink), 60);
  for (int y = 0; y < sheet.s->h; ++y)
    for (int x = 0; x < sheet.s->w; ++x) {
      uint32_t p = at(sheet.s, x, y);
      ASSERT_TRUE(p == kWhite || p == sheet.ink) << "a grey edge pixel at " << x << "," << y;
    }
}

TEST(GlyphSheet, InkStaysWithinEachGlyphsColumns) {
  Sheet sheet = loadSheet();
  ASSERT_TRUE(sheet.s);
  for (int c = 0; c < 256; ++c)
    for (int y = 0; y < 19; ++y)
      for (int x = 0; x < 20; ++x)
        if (x < text10Xoffset[c] || x >= text10Xoffset[c] + text10Width[c]) {
          EXPECT_FALSE(sheet.inked(c, x, y)) << "byte " << c << " at column " << x << ", row " << y;
        }
}

TEST(GlyphSheet, EveryByteButTheSpacesShowsSomething) {
  Sheet sheet = loadSheet();
  ASSERT_TRUE(sheet.s);
  for (int c = 0; c < 256; ++c) {
    if (c == 0x20 || c == 0xA0) {
      EXPECT_TRUE(sheet.blank(c)) << "byte " << c;
    } else {
      EXPECT_FALSE(sheet.blank(c)) << "byte " << c;
    }
  }
}

TEST(GlyphSheet, BytesWithoutACharacterShareOneBox) {
  Sheet sheet = loadSheet();
  ASSERT_TRUE(sheet.s);
  std::vector<int> holes;
  for (int c = 0; c < 0x20; ++c) holes.push_back(c);
  for (int c : {0x7F, 0x81, 0x8D, 0x8F, 0x90, 0x9D}) holes.push_back(c);
  for (int c : holes)
    for (int y = 0; y < 19; ++y)
      for (int x = 0; x < 20; ++x)
        ASSERT_EQ(sheet.inked(c, x, y), sheet.inked(0, x, y)) << "byte " << c << " at " << x << "," << y;
  // And no real character looks like that box.
  for (int c : {0x41, 0x4F, 0x6F, 0xE5, 0x80}) {  // A O o å €
    bool same = true;
    for (int y = 0; y < 19; ++y)
      for (int x = 0; x < 20; ++x) same = same && sheet.inked(c, x, y) == sheet.inked(0, x, y);
    EXPECT_FALSE(same) << "byte " << c;
  }
}

TEST(GlyphSheet, LettersOfTheGamesTextsDoNotTouch) {
  Sheet sheet = loadSheet();
  ASSERT_TRUE(sheet.s);
  // Latin-1 bytes, as the game draws them.
  for (const char *text :
       {"Niv\xe5:", "Tryck 'GO'", "f\xf6r att", "b\xf6rja.", "Tryck 'Niv\xe5'", "f\xf6r att byta",
        "sv\xe5righets-", "grad.", "Memorera!", "Skriv in!", "R\xe4tt svar!", "Fel svar!", "0123456789"}) {
    std::string t = text;
    for (size_t i = 0; i + 1 < t.size(); ++i) {
      int a = static_cast<unsigned char>(t[i]), b = static_cast<unsigned char>(t[i + 1]);
      if (a == ' ' || b == ' ') continue;
      int lastA = text10Xoffset[a] + text10Width[a] - 1, firstB = text10Xoffset[b];
      for (int y = 0; y < 19; ++y)
        for (int dy = -1; dy <= 1; ++dy) {
          if (y + dy < 0 || y + dy >= 19) continue;
          EXPECT_FALSE(sheet.inked(a, lastA, y) && sheet.inked(b, firstB, y + dy))
              << "'" << t[i] << t[i + 1] << "' in \"" << t << "\" touch at row " << y;
        }
    }
  }
}

TEST(GlyphSheet, SwedishLettersKeepTheirMarksInsideTheCell) {
  Sheet sheet = loadSheet();
  ASSERT_TRUE(sheet.s);
  // The ring and the dots sit above the letter: there must be ink above the plain letter's top.
  for (auto [marked, plain] :
       {std::pair{0xE5, 'a'}, {0xE4, 'a'}, {0xF6, 'o'}, {0xC5, 'A'}, {0xC4, 'A'}, {0xD6, 'O'}}) {
    auto top = [&](int c) {
      for (int y = 0; y < 19; ++y)
        for (int x = 0; x < 20; ++x)
          if (sheet.inked(c, x, y)) return y;
      return 19;
    };
    EXPECT_LT(top(marked), top(plain)) << "byte " << marked;
    // Ink on the cell's first row would be a mark cut off by the cell above.
    EXPECT_GT(top(marked), 0) << "byte " << marked;
  }
}

std::vector<bool> silhouette(const Surface &s) {
  std::vector<bool> m;
  for (int y = 0; y < s->h; ++y)
    for (int x = 0; x < s->w; ++x) m.push_back(at(s, x, y) != kMagenta);
  return m;
}

TEST(Symbols, DifferInShapeNotOnlyInColour) {
  std::vector<std::vector<bool>> shapes;
  for (const std::string &name : kSymbols) {
    Surface s = load(name);
    ASSERT_TRUE(s);
    shapes.push_back(silhouette(s));
  }
  Surface blank = load("s10.bmp");
  ASSERT_TRUE(blank);
  shapes.push_back(silhouette(blank));
  for (size_t i = 0; i < shapes.size(); ++i)
    for (size_t j = i + 1; j < shapes.size(); ++j) {
      int differ = 0;
      for (size_t k = 0; k < shapes[i].size(); ++k) differ += shapes[i][k] != shapes[j][k];
      // A tenth of the box: more than any outline or anti-aliasing difference could make.
      EXPECT_GT(differ, 84) << "s" << i + 1 << " and s" << j + 1 << " have nearly the same outline";
    }
}

TEST(Symbols, EdgesShowNoPinkFringe) {
  std::vector<std::string> names = kSymbols;
  for (const char *name : {"s10.bmp", "go.bmp", "glt4.bmp"}) names.push_back(name);
  for (const std::string &name : names) {
    Surface s = load(name);
    ASSERT_TRUE(s);
    for (int y = 0; y < s->h; ++y)
      for (int x = 0; x < s->w; ++x) {
        uint32_t p = at(s, x, y);
        if (p == kMagenta) continue;
        bool edge = false;
        for (auto [dx, dy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}}) {
          int nx = x + dx, ny = y + dy;
          edge = edge || (nx >= 0 && ny >= 0 && nx < s->w && ny < s->h && at(s, nx, ny) == kMagenta);
        }
        if (edge) {
          EXPECT_FALSE(red(p) > 170 && blue(p) > 170 && green(p) < 120)
              << name << " has a magenta-tinted edge pixel at " << x << "," << y;
        }
      }
  }
}

TEST(Symbols, BlankSlotIsPaleSoItReadsAsEmpty) {
  Surface s = load("s10.bmp");
  ASSERT_TRUE(s);
  for (int y = 0; y < s->h; ++y)
    for (int x = 0; x < s->w; ++x)
      if (at(s, x, y) != kMagenta) {
        EXPECT_GT(luma(at(s, x, y)), 110) << x << "," << y;
      }
  for (const std::string &name : kSymbols) {
    Surface sym = load(name);
    ASSERT_TRUE(sym);
    double darkest = 255;
    for (int y = 0; y < sym->h; ++y)
      for (int x = 0; x < sym->w; ++x)
        if (at(sym, x, y) != kMagenta) darkest = std::min(darkest, luma(at(sym, x, y)));
    EXPECT_LT(darkest, 110) << name << " needs a dark outline to stand out on white";
  }
}

}  // namespace

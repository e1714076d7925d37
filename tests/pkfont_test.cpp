// The font module and its drawing primitives, pixel by pixel on off-screen surfaces. The glyph sheet is made
// here: every pixel of it names the cell it lies in and its place there, so a drawing shows which cell and
// columns each glyph came from, and the tests need none of the game's artwork.
#include "pkfont.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "fontmetrics.h"

namespace {

int lockCalls = 0, unlockCalls = 0;

}  // namespace

// Seam: the test program's own lock and unlock (a definition in the executable wins over SDL's, as in
// seams.cpp). They only count: every surface in this program keeps its pixels in memory.
extern "C" int SDL_LockSurface(SDL_Surface *) { return ++lockCalls, 0; }
extern "C" void SDL_UnlockSurface(SDL_Surface *) { ++unlockCalls; }

namespace {

struct FreeSurface {
  void operator()(SDL_Surface *s) const { SDL_FreeSurface(s); }
};
using Surface = std::unique_ptr<SDL_Surface, FreeSurface>;
using Places = std::set<std::pair<int, int>>;

const Uint8 kFill = 0xFF;        // every byte of a fresh test surface: white, the sheet's colour key
const Uint32 kBlank = 0xFFFFFF;  // an untouched 32-bit pixel, read without its unused top byte

void Masks(int bpp, Uint32 &r, Uint32 &g, Uint32 &b) {
  r = g = b = 0;
  if (bpp == 16) r = 0xF800, g = 0x07E0, b = 0x001F;
  if (bpp >= 24) r = 0xFF0000, g = 0x00FF00, b = 0x0000FF;
}

// A w by h surface lying inside a larger buffer: kGuard pixels of margin on every side, reached through a
// pitch wider than the row, so that a write off the surface lands in the margin and shows.
class Guarded {
 public:
  static const int kGuard = 4;
  Guarded(int w, int h, int bpp)
      : bytes_(bpp / 8), pitch_((w + 2 * kGuard) * bytes_), buf_(pitch_ * (h + 2 * kGuard), kFill) {
    Uint32 r, g, b;
    Masks(bpp, r, g, b);
    s_.reset(
        SDL_CreateRGBSurfaceFrom(&buf_[kGuard * pitch_ + kGuard * bytes_], w, h, bpp, pitch_, r, g, b, 0));
  }
  SDL_Surface *get() const { return s_.get(); }
  void Clear() { std::fill(buf_.begin(), buf_.end(), kFill); }
  // Places of the pixels (in surface coordinates, so possibly off the surface) holding a changed byte.
  Places Changed() const {
    Places out;
    for (size_t i = 0; i < buf_.size(); ++i)
      if (buf_[i] != kFill)
        out.insert({static_cast<int>(i % pitch_) / bytes_ - kGuard, static_cast<int>(i / pitch_) - kGuard});
    return out;
  }
  // Changed().empty() restricted to the margin, and quicker: the rows above and below, the sides between.
  bool MarginUntouched() const {
    const int rows = static_cast<int>(buf_.size()) / pitch_, side = kGuard * bytes_;
    for (int r = 0; r < rows; ++r)
      for (int i = 0; i < pitch_; ++i) {
        if (r >= kGuard && r < rows - kGuard && i == side) i = pitch_ - side;  // skip the surface's own row
        if (buf_[r * pitch_ + i] != kFill) return false;
      }
    return true;
  }
  const Uint8 *At(int x, int y) const { return &buf_[(y + kGuard) * pitch_ + (x + kGuard) * bytes_]; }
  Uint16 Word16(int x, int y) const {
    Uint16 v;
    memcpy(&v, At(x, y), 2);
    return v;
  }
  Uint32 Ink(int x, int y) const {  // a 32-bit pixel without its top byte
    Uint32 v;
    memcpy(&v, At(x, y), 4);
    return v & 0xFFFFFF;
  }

 private:
  int bytes_, pitch_;
  std::vector<Uint8> buf_;
  Surface s_;
};

Places Row(int y, int x0, int x1) {
  Places p;
  for (int x = x0; x <= x1; ++x) p.insert({x, y});
  return p;
}

// ---------------------------------------------------------------------------------------------------------
// The glyph sheet: 16 by 16 cells of cw by ch pixels. Red is the cell's byte value (row * 16 + column),
// green the column within the cell, blue the row within it. No pixel is white, the colour key.

Uint32 InkOf(int byte, int col, int row) { return (Uint32(byte) << 16) | (Uint32(col) << 8) | Uint32(row); }

Surface Sheet(int cw, int ch) {
  Surface s(SDL_CreateRGBSurface(SDL_SWSURFACE, cw * 16, ch * 16, 32, 0xFF0000, 0xFF00, 0xFF, 0));
  for (int y = 0; y < s->h; ++y)
    for (int x = 0; x < s->w; ++x)
      static_cast<Uint32 *>(s->pixels)[y * s->pitch / 4 + x] = InkOf(y / ch * 16 + x / cw, x % cw, y % ch);
  SDL_SetColorKey(s.get(), SDL_SRCCOLORKEY, kBlank);
  return s;
}

PKFont GameFont(SDL_Surface *sheet) {
  PKFont f;
  f.bitmap = sheet;
  std::copy(std::begin(text10Width), std::end(text10Width), f.width);
  std::copy(std::begin(text10Xoffset), std::end(text10Xoffset), f.xoffset);
  return f;
}

struct Glyph {
  int x, y;
  unsigned char c;
};

// The whole surface must show exactly these glyphs (each a width[c] by cell-height block of its cell, from
// xoffset[c] on), later ones over earlier ones, and nothing else, not even in the guard margin.
void ExpectDrawn(const Guarded &dest, const PKFont &font, const std::vector<Glyph> &glyphs) {
  const int ch = font.bitmap->h / 16;
  const SDL_Surface *s = dest.get();
  std::vector<Uint32> want(s->w * s->h, kBlank);
  Places inside;
  for (const Glyph &g : glyphs)
    for (int j = 0; j < ch; ++j)
      for (int i = 0; i < font.width[g.c]; ++i)
        if (g.x + i >= 0 && g.x + i < s->w && g.y + j >= 0 && g.y + j < s->h)
          want[(g.y + j) * s->w + g.x + i] = InkOf(g.c, font.xoffset[g.c] + i, j),
                                        inside.insert({g.x + i, g.y + j});
  for (int y = 0; y < s->h; ++y)
    for (int x = 0; x < s->w; ++x)
      ASSERT_EQ(dest.Ink(x, y), want[y * s->w + x]) << "at (" << x << ", " << y << ")";
  EXPECT_EQ(dest.Changed(), inside);
}

// Runs the wrapping DrawString on a copy of the text, checks that the text was left alone, and returns the
// laid-out copy it left in tempstr.
std::string Wrap(const PKFont &font, int x, int y, const std::string &text, Guarded &dest, int wrapWidth) {
  std::vector<char> buf(text.begin(), text.end());
  buf.push_back('\0');
  DrawString(font, x, y, buf.data(), dest.get(), wrapWidth);
  EXPECT_EQ(std::string(buf.data(), buf.size() - 1), text) << "the text was modified";
  return std::string(tempstr, std::min(text.size(), sizeof tempstr));
}

// ---------------------------------------------------------------------------------------------------------

TEST(Blit, PlacesTheImageOrItsRectangleAndClipsAtEveryEdge) {
  Surface img(SDL_CreateRGBSurface(SDL_SWSURFACE, 5, 4, 32, 0xFF0000, 0xFF00, 0xFF, 0));
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x)
      static_cast<Uint32 *>(img->pixels)[y * img->pitch / 4 + x] = InkOf(0x40, x, y);
  // The last three lie beyond SDL_Rect's 16-bit range and must not wrap around onto the surface.
  struct Case {
    int x, y, w, h, x2, y2;  // w < 0: the whole-image form
  } cases[] = {
      {3, 2, -1, 0, 0, 0},     {-2, -1, -1, 0, 0, 0},  {9, 8, -1, 0, 0, 0},     {12, 0, -1, 0, 0, 0},
      {0, 10, -1, 0, 0, 0},    {-5, 0, -1, 0, 0, 0},   {0, -4, -1, 0, 0, 0},    {4, 5, 3, 2, 1, 1},
      {-1, -1, 3, 2, 1, 1},    {10, 9, 3, 2, 1, 1},    {0, 0, 1, 4, 4, 0},      {-3, 0, 3, 2, 1, 1},
      {65537, 1, -1, 0, 0, 0}, {1, 65537, 3, 2, 1, 1}, {-65535, 1, 3, 2, 0, 0},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << "to (" << c.x << ", " << c.y << ") w " << c.w << " from (" << c.x2
                                    << ", " << c.y2 << ")");
    Guarded dest(12, 10, 32);
    const int w = c.w < 0 ? 5 : c.w, h = c.w < 0 ? 4 : c.h;
    if (c.w < 0)
      DrawIMG(img.get(), c.x, c.y, dest.get());
    else
      DrawIMG(img.get(), c.x, c.y, c.w, c.h, c.x2, c.y2, dest.get());
    Places drawn;
    for (int y = 0; y < 10; ++y)
      for (int x = 0; x < 12; ++x) {
        const long i = long(x) - c.x, j = long(y) - c.y;
        const bool in = i >= 0 && i < w && j >= 0 && j < h;
        if (in) drawn.insert({x, y});
        ASSERT_EQ(dest.Ink(x, y), in ? InkOf(0x40, int(i) + c.x2, int(j) + c.y2) : kBlank) << x << "," << y;
      }
    EXPECT_EQ(dest.Changed(), drawn);
  }
}

TEST(Lock, OnlyWhereSdlRequiresIt) {
  for (int bpp : {8, 16, 24, 32}) {
    Surface s(SDL_CreateRGBSurface(SDL_SWSURFACE, 4, 4, bpp, 0, 0, 0, 0));
    lockCalls = unlockCalls = 0;
    Slock(s.get());
    Sulock(s.get());
    DrawLine(0, 0, 3, 3, 0x1234, s.get());
    EXPECT_EQ(lockCalls + unlockCalls, 0) << bpp << " bits per pixel";
  }
  Guarded real(4, 4, 16);
  const Uint32 kinds[] = {SDL_HWSURFACE, SDL_ASYNCBLIT, SDL_RLEACCEL, 0};
  for (Uint32 flags : kinds) {
    SDL_Surface s = *real.get();  // the same pixels, under a flag or an offset that demands a lock
    s.flags |= flags;
    s.offset = flags ? 0 : 8;
    lockCalls = unlockCalls = 0;
    Slock(&s);
    EXPECT_EQ(lockCalls, 1) << flags;
    Sulock(&s);
    EXPECT_EQ(unlockCalls, 1) << flags;
    DrawLine(0, 0, 0, 1, 0x1234, &s);
    EXPECT_EQ(lockCalls, 2) << flags;
    EXPECT_EQ(unlockCalls, 2) << flags;
  }
  EXPECT_EQ(real.Changed(), (Places{{0, 0}, {0, 1}}));
}

TEST(DrawPixel, WritesTheMappedColourInEveryPixelSize) {
  SDL_Color palette[256];
  for (int i = 0; i < 256; ++i) palette[i] = {Uint8(i), Uint8(255 - i), Uint8(i * 7), 0};
  struct Case {
    int bpp;
    std::vector<Uint8> bytes;  // the bytes of (R, G, B) = (0x11, 0x22, 0x33), from the pixel's address up
  } cases[] = {{8, {0x5A}}, {16, {0, 0}}, {24, {0x33, 0x22, 0x11}}, {32, {0, 0, 0, 0}}};
  const Uint16 rgb565 = (0x11 >> 3) << 11 | (0x22 >> 2) << 5 | (0x33 >> 3);  // a 16-bit word in host order
  const Uint32 xrgb = 0x112233;                                              // a 32-bit word in host order
  memcpy(cases[1].bytes.data(), &rgb565, 2);
  memcpy(cases[3].bytes.data(), &xrgb, 4);
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << c.bpp << " bits per pixel");
    Guarded dest(5, 3, c.bpp);
    if (c.bpp == 8) SDL_SetColors(dest.get(), palette, 0, 256);
    const Uint8 r = c.bpp == 8 ? 0x5A : 0x11, g = c.bpp == 8 ? 0xA5 : 0x22,
                b = c.bpp == 8 ? 0x5A * 7 % 256 : 0x33;
    for (auto [x, y] : {std::pair{0, 0}, {4, 2}, {2, 1}}) DrawPixel(dest.get(), x, y, r, g, b);
    EXPECT_EQ(dest.Changed(), (Places{{0, 0}, {4, 2}, {2, 1}}));
    for (auto [x, y] : {std::pair{0, 0}, {4, 2}, {2, 1}})
      EXPECT_EQ(std::vector<Uint8>(dest.At(x, y), dest.At(x, y) + c.bpp / 8), c.bytes);
    // Off each edge and far off: nothing at all, in the guard margin or elsewhere.
    Guarded clip(5, 3, c.bpp);
    for (auto [x, y] :
         {std::pair{-1, 0}, {5, 0}, {0, -1}, {0, 3}, {-1, -1}, {5, 3}, {INT_MIN, 0}, {0, INT_MAX}})
      DrawPixel(clip.get(), x, y, r, g, b);
    EXPECT_TRUE(clip.Changed().empty());
  }
}

// ---------------------------------------------------------------------------------------------------------

TEST(DrawLine, SetsTheIncrementalLinesPixelsWithBothEnds) {
  struct Case {
    int x1, y1, x2, y2;
    Places want;
  } cases[] = {
      {0, 0, 3, 1, {{0, 0}, {1, 0}, {2, 1}, {3, 1}}},
      {0, 0, 3, 3, {{0, 0}, {1, 1}, {2, 2}, {3, 3}}},
      {0, 0, 0, 3, {{0, 0}, {0, 1}, {0, 2}, {0, 3}}},
      {0, 0, 1, 3, {{0, 0}, {0, 1}, {1, 2}, {1, 3}}},  // steep: the minor step once the sum reaches 4
      {2, 2, 2, 2, {{2, 2}}},
      {5, 0, 0, 0, Row(0, 0, 5)},
      {0, 3, 0, 0, {{0, 0}, {0, 1}, {0, 2}, {0, 3}}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << "(" << c.x1 << "," << c.y1 << ")-(" << c.x2 << "," << c.y2 << ")");
    Guarded dest(8, 8, 16);
    DrawLine(c.x1, c.y1, c.x2, c.y2, 0xBEEF, dest.get());
    EXPECT_EQ(dest.Changed(), c.want);
    for (auto [x, y] : c.want) EXPECT_EQ(dest.Word16(x, y), 0xBEEF);
  }
}

TEST(DrawLine, SkipsPixelsOffTheSurfaceAndKeepsTheLinesShape) {
  Places diagonal;
  for (int k = 0; k < 5; ++k) diagonal.insert({k, k});
  Places shallow = Row(0, 0, 1);  // (-2,0)-(9,2): 12 across, 3 down, stepping down at x = 2 and x = 6
  for (const auto &p : Row(1, 2, 5)) shallow.insert(p);
  struct Case {
    int x1, y1, x2, y2;
    Places want;
  } cases[] = {
      {-3, 2, 8, 2, Row(2, 0, 5)},
      {8, 2, -3, 2, Row(2, 0, 5)},
      {2, -3, 2, 9, {{2, 0}, {2, 1}, {2, 2}, {2, 3}, {2, 4}}},
      {-2, -2, 7, 7, diagonal},
      {7, 7, -2, -2, diagonal},
      {-2, 0, 9, 2, shallow},
      {-5, 0, -1, 4, {}},
      {6, 0, 9, 4, {}},
      {0, -4, 5, -1, {}},
      {0, 5, 5, 8, {}},
      {-100000, 3, 100000, 3, Row(3, 0, 5)},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << "(" << c.x1 << "," << c.y1 << ")-(" << c.x2 << "," << c.y2 << ")");
    Guarded dest(6, 5, 16);
    DrawLine(c.x1, c.y1, c.x2, c.y2, 0xBEEF, dest.get());
    EXPECT_EQ(dest.Changed(), c.want);
  }
}

TEST(DrawLine, LeavesSurfacesOfOtherDepthsAlone) {
  for (int bpp : {8, 24, 32}) {
    Guarded dest(4, 4, bpp);
    DrawLine(0, 0, 3, 3, 0xBEEF, dest.get());
    EXPECT_TRUE(dest.Changed().empty()) << bpp << " bits per pixel";
  }
}

// ---------------------------------------------------------------------------------------------------------

TEST(PlainDrawString, ReturnsTheAdvanceWhateverTheSheetSize) {
  for (int cell : {20, 21}) {
    Surface sheet = Sheet(cell, cell == 20 ? 19 : 21);
    const PKFont font = GameFont(sheet.get());
    Guarded dest(60, 30, 32);
    EXPECT_EQ(DrawString(font, 7, 3, "Niv\xE5:", dest.get()), 35);
    EXPECT_EQ(DrawString(font, -40, 3, "Memorera!", dest.get()), 78);
    EXPECT_EQ(DrawString(font, 7, 3, "", dest.get()), 0);
    std::string spaces;
    for (int n = 1; n <= 5; ++n)
      EXPECT_EQ(DrawString(font, 7, 3, (spaces += ' ').c_str(), dest.get()), n * (cell / 3));
  }
}

TEST(PlainDrawString, DrawsEachByteFromItsOwnCell) {
  Surface sheet = Sheet(20, 19);
  const PKFont font = GameFont(sheet.get());
  {  // 0xE5 (å): row 14, column 5 of the sheet, 9 columns from 6 pixels into its cell
    Guarded dest(20, 24, 32);
    EXPECT_EQ(DrawString(font, 3, 2, "\xE5", dest.get()), 9);
    ExpectDrawn(dest, font, {{3, 2, 0xE5}});
  }
  {  // a space draws nothing and advances a third of a cell; 0x80 and 0xFF are cells 128 and 255
    Guarded dest(80, 20, 32);
    EXPECT_EQ(DrawString(font, 1, 0, "Ni v\x80\xFF", dest.get()), 9 + 4 + 6 + 9 + 10 + 9);
    ExpectDrawn(dest, font, {{1, 0, 'N'}, {10, 0, 'i'}, {20, 0, 'v'}, {29, 0, 0x80}, {39, 0, 0xFF}});
  }
  {  // control bytes, carriage return and line feed included, are glyphs like any other here
    Guarded dest(60, 20, 32);
    EXPECT_EQ(DrawString(font, 0, 0, "\r\n\x01\b", dest.get()), 44);
    ExpectDrawn(dest, font, {{0, 0, '\r'}, {11, 0, '\n'}, {22, 0, 0x01}, {33, 0, '\b'}});
  }
  {  // a long line's far end (past x = 65535) must not reappear at the left of the surface
    Guarded dest(40, 20, 32);
    const std::string text = "N" + std::string(3999, '\x89');
    EXPECT_EQ(DrawString(font, 0, 0, text.c_str(), dest.get()), 9 + 3999 * 20);
    ExpectDrawn(dest, font, {{0, 0, 'N'}, {9, 0, 0x89}, {29, 0, 0x89}});
  }
}

// ---------------------------------------------------------------------------------------------------------
// The wrapping form, with the game's widths on a sheet of 20 by 19 cells: a space draws as 6 pixels but is
// measured as 11, and wrapped lines stand 15 apart. a, b, d, e: 9 wide; c: 8.

class WrappingDrawString : public testing::Test {
 protected:
  Surface sheet = Sheet(20, 19);
  PKFont font = GameFont(sheet.get());
  Guarded dest{120, 60, 32};
};

TEST_F(WrappingDrawString, BreaksOnlyWhenALineIsWiderThanTheWrapWidth) {
  EXPECT_EQ(Wrap(font, 2, 1, "ab cd", dest, 46), "ab cd");  // 9 + 9 + 11 + 8 + 9 = 46: fits exactly
  ExpectDrawn(dest, font, {{2, 1, 'a'}, {11, 1, 'b'}, {26, 1, 'c'}, {34, 1, 'd'}});
  dest.Clear();
  EXPECT_EQ(Wrap(font, 2, 1, "ab cd", dest, 45), "ab\bcd");
  ExpectDrawn(dest, font, {{2, 1, 'a'}, {11, 1, 'b'}, {2, 16, 'c'}, {10, 16, 'd'}});
}

TEST_F(WrappingDrawString, ASpaceThatOverflowsBecomesTheBreak) {
  EXPECT_EQ(Wrap(font, 0, 0, "abcd e", dest, 40), "abcd\be");  // 35 fits; the space makes it 46
  ExpectDrawn(dest, font, {{0, 0, 'a'}, {9, 0, 'b'}, {18, 0, 'c'}, {26, 0, 'd'}, {0, 15, 'e'}});
}

TEST_F(WrappingDrawString, AWordWiderThanTheWrapWidthOverflowsUntilItsNextSpace) {
  // The space before the long word already broke a line: the search for a break stays in the current one.
  EXPECT_EQ(Wrap(font, 0, 0, "a bbbbbbbbbb c", dest, 20), "a\bbbbbbbbbbb\bc");
  std::vector<Glyph> want = {{0, 0, 'a'}};
  for (int k = 0; k < 10; ++k) want.push_back({9 * k, 15, 'b'});
  want.push_back({0, 30, 'c'});  // over the bottom 4 rows of the line above
  ExpectDrawn(dest, font, want);
  for (int wrap : {0, -7}) {
    dest.Clear();
    EXPECT_EQ(Wrap(font, 0, 0, "abc", dest, wrap), "abc");
    ExpectDrawn(dest, font, {{0, 0, 'a'}, {9, 0, 'b'}, {18, 0, 'c'}});
  }
}

TEST_F(WrappingDrawString, ACarriageReturnStartsALineForLayoutAndDrawing) {
  // "aa aa" and its return measure 58; measured on without the restart, the second line would break.
  EXPECT_EQ(Wrap(font, 0, 0, "aa aa\raa aa", dest, 58), "aa aa\raa aa");
  std::vector<Glyph> want;
  for (int y : {0, 15})
    for (int x : {0, 9, 24, 33}) want.push_back({x, y, 'a'});
  ExpectDrawn(dest, font, want);
}

TEST_F(WrappingDrawString, ACallersByte8EndsADrawnLineButNotAMeasuredOne) {
  EXPECT_EQ(Wrap(font, 0, 0, "ab\bc", dest, 1000), "ab\bc");
  ExpectDrawn(dest, font, {{0, 0, 'a'}, {9, 0, 'b'}, {0, 15, 'c'}});
  dest.Clear();
  // "a a" with the 8 measures 40, and "aa" 18: had the 8 restarted the measured line, nothing would break;
  // measured on as an 11-wide glyph, the 'a' after it makes 49 > 45 and the space breaks.
  EXPECT_EQ(Wrap(font, 0, 0, "a a\baa", dest, 45), "a\ba\baa");
  ExpectDrawn(dest, font, {{0, 0, 'a'}, {0, 15, 'a'}, {0, 30, 'a'}, {9, 30, 'a'}});
}

TEST_F(WrappingDrawString, LinesStandACellHeightLessFourApart) {
  Surface big = Sheet(21, 21);  // space 7, line pitch 17
  const PKFont font21 = GameFont(big.get());
  EXPECT_EQ(Wrap(font21, 3, 2, "a\rb\bc d", dest, 1000), "a\rb\bc d");
  ExpectDrawn(dest, font21, {{3, 2, 'a'}, {3, 19, 'b'}, {3, 36, 'c'}, {18, 36, 'd'}});
}

TEST_F(WrappingDrawString, LaysOutAndDrawsOnlyTheFirst4000Bytes) {
  PKFont thin = font;
  thin.width['z'] = 0;  // draws nothing and moves nothing, so that bytes 4000 and 4001 land at the start
  std::string text = std::string(3999, 'z') + "ab" + std::string(100, ' ');
  EXPECT_EQ(Wrap(thin, 5, 5, text, dest, -1), text.substr(0, 4000));
  ExpectDrawn(dest, thin, {{5, 5, 'a'}});
}

// ---------------------------------------------------------------------------------------------------------
// Random texts against the greedy rule, stated per line rather than per byte. Lines end at a carriage return
// (measured with its line), at a space the layout turned into byte 8, or at the end. A line that holds a
// space fits the wrap width; a line is broken only when it would not fit up to the next place where it could
// end (its next space, its next carriage return, measured, or the end). Only spaces may become byte 8.

std::string GreedyLayoutError(const std::string &text, const std::string &laid, const int *width, int wrap) {
  const int n = static_cast<int>(text.size());
  std::vector<long> sum(n + 1, 0);  // sum[i]: the width of text[0..i)
  for (int i = 0; i < n; ++i) sum[i + 1] = sum[i] + width[static_cast<unsigned char>(text[i])];
  auto through = [&](int from, int last) { return sum[last + 1] - sum[from]; };
  int start = 0;
  bool hasSpace = false;
  for (int i = 0; i <= n; ++i) {
    const bool broken = i < n && laid[i] != text[i];
    if (broken && !(text[i] == ' ' && laid[i] == '\b')) return "byte " + std::to_string(i) + " changed";
    if (i < n && !broken && text[i] != '\r') {
      hasSpace |= text[i] == ' ';
      continue;
    }
    const std::string line = "the line of bytes " + std::to_string(start) + ".." + std::to_string(i);
    if (broken) {
      if (hasSpace && through(start, i - 1) > wrap) return line + " is too wide but could break earlier";
      int next = i + 1;
      while (next < n && text[next] != ' ' && text[next] != '\r') ++next;
      if (through(start, next < n && text[next] == '\r' ? next : next - 1) <= wrap)
        return line + " is broken though it fits";
    } else if (hasSpace && through(start, std::min(i, n - 1)) > wrap) {
      return line + " is too wide but has a space";
    }
    start = i + 1;
    hasSpace = false;
  }
  return "";
}

TEST(WrappingLayout, RandomTextsFollowTheGreedyRuleAndStayInBounds) {
  Surface sheet = Sheet(20, 19);
  const PKFont font = GameFont(sheet.get());
  Guarded dest(40, 32, 32);
  std::mt19937 rng(20240607);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  const std::string common =
      "      \r\b\xE5\xF6\x89\xFF\x80"
      "aeinrst";
  std::string text;
  // Enough rounds to meet every kind of wrap width with long and short texts many times over, and few
  // enough to stay well inside the time limit under the sanitizers on a busy machine.
  for (int round = 0; round < 8000; ++round) {
    text.resize(pick(0, 9) == 0 ? pick(0, 5000) : pick(0, 300));
    for (char &c : text) {  // half from the common bytes, half any byte but NUL
      const Uint32 r = rng();
      c = static_cast<char>(r & 1 ? common[(r >> 1) % common.size()] : 1 + (r >> 8) % 255);
    }
    const int kind = pick(0, 3);
    const int wrap = kind == 0   ? pick(-50, 0)
                     : kind == 1 ? pick(0, 120)
                     : kind == 2 ? pick(120, 2000)
                                 : pick(0, 200000);
    const int x = pick(-60, 60), y = pick(-60, 60);
    SCOPED_TRACE(testing::Message() << "round " << round << ", " << text.size() << " bytes, wrap " << wrap);
    dest.Clear();
    const std::string laid = Wrap(font, x, y, text, dest, wrap);
    ASSERT_EQ(GreedyLayoutError(text.substr(0, laid.size()), laid, font.width, wrap), "");
    // Every pixel drawn lies on the surface and is part of a glyph of a drawn byte.
    bool drawn[256] = {};
    for (unsigned char c : laid) drawn[c] = c != ' ' && c != '\r' && c != '\b';
    ASSERT_TRUE(dest.MarginUntouched());
    for (int py = 0; py < 32; ++py)
      for (int px = 0; px < 40; ++px) {
        const Uint32 ink = dest.Ink(px, py);
        const int c = ink >> 16, col = (ink >> 8) & 0xFF, row = ink & 0xFF;
        ASSERT_TRUE(ink == kBlank ||
                    (drawn[c] && col >= font.xoffset[c] && col < font.xoffset[c] + font.width[c] && row < 19))
            << "stray ink " << std::hex << ink << " at (" << std::dec << px << ", " << py << ")";
      }
  }
}

}  // namespace

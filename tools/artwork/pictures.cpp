// Draws every Glimtra picture: background, keys, symbols, lettering, badges and the glyph sheet.
#include "pictures.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <stdexcept>

#include "canvas.h"
#include "fontmetrics.h"

namespace art {

static const char *kSans = "DejaVuSans.ttf";
static const char *kSansBold = "DejaVuSans-Bold.ttf";

static constexpr uint32_t kMagenta = 0xFF00FF;
static constexpr uint32_t kBlue = 0x0000FF;
static constexpr uint32_t kWhite = 0xFFFFFF;

// Where the game puts things in its 350x300 window; the background is shaped around them.
static constexpr int kKeyW = 51, kKeyH = 42;
static constexpr int kLogoX = 250, kLogoY = 0;
static constexpr int kBadgeX = 305, kBadgeY = 210;
static constexpr int kSdlX = 291, kSdlY = 257;

// ---------------------------------------------------------------------------------------------
// Turning a canvas into 8-bit pixels.

static uint8_t q(double v) { return static_cast<uint8_t>(clamp01(v) * 255 + 0.5); }
static uint32_t pack(Color c) { return (q(c.r) << 16) | (q(c.g) << 8) | q(c.b); }
static Color unpack(uint32_t p) { return rgb((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF); }

using Backdrop = std::function<Color(int x, int y)>;

static Color over(const Pixel &p, Color under) { return mix(under, p.c, p.a); }

static Image flattenOver(const Canvas &c, const Backdrop &under) {
  Image img{c.width(), c.height(), std::vector<uint32_t>(static_cast<size_t>(c.width()) * c.height())};
  for (int y = 0; y < c.height(); ++y)
    for (int x = 0; x < c.width(); ++x) img.at(x, y) = pack(over(c.at(x, y), under(x, y)));
  return img;
}

// A colour key is all or nothing, so faint edge pixels become key and the rest are blended against
// what the game will show beneath them.
static Image flattenKeyed(const Canvas &c, uint32_t key, double threshold, const Backdrop &under) {
  Image img = flattenOver(c, under);
  for (int y = 0; y < c.height(); ++y)
    for (int x = 0; x < c.width(); ++x) {
      uint32_t &p = img.at(x, y);
      if (c.at(x, y).a < threshold)
        p = key;
      else if (p == key)
        p ^= 1;  // an opaque pixel must never vanish as key
    }
  return img;
}

static Image flattenAlpha(const Canvas &c) {
  Image img{c.width(), c.height(), std::vector<uint32_t>(static_cast<size_t>(c.width()) * c.height())};
  for (int y = 0; y < c.height(); ++y)
    for (int x = 0; x < c.width(); ++x) {
      const Pixel &p = c.at(x, y);
      img.at(x, y) = p.a <= 0 ? 0 : (static_cast<uint32_t>(q(p.a)) << 24) | pack(p.c);
    }
  return img;
}

static Paint vertical(Color top, Color bottom, double y0, double y1) {
  return [=](double, double y) { return mix(top, bottom, clamp01((y - y0) / (y1 - y0))); };
}

// ---------------------------------------------------------------------------------------------
// Background.

static const Color kSkyTop = rgb(231, 238, 247);
static const Color kSkyBottom = rgb(211, 222, 238);
static const Color kShadow = rgb(24, 36, 70);

static Image drawSkin() {
  const int w = 350, h = 300;
  Canvas c(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      Color base = mix(kSkyTop, kSkyBottom, y / (h - 1.0));
      // Faint diagonal weave: enough to feel like a surface, too weak to fight with text.
      int d = (x + y) % 8;
      double weave = d == 0 ? 0.018 : 0.0;
      c.at(x, y) = {mix(base, rgb(255, 255, 255), weave), 1.0};
    }

  // The keypad sits in a shallow well so the nine keys read as one group.
  Field well = box(37, 133, 212, 289, 9);
  fill(c, well, vertical(rgb(196, 209, 229), rgb(204, 216, 234), 133, 289), 0.7);
  fill(c, ring(grow(well, -0.5), 0.5), rgb(150, 165, 192), 0.6);
  fill(c, ring(grow(well, -1.5), 0.5), rgb(255, 255, 255), 0.35);

  // A light card behind the instructions, open to the window's right edge.
  Field card = box(249, 96, 362, 219, 8);
  fill(c, card, rgb(250, 252, 255), 0.6);
  fill(c, ring(grow(card, -0.5), 0.5), rgb(165, 180, 205), 0.45);

  // Soft drop shadows under everything the game draws on top, so it seems to float a little.
  auto shadow = [&](int x, int y, int bw, int bh, double strength) {
    fillSoft(c, box(x + 1, y + 2, x + bw + 1, y + bh + 2, 3), kShadow, strength, 3.0);
  };
  shadow(5, 0, 240, 62, 0.16);
  shadow(15, 80, kKeyW, kKeyH, 0.2);
  shadow(99, 80, kKeyW, kKeyH, 0.2);
  for (int r = 0; r < 3; ++r)
    for (int col = 0; col < 3; ++col) shadow(44 + 55 * col, 140 + 50 * r, kKeyW, kKeyH, 0.2);
  shadow(15, 140, 15, 145, 0.14);
  shadow(220, 140, 15, 145, 0.14);
  return flattenOver(c, [](int, int) { return rgb(0, 0, 0); });
}

// ---------------------------------------------------------------------------------------------
// Keys.

static const Color kFaceTop = rgb(248, 250, 253);
static const Color kFaceBottom = rgb(222, 228, 239);
// Symbols and the GO label are blended against this, the middle of a raised key's face.
static const Color kFaceMid = rgb(236, 240, 246);

static Image drawKey(bool pressed, const Image &skin) {
  Image img{kKeyW, kKeyH, std::vector<uint32_t>(kKeyW * kKeyH)};
  const Color border = pressed ? rgb(70, 80, 104) : rgb(92, 104, 130);
  for (int y = 0; y < kKeyH; ++y)
    for (int x = 0; x < kKeyW; ++x) {
      int dl = x, dt = y, dr = kKeyW - 1 - x, db = kKeyH - 1 - y;
      int edge = std::min(std::min(dl, dt), std::min(dr, db));
      double t = (y - 1) / (kKeyH - 3.0);
      Color c = pressed ? mix(rgb(200, 207, 221), rgb(214, 220, 232), t) : mix(kFaceTop, kFaceBottom, t);
      if (edge == 0) {
        c = border;
      } else if (edge <= 2) {
        bool lit = (dt == edge && dr > edge) || (dl == edge && db > edge);
        if (!pressed) {
          if (lit)
            c = edge == 1 ? rgb(255, 255, 255) : mix(c, rgb(255, 255, 255), 0.6);
          else
            c = edge == 1 ? rgb(148, 159, 182) : rgb(188, 196, 214);
        } else {
          // Pressed: the light is reversed and the shade falls on the top-left, like a sunken key.
          if (lit)
            c = edge == 1 ? rgb(136, 147, 170) : rgb(172, 182, 202);
          else if (edge == 1)
            c = rgb(226, 231, 240);
        }
      }
      // Round the four corners against the background the keys sit on.
      bool cornerX = dl == 0 || dr == 0, cornerY = dt == 0 || db == 0;
      Color under = unpack(skin.at(99 + x, 80 + y));
      if (cornerX && cornerY)
        c = mix(border, under, 0.75);
      else if ((dl <= 1 || dr <= 1) && (dt <= 1 || db <= 1) && edge == 1)
        c = mix(c, border, 0.5);
      img.at(x, y) = pack(c);
    }
  return img;
}

// ---------------------------------------------------------------------------------------------
// Symbols: nine silhouettes in a 30x28 box, each with its own colour and a dark outline.

struct SymbolStyle {
  Field shape;
  Color color;
};

static std::vector<Vec2> star(double cx, double cy, double outer, double inner) {
  std::vector<Vec2> pts;
  for (int i = 0; i < 10; ++i) {
    double a = -kPi / 2 + i * kPi / 5;
    double r = i % 2 ? inner : outer;
    pts.push_back({cx + r * dcos(a), cy + r * dsin(a)});
  }
  return pts;
}

static SymbolStyle symbolStyle(int index) {
  switch (index) {
    case 0:  // circle
      return {circle(15, 14, 11.5), rgb(226, 46, 46)};
    case 1:  // square
      return {box(3.5, 2.5, 26.5, 25.5, 2), rgb(38, 96, 222)};
    case 2:  // triangle, its corners softened by growing a smaller one
      return {grow(polygon({{15, 4.5}, {25.5, 23}, {4.5, 23}}), 1.6), rgb(40, 164, 62)};
    case 3:  // five-pointed star
      return {polygon(star(15, 15, 13, 5.6)), rgb(250, 194, 24)};
    case 4: {  // heart: two lobes and a point
      Field lobes = unite(circle(10.2, 10, 6.2), circle(19.8, 10, 6.2));
      Field point = polygon({{4.6, 12.2}, {25.4, 12.2}, {15, 25}});
      return {grow(unite(lobes, grow(point, -0.6)), 0.6), rgb(236, 80, 150)};
    }
    case 5:  // diamond
      return {polygon({{15, 1.5}, {26.5, 14}, {15, 26.5}, {3.5, 14}}), rgb(132, 72, 206)};
    case 6:  // plus-shaped cross
      return {unite(box(11, 2.5, 19, 25.5, 1.5), box(3.5, 10, 26.5, 18, 1.5)), rgb(14, 148, 146)};
    case 7:  // crescent moon
      return {subtract(circle(14, 14, 12), circle(20.5, 10, 10)), rgb(52, 168, 236)};
    default:  // lightning bolt
      return {polygon({{15, 1}, {23.5, 1}, {17.8, 10.8}, {25.5, 10.8}, {9, 27.5}, {13.2, 15.8}, {5.5, 15.8}}),
              rgb(248, 124, 20)};
  }
}

// Draws symbol `index` with its 30x28 box at (x0, y0), scaled by s.
static void drawSymbol(Canvas &c, int index, double x0, double y0, double s) {
  SymbolStyle st = symbolStyle(index);
  Field shape = placed(st.shape, x0, y0, s);
  Color outline = scale(st.color, 0.42);
  Color light = mix(st.color, rgb(255, 255, 255), 0.32);
  Color deep = mix(st.color, rgb(0, 0, 0), 0.08);
  fill(c, shape, outline);
  Field inner = grow(shape, -1.35 * std::max(1.0, s));
  fill(c, inner, vertical(light, deep, y0 + 3 * s, y0 + 25 * s));
  // A small gloss spot towards the top left gives the flat shapes some volume.
  fill(c, intersect(grow(inner, -1.2 * s), circle(x0 + 10 * s, y0 + 8 * s, 5.5 * s)), rgb(255, 255, 255),
       0.28);
}

static Image drawSymbolFile(int index) {
  Canvas c(30, 28);
  drawSymbol(c, index, 0, 0, 1);
  return flattenKeyed(c, kMagenta, 0.3, [](int, int) { return kFaceMid; });
}

// Distance to a dashed stroke along a closed path: the stroke's own distance, cut by the gaps.
static Field dashed(std::vector<Vec2> path, double halfWidth, double dashes) {
  std::vector<double> at = {0};
  for (size_t i = 1; i <= path.size(); ++i) {
    const Vec2 &a = path[i - 1], &b = path[i % path.size()];
    at.push_back(at.back() + std::sqrt((b.x - a.x) * (b.x - a.x) + (b.y - a.y) * (b.y - a.y)));
  }
  double period = at.back() / dashes, on = period * 0.55;
  return [=](double x, double y) {
    double best = 1e9, s = 0;
    for (size_t i = 0; i < path.size(); ++i) {
      const Vec2 &a = path[i], &b = path[(i + 1) % path.size()];
      double ex = b.x - a.x, ey = b.y - a.y;
      double t = clamp01(((x - a.x) * ex + (y - a.y) * ey) / (ex * ex + ey * ey));
      double dx = x - a.x - ex * t, dy = y - a.y - ey * t;
      double d = dx * dx + dy * dy;
      if (d < best) {
        best = d;
        s = at[i] + (at[i + 1] - at[i]) * t;
      }
    }
    double pos = s - std::floor(s / period) * period;
    double along = pos < on ? std::max(-pos, pos - on) : std::min(pos - on, period - pos);
    return std::max(std::sqrt(best) - halfWidth, along);
  };
}

static std::vector<Vec2> roundedPath(double x0, double y0, double x1, double y1, double r) {
  std::vector<Vec2> pts;
  const Vec2 centres[4] = {{x1 - r, y0 + r}, {x1 - r, y1 - r}, {x0 + r, y1 - r}, {x0 + r, y0 + r}};
  for (int k = 0; k < 4; ++k)
    for (int i = 0; i <= 6; ++i) {
      double a = -kPi / 2 + k * kPi / 2 + i * kPi / 12;
      pts.push_back({centres[k].x + r * dcos(a), centres[k].y + r * dsin(a)});
    }
  return pts;
}

// The empty slot: a pale, dashed outline that asks to be filled in. Its inside stays key so that
// its silhouette is a thin frame, unlike any of the nine symbols.
static Image drawBlank() {
  Canvas c(30, 28);
  fill(c, dashed(roundedPath(4.6, 3.6, 25.4, 24.4, 5), 0.8, 12), rgb(146, 155, 176));
  return flattenKeyed(c, kMagenta, 0.3, [](int, int) { return rgb(255, 255, 255); });
}

static Image drawGo(Lettering &fonts) {
  Canvas c(30, 28);
  Field pill = box(0.5, 4.5, 29.5, 23.5, 6);
  fill(c, pill, rgb(22, 100, 42));
  fill(c, grow(pill, -1.2), vertical(rgb(104, 206, 116), rgb(34, 146, 62), 5, 23));
  Mask go = fonts.line(kSansBold, 13, U"GO", Render::Gray);
  int x = (30 - go.w) / 2 - go.left;
  int baseline = 14 + go.top / 2;
  drawMask(c, go, x + 1, baseline + 1, rgb(14, 80, 30));  // a one-pixel drop shadow for contrast
  drawMask(c, go, x, baseline, rgb(255, 255, 255));
  return flattenKeyed(c, kMagenta, 0.35, [](int, int) { return kFaceMid; });
}

// ---------------------------------------------------------------------------------------------
// Wordmark, badge and the SDL credit.

static Image drawLogo(Lettering &fonts, const Image &skin) {
  const int w = 100, h = 80;
  Canvas c(w, h);
  // Three of the game's own symbols above the name.
  const int shown[3] = {3, 4, 0};
  for (int i = 0; i < 3; ++i) drawSymbol(c, shown[i], 13 + i * 26, 4 + (i == 1 ? 0 : 3), 0.82);
  Mask name = fonts.line(kSansBold, 21, U"Glimtra", Render::Gray);
  int x = (w - name.w) / 2 - name.left;
  drawMask(c, name, x + 1, 55, rgb(255, 255, 255));  // a light emboss line under the letters
  drawMask(c, name, x, 54, vertical(rgb(36, 66, 132), rgb(18, 34, 78), 38, 54));
  Mask tag = fonts.line(kSans, 10, U"minnesspel", Render::Gray);
  drawMask(c, tag, (w - tag.w) / 2 - tag.left, 69, rgb(70, 88, 124));
  return flattenKeyed(c, kMagenta, 0.02,
                      [&](int px, int py) { return unpack(skin.at(kLogoX + px, kLogoY + py)); });
}

// The round emblem: a blue rim, a white ring and a golden disc holding a watchful eye. Every
// measure follows the radius so it can be drawn at any size.
static void drawEmblem(Canvas &c, double cx, double cy, double r) {
  Field rim = circle(cx, cy, r);
  fill(c, rim, vertical(rgb(48, 92, 240), rgb(14, 36, 196), cy - r, cy + r));
  fill(c, circle(cx, cy, r * 0.86), rgb(250, 251, 253));
  double ri = r * 0.75;
  fill(c, circle(cx, cy, ri), vertical(rgb(255, 226, 104), rgb(244, 164, 36), cy - ri, cy + ri));
  // The eye is the lens where two large circles overlap.
  Field eye = intersect(circle(cx, cy + ri * 0.4, ri * 0.86), circle(cx, cy - ri * 0.4, ri * 0.86));
  double line = std::max(1.2, r * 0.07);
  fill(c, grow(eye, line), rgb(24, 36, 92));
  fill(c, eye, rgb(255, 255, 255));
  fill(c, intersect(eye, circle(cx, cy, ri * 0.4)),
       vertical(rgb(40, 170, 200), rgb(12, 96, 140), cy - ri * 0.4, cy + ri * 0.4));
  fill(c, circle(cx, cy, ri * 0.18), rgb(16, 24, 60));
  fill(c, circle(cx - ri * 0.14, cy - ri * 0.14, std::max(0.9, ri * 0.08)), rgb(255, 255, 255));
}

static Image drawBadge() {
  Canvas c(44, 46);
  drawEmblem(c, 22, 23, 21.5);
  // Edges blend towards the key blue: drawn as the window icon the rim melts into the blue corners,
  // and keyed in the corner of the window the rim is blue anyway.
  return flattenKeyed(c, kBlue, 0.3, [](int, int) { return rgb(0, 0, 255); });
}

static Image drawSdlBadge(Lettering &fonts, const Image &skin) {
  const int w = 59, h = 43;
  Canvas c(w, h);
  Field plate = box(3, 4, 56, 40, 6);
  fillSoft(c, grow(plate, 0.5), kShadow, 0.22, 3);
  fill(c, plate, rgb(30, 38, 56));
  fill(c, grow(plate, -1), vertical(rgb(78, 92, 122), rgb(40, 49, 70), 4, 40));
  Mask made = fonts.line(kSans, 9, U"made with", Render::Gray);
  drawMask(c, made, (w - made.w) / 2 - made.left, 15, rgb(206, 216, 234));
  Mask sdl = fonts.line(kSansBold, 17, U"SDL", Render::Gray);
  drawMask(c, sdl, (w - sdl.w) / 2 - sdl.left, 34, rgb(255, 255, 255));
  return flattenOver(c, [&](int x, int y) { return unpack(skin.at(kSdlX + x, kSdlY + y)); });
}

// ---------------------------------------------------------------------------------------------
// The glyph sheet: 16x16 cells of 20x19 pixels, one per byte, in Windows-1252.

static constexpr int kBaseline = 14;  // row of the cell the baseline sits on
// DejaVu Sans at 13 pixels matches the slot widths best; 14 would need shrinking many capitals.
static constexpr int kGlyphSize = 13;
static constexpr uint32_t kInk = 0x1E2436;

// Unicode for a Windows-1252 byte, or 0 for control bytes and the five holes in the code page.
static char32_t cp1252(int c) {
  static const char32_t high[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
  if (c < 0x20 || c == 0x7F) return 0;
  if (c >= 0x80 && c < 0xA0) return high[c - 0x80];
  return static_cast<char32_t>(c);
}

static int floorDiv(int a, int b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

static Image drawGlyphSheet(Lettering &fonts) {
  Image img{16 * kSheetCellW, 16 * kSheetCellH,
            std::vector<uint32_t>(16 * kSheetCellW * 16 * kSheetCellH, kWhite)};
  for (int c = 0; c < 256; ++c) {
    const int cellX = (c % 16) * kSheetCellW, cellY = (c / 16) * kSheetCellH;
    const int first = text10Xoffset[c], width = text10Width[c];
    char32_t cp = cp1252(c);
    if (cp == 0) {
      // A hollow box marks bytes that have no character.
      int x0 = first + 1, x1 = first + width - 3, y0 = kBaseline - 9, y1 = kBaseline - 1;
      for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x)
          if (x == x0 || x == x1 || y == y0 || y == y1) img.at(cellX + x, cellY + y) = kInk;
      continue;
    }
    // Glyphs too wide for their slot at the sheet's size are taken a pixel smaller.
    Mask g;
    for (int size = kGlyphSize;; --size) {
      g = fonts.glyph(kSans, size, cp, Render::Mono);
      if (g.w <= width || size < 8) break;
    }
    if (g.w == 0) continue;  // the spaces
    if (g.w > width) throw std::runtime_error("glyph " + std::to_string(c) + " does not fit its width");
    // Keep the font's own side bearings, centred in the slot, but never let the ink reach the
    // slot's last column unless the glyph needs it, so that neighbouring letters stay apart.
    int room = std::max(width - 1, g.w);
    int x = first + floorDiv(width - g.advance, 2) + g.left;
    x = std::min(std::max(x, first), first + room - g.w);
    int y = kBaseline - g.top;
    if (y < 0 || y + g.h > kSheetCellH)
      throw std::runtime_error("glyph " + std::to_string(c) + " leaves its cell");
    for (int j = 0; j < g.h; ++j)
      for (int i = 0; i < g.w; ++i)
        if (g.at(i, j)) img.at(cellX + x + i, cellY + y + j) = kInk;
  }
  return img;
}

// ---------------------------------------------------------------------------------------------

std::vector<Picture> drawPictures(Lettering &fonts) {
  std::vector<Picture> out;
  Image skin = drawSkin();
  out.push_back({"butup.bmp", drawKey(false, skin)});
  out.push_back({"butdown.bmp", drawKey(true, skin)});
  for (int i = 0; i < 9; ++i) out.push_back({"s" + std::to_string(i + 1) + ".bmp", drawSymbolFile(i)});
  out.push_back({"s10.bmp", drawBlank()});
  // GO's key pixels come from the pill's edge, not from its lettering, so they must stay where they are.
  out.push_back({"go.bmp", drawGo(fonts), Drift::Shaded});
  Image logo = drawLogo(fonts, skin);
  Image logoUnder{logo.w, logo.h, {}};
  for (int y = 0; y < logo.h; ++y)
    for (int x = 0; x < logo.w; ++x) logoUnder.px.push_back(skin.at(kLogoX + x, kLogoY + y));
  out.push_back({"glt4.bmp", std::move(logo), Drift::Shaded, kMagenta, std::move(logoUnder)});
  out.push_back({"tolm2.bmp", drawBadge()});
  out.push_back({"sdllogo.bmp", drawSdlBadge(fonts, skin), Drift::Shaded});
  out.push_back({"tahoma10.bmp", drawGlyphSheet(fonts), Drift::Sheet, kWhite});
  out.push_back({"skin3.bmp", std::move(skin)});
  return out;
}

// The desktop icon: the emblem on a rounded blue tile, transparent at the corners.
static Image drawTileIcon(int size) {
  Canvas c(size, size);
  // The same blue as the window icon's corners, as a rounded tile behind the emblem.
  fill(c, box(0, 0, size, size, size * 0.2), vertical(rgb(24, 40, 255), rgb(0, 0, 214), 0, size));
  drawEmblem(c, size / 2.0, size / 2.0, size * 0.45);
  return flattenAlpha(c);
}

// For home screens that cut the icon to a shape of their own (Android's circles and squircles, the rounded
// square of iPhone and iPad): the tile's blue to every edge, and the emblem within the middle circle of 40%
// of the size that every such shape keeps, with a margin for its anti-aliased rim.
static Image drawFullBleedIcon(int size) {
  Canvas c(size, size);
  fill(c, box(0, 0, size, size), vertical(rgb(24, 40, 255), rgb(0, 0, 214), 0, size));
  drawEmblem(c, size / 2.0, size / 2.0, size * 0.36);
  return flattenAlpha(c);
}

std::vector<Picture> drawIcons() {
  std::vector<Picture> out;
  for (int size : {48, 64, 128, 256}) {
    std::string dir = std::to_string(size) + "x" + std::to_string(size);
    out.push_back({dir + "/apps/se.glimtra.Glimtra.png", drawTileIcon(size)});
  }
  return out;
}

std::vector<Picture> drawWebIcons() {
  return {{"icon-192.png", drawTileIcon(192)},
          {"icon-512.png", drawTileIcon(512)},
          {"maskable-512.png", drawFullBleedIcon(512)},
          {"apple-touch-icon.png", drawFullBleedIcon(180)}};
}

}  // namespace art

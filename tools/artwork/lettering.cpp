// FreeType glue for the artwork generator: loads DejaVu faces and renders glyphs and lines to masks.
#include "lettering.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <stdexcept>

namespace art {

Lettering::Lettering(std::string fontDir) : dir_(std::move(fontDir)) {
  FT_Library lib;
  if (FT_Init_FreeType(&lib) != 0) throw std::runtime_error("FreeType failed to start");
  library_ = lib;
}

Lettering::~Lettering() {
  for (auto &f : faces_) FT_Done_Face(static_cast<FT_Face>(f.second));
  FT_Done_FreeType(static_cast<FT_Library>(library_));
}

std::string Lettering::freetypeVersion() const {
  FT_Int major, minor, patch;
  FT_Library_Version(static_cast<FT_Library>(library_), &major, &minor, &patch);
  return std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(patch);
}

void *Lettering::face(const std::string &font) {
  auto it = faces_.find(font);
  if (it != faces_.end()) return it->second;
  FT_Face f;
  std::string path = dir_ + "/" + font;
  if (FT_New_Face(static_cast<FT_Library>(library_), path.c_str(), 0, &f) != 0)
    throw std::runtime_error("cannot open font " + path);
  faces_[font] = f;
  return f;
}

// Shrinks a mask to the rows and columns that carry ink, keeping its placement.
static Mask trim(const Mask &m) {
  int x0 = m.w, x1 = -1, y0 = m.h, y1 = -1;
  for (int j = 0; j < m.h; ++j)
    for (int i = 0; i < m.w; ++i)
      if (m.at(i, j)) {
        x0 = std::min(x0, i);
        x1 = std::max(x1, i);
        y0 = std::min(y0, j);
        y1 = std::max(y1, j);
      }
  Mask t;
  t.advance = m.advance;
  if (x1 < 0) return t;
  t.w = x1 - x0 + 1;
  t.h = y1 - y0 + 1;
  t.left = m.left + x0;
  t.top = m.top - y0;
  t.cov.resize(static_cast<size_t>(t.w) * t.h);
  for (int j = 0; j < t.h; ++j)
    for (int i = 0; i < t.w; ++i) t.cov[static_cast<size_t>(j) * t.w + i] = m.at(x0 + i, y0 + j);
  return t;
}

Mask Lettering::glyph(const std::string &font, int pixelSize, char32_t cp, Render mode) {
  FT_Face f = static_cast<FT_Face>(face(font));
  FT_Set_Pixel_Sizes(f, 0, pixelSize);
  FT_UInt index = FT_Get_Char_Index(f, cp);
  if (index == 0) throw std::runtime_error("font " + font + " lacks U+" + std::to_string(cp));
  FT_Int32 flags = FT_LOAD_RENDER | (mode == Render::Mono ? FT_LOAD_TARGET_MONO : FT_LOAD_TARGET_LIGHT);
  if (FT_Load_Glyph(f, index, flags) != 0) throw std::runtime_error("cannot render a glyph");
  const FT_Bitmap &bm = f->glyph->bitmap;
  Mask m;
  m.advance = static_cast<int>((f->glyph->advance.x + 32) >> 6);
  m.left = f->glyph->bitmap_left;
  m.top = f->glyph->bitmap_top;
  m.w = static_cast<int>(bm.width);
  m.h = static_cast<int>(bm.rows);
  m.cov.assign(static_cast<size_t>(m.w) * m.h, 0);
  for (int j = 0; j < m.h; ++j)
    for (int i = 0; i < m.w; ++i) {
      const unsigned char *row = bm.buffer + j * bm.pitch;
      uint8_t v = bm.pixel_mode == FT_PIXEL_MODE_MONO ? ((row[i >> 3] >> (7 - (i & 7))) & 1) * 255 : row[i];
      m.cov[static_cast<size_t>(j) * m.w + i] = v;
    }
  return trim(m);
}

Mask Lettering::line(const std::string &font, int pixelSize, const std::u32string &text, Render mode) {
  FT_Face f = static_cast<FT_Face>(face(font));
  std::vector<Mask> glyphs;
  std::vector<int> pens;
  int pen = 0;
  FT_UInt previous = 0;
  for (char32_t cp : text) {
    Mask g = glyph(font, pixelSize, cp, mode);
    FT_UInt index = FT_Get_Char_Index(f, cp);
    if (previous && FT_HAS_KERNING(f)) {
      FT_Vector k;
      FT_Get_Kerning(f, previous, index, FT_KERNING_DEFAULT, &k);
      pen += static_cast<int>((k.x + 32) >> 6);
    }
    previous = index;
    pens.push_back(pen);
    pen += g.advance;
    glyphs.push_back(std::move(g));
  }
  int x0 = 0, x1 = 1, top = 1, bottom = 0;
  for (size_t i = 0; i < glyphs.size(); ++i) {
    x0 = std::min(x0, pens[i] + glyphs[i].left);
    x1 = std::max(x1, pens[i] + glyphs[i].left + glyphs[i].w);
    top = std::max(top, glyphs[i].top);
    bottom = std::max(bottom, glyphs[i].h - glyphs[i].top);
  }
  Mask m;
  m.w = x1 - x0;
  m.h = top + bottom;
  m.left = x0;
  m.top = top;
  m.advance = pen;
  m.cov.assign(static_cast<size_t>(m.w) * m.h, 0);
  for (size_t g = 0; g < glyphs.size(); ++g)
    for (int j = 0; j < glyphs[g].h; ++j)
      for (int i = 0; i < glyphs[g].w; ++i) {
        int x = pens[g] + glyphs[g].left + i - x0, y = top - glyphs[g].top + j;
        uint8_t &d = m.cov[static_cast<size_t>(y) * m.w + x];
        d = static_cast<uint8_t>(std::min(255, d + glyphs[g].at(i, j)));
      }
  return trim(m);
}

void drawMask(Canvas &c, const Mask &m, int x, int baseline, const Paint &paint) {
  for (int j = 0; j < m.h; ++j)
    for (int i = 0; i < m.w; ++i) {
      int px = x + m.left + i, py = baseline - m.top + j;
      if (m.at(i, j)) c.blend(px, py, paint(px + 0.5, py + 0.5), m.at(i, j) / 255.0);
    }
}

void drawMask(Canvas &c, const Mask &m, int x, int baseline, Color col) {
  drawMask(c, m, x, baseline, [col](double, double) { return col; });
}

}  // namespace art

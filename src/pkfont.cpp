// Text drawing from a glyph sheet, and the blit, pixel and line primitives the game and its font use.
#include "pkfont.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

char tempstr[4000];

static const int kGridSize = 16;         // the sheet holds 16 by 16 cells
static const unsigned char kSpace = 32;  // drawn as a third of a cell, never as a glyph
static const unsigned char kReturn = 13;
static const unsigned char kLineBreak = 8;  // the marker the wrapping layout writes over a broken space
static const int kLinePitchLess = 4;        // wrapped lines stand this much closer than a full cell

// SDL_Rect holds 16-bit places, so a blit placed further off than that would wrap around onto the surface
// (x = 65540 lands at x = 4); one that lies wholly off the destination could show nothing, so it is left out.
static bool OffDestination(int x, int y, int w, int h, const SDL_Surface *dest) {
  return dest && (x >= dest->w || y >= dest->h || x <= -w || y <= -h);
}

void DrawIMG(SDL_Surface *img, int x, int y, SDL_Surface *dest) {
  if (img && OffDestination(x, y, img->w, img->h, dest)) return;
  SDL_Rect to;
  to.x = static_cast<Sint16>(x);
  to.y = static_cast<Sint16>(y);
  SDL_BlitSurface(img, nullptr, dest, &to);
}

void DrawIMG(SDL_Surface *img, int x, int y, int w, int h, int x2, int y2, SDL_Surface *dest) {
  if (OffDestination(x, y, w, h, dest)) return;
  SDL_Rect from;
  from.x = static_cast<Sint16>(x2);
  from.y = static_cast<Sint16>(y2);
  from.w = static_cast<Uint16>(w);
  from.h = static_cast<Uint16>(h);
  SDL_Rect to;
  to.x = static_cast<Sint16>(x);
  to.y = static_cast<Sint16>(y);
  SDL_BlitSurface(img, &from, dest, &to);
}

void Slock(SDL_Surface *surface) {
  if (SDL_MUSTLOCK(surface)) SDL_LockSurface(surface);
}

void Sulock(SDL_Surface *surface) {
  if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
}

void DrawPixel(SDL_Surface *surface, int x, int y, Uint8 R, Uint8 G, Uint8 B) {
  if (x < 0 || y < 0 || x >= surface->w || y >= surface->h) return;
  const Uint32 color = SDL_MapRGB(surface->format, R, G, B);
  const int bpp = surface->format->BytesPerPixel;
  Uint8 *at = static_cast<Uint8 *>(surface->pixels) + y * surface->pitch + x * bpp;
  switch (bpp) {
    case 1:
      *at = static_cast<Uint8>(color);
      break;
    case 2:
      *reinterpret_cast<Uint16 *>(at) = static_cast<Uint16>(color);
      break;
    case 3:
      at[0] = static_cast<Uint8>(color);
      at[1] = static_cast<Uint8>(color >> 8);
      at[2] = static_cast<Uint8>(color >> 16);
      break;
    case 4:
      *reinterpret_cast<Uint32 *>(at) = color;
      break;
  }
}

void DrawLine(int x1, int y1, int x2, int y2, Uint16 color, SDL_Surface *surface) {
  // The colour is a raw 16-bit pixel value; on any other depth it would mean something else.
  if (surface->format->BytesPerPixel != 2) return;
  if (SDL_MUSTLOCK(surface) && SDL_LockSurface(surface) < 0) {
    printf("fel vid l\xE5sning drawline");
    abort();
  }
  Uint16 *pixels = static_cast<Uint16 *>(surface->pixels);
  const int stride = surface->pitch / 2;
  const int dx = abs(x2 - x1) + 1;
  const int dy = abs(y2 - y1) + 1;
  const int hx = x2 >= x1 ? 1 : -1;
  const int hy = y2 >= y1 ? 1 : -1;
  // Walk the line on coordinates rather than a raw index, so that a pixel off the surface can be skipped
  // instead of wrapping into the next row or leaving the buffer.
  auto plot = [&](int x, int y) {
    if (x >= 0 && y >= 0 && x < surface->w && y < surface->h) pixels[y * stride + x] = color;
  };
  int x = x1, y = y1, e = 0;
  if (dx < dy) {
    for (int n = 0; n < dy; ++n) {
      plot(x, y);
      e += dx;
      if (e >= dy) {
        x += hx;
        e -= dy;
      }
      y += hy;
    }
  } else {
    for (int n = 0; n < dx; ++n) {
      plot(x, y);
      e += dy;
      if (e >= dx) {
        y += hy;
        e -= dx;
      }
      x += hx;
    }
  }
  if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
}

static void DrawGlyph(const PKFont &font, unsigned char c, int x, int y, int cellW, int cellH,
                      SDL_Surface *dest) {
  DrawIMG(font.bitmap, x, y, font.width[c], cellH, (c % kGridSize) * cellW + font.xoffset[c],
          (c / kGridSize) * cellH, dest);
}

int DrawString(PKFont font, int x, int y, const char *text, SDL_Surface *dest) {
  if (!font.bitmap || !text) return 0;
  const int cellW = font.bitmap->w / kGridSize;
  const int cellH = font.bitmap->h / kGridSize;
  int pen = x;
  for (const unsigned char *s = reinterpret_cast<const unsigned char *>(text); *s; ++s) {
    if (*s == kSpace) {
      pen += cellW / 3;
    } else {
      DrawGlyph(font, *s, pen, y, cellW, cellH, dest);
      pen += font.width[*s];
    }
  }
  return pen - x;
}

void DrawString(PKFont font, int x, int y, const char *text, SDL_Surface *dest, int wrapWidth) {
  if (!font.bitmap || !text) return;
  const unsigned char *in = reinterpret_cast<const unsigned char *>(text);
  // Only as much as the work buffer holds is laid out and drawn.
  const int len = static_cast<int>(strnlen(text, sizeof tempstr));

  // Layout: measure with the width table and turn the last space before an overflow into a line break.
  // Only a space of the current line can become its break; a line with none is left to overflow until
  // its next space.
  int pen = x;
  int lineStart = -1;  // index of the break or carriage return that began the current line
  int lastSpace = -1;  // index of the last space met so far
  for (int i = 0; i < len; ++i) {
    tempstr[i] = static_cast<char>(in[i]);
    if (in[i] == kSpace) lastSpace = i;
    pen += font.width[in[i]];
    if (pen - x > wrapWidth && lastSpace > lineStart) {
      tempstr[lastSpace] = static_cast<char>(kLineBreak);
      pen = x;
      lineStart = lastSpace;
      i = lastSpace;  // lay out what follows the break again, from the left margin
      continue;
    }
    if (in[i] == kReturn) {
      pen = x;
      lineStart = i;
    }
  }

  const int cellW = font.bitmap->w / kGridSize;
  const int cellH = font.bitmap->h / kGridSize;
  int penX = x, penY = y;
  for (int i = 0; i < len; ++i) {
    const unsigned char b = static_cast<unsigned char>(tempstr[i]);
    if (b == kSpace) {
      penX += cellW / 3;
    } else if (b == kReturn || b == kLineBreak) {
      penX = x;
      penY += cellH - kLinePitchLess;
    } else {
      DrawGlyph(font, b, penX, penY, cellW, cellH, dest);
      penX += font.width[b];
    }
  }
}

// The bitmap font record, text drawing, and the blit, pixel and line primitives over SDL surfaces.
#ifndef GLIMTRA_PKFONT_H
#define GLIMTRA_PKFONT_H

#include <SDL.h>

// A glyph sheet of 16 by 16 equal cells, one per byte value, with each glyph's metrics.
struct PKFont {
  SDL_Surface *bitmap;  // the sheet; not owned
  int width[256];       // glyph width, also the pen advance after the glyph
  int xoffset[256];     // from the cell's left edge to the glyph's first column
};

// Work buffer of the wrapping DrawString: its laid-out copy of the text, line breaks marked with byte 8.
extern char tempstr[4000];

// Blits the whole image with its top-left corner at (x, y).
void DrawIMG(SDL_Surface *img, int x, int y, SDL_Surface *dest);
// Blits the w by h rectangle at (x2, y2) of the image with its top-left corner at (x, y).
void DrawIMG(SDL_Surface *img, int x, int y, int w, int h, int x2, int y2, SDL_Surface *dest);

// Lock and unlock a surface, but only where SDL requires a lock before touching its pixels.
void Slock(SDL_Surface *surface);
void Sulock(SDL_Surface *surface);

// Sets one pixel to the colour mapped through the surface's format; does nothing outside the surface.
// The caller locks (Slock) where needed.
void DrawPixel(SDL_Surface *surface, int x, int y, Uint8 R, Uint8 G, Uint8 B);
// Draws a line with both end points, writing a raw 16-bit pixel value; locks by itself. Pixels outside the
// surface are skipped, and a surface that is not 16 bits per pixel is left alone.
void DrawLine(int x1, int y1, int x2, int y2, Uint16 color, SDL_Surface *surface);

// Draws one line of text with the top of its cells at y; returns the pen's advance in pixels.
int DrawString(PKFont font, int x, int y, const char *text, SDL_Surface *dest);
// Draws text broken into lines at spaces so that no line is wider than wrapWidth where a space allows it;
// a carriage return also starts a new line.
void DrawString(PKFont font, int x, int y, const char *text, SDL_Surface *dest, int wrapWidth);

#endif

// Frame helpers for the rendering tests: pixel reads, golden-frame comparison and failure pictures.
#include "frames.h"

#include <sys/stat.h>

#include <cstdlib>

Uint32 RgbAt(SDL_Surface *surface, int x, int y) {
  const int bpp = surface->format->BytesPerPixel;
  const Uint8 *at = static_cast<const Uint8 *>(surface->pixels) + y * surface->pitch + x * bpp;
  Uint32 pixel = 0;
  switch (bpp) {
    case 1:
      pixel = *at;
      break;
    case 2:
      pixel = *reinterpret_cast<const Uint16 *>(at);
      break;
    case 3:
      pixel = at[0] | at[1] << 8 | at[2] << 16;
      break;
    default:
      pixel = *reinterpret_cast<const Uint32 *>(at);
      break;
  }
  Uint8 r, g, b;
  SDL_GetRGB(pixel, surface->format, &r, &g, &b);
  return static_cast<Uint32>(r) << 16 | g << 8 | b;
}

bool ShowsImageAt(SDL_Surface *surface, SDL_Surface *image, int x, int y) {
  const bool keyed = image->flags & SDL_SRCCOLORKEY;
  Uint8 r, g, b;
  SDL_GetRGB(image->format->colorkey, image->format, &r, &g, &b);
  const Uint32 key = static_cast<Uint32>(r) << 16 | g << 8 | b;
  for (int iy = 0; iy < image->h; ++iy) {
    for (int ix = 0; ix < image->w; ++ix) {
      const Uint32 want = RgbAt(image, ix, iy);
      if (keyed && want == key) continue;
      if (RgbAt(surface, x + ix, y + iy) != want) return false;
    }
  }
  return true;
}

bool AllPixels(SDL_Surface *surface, int x, int y, int w, int h, Uint32 rgb) {
  for (int iy = y; iy < y + h; ++iy)
    for (int ix = x; ix < x + w; ++ix)
      if (RgbAt(surface, ix, iy) != rgb) return false;
  return true;
}

static std::string GoldenPath(const std::string &name) { return "tests/golden/" + name + ".bmp"; }

static SDL_Surface *NewFrame(int w, int h) {
  return SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, 32, 0xFF0000, 0xFF00, 0xFF, 0);
}

static void Put(SDL_Surface *surface, int x, int y, Uint32 rgb) {
  Uint32 *row = reinterpret_cast<Uint32 *>(static_cast<Uint8 *>(surface->pixels) + y * surface->pitch);
  row[x] = rgb;
}

// Actual, expected and their difference (magenta where they differ) next to each other.
static void SaveFailure(SDL_Surface *frame, SDL_Surface *golden, const std::string &name) {
  const int w = frame->w, h = frame->h, gap = 8;
  SDL_Surface *sheet = NewFrame(3 * w + 2 * gap, h);
  SDL_FillRect(sheet, nullptr, 0x404040);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const Uint32 actual = RgbAt(frame, x, y);
      const Uint32 expected = golden && x < golden->w && y < golden->h ? RgbAt(golden, x, y) : 0;
      Put(sheet, x, y, actual);
      Put(sheet, w + gap + x, y, expected);
      Put(sheet, 2 * (w + gap) + x, y, actual == expected ? (actual >> 2) & 0x3F3F3F : 0xFF00FF);
    }
  }
  mkdir("tests/failures", 0755);
  const std::string path = "tests/failures/" + name + ".actual-expected-difference.bmp";
  SDL_SaveBMP(sheet, path.c_str());
  SDL_FreeSurface(sheet);
}

std::string CompareWithGolden(SDL_Surface *frame, const std::string &name) {
  if (getenv("GLIMTRA_UPDATE_GOLDEN")) {
    SDL_Surface *copy = NewFrame(frame->w, frame->h);
    SDL_BlitSurface(frame, nullptr, copy, nullptr);
    const int saved = SDL_SaveBMP(copy, GoldenPath(name).c_str());
    SDL_FreeSurface(copy);
    return saved == 0 ? "" : "cannot write " + GoldenPath(name);
  }
  SDL_Surface *golden = SDL_LoadBMP(GoldenPath(name).c_str());
  std::string result;
  if (!golden) {
    result = "no golden frame " + GoldenPath(name) + " (make golden writes it)";
  } else if (golden->w != frame->w || golden->h != frame->h) {
    result = "golden frame " + GoldenPath(name) + " has another size";
  } else {
    int differing = 0, firstX = -1, firstY = -1;
    for (int y = 0; y < frame->h; ++y) {
      for (int x = 0; x < frame->w; ++x) {
        if (RgbAt(frame, x, y) == RgbAt(golden, x, y)) continue;
        if (differing++ == 0) firstX = x, firstY = y;
      }
    }
    if (differing)
      result = std::to_string(differing) + " pixels differ from " + GoldenPath(name) + ", the first at (" +
               std::to_string(firstX) + ", " + std::to_string(firstY) + ")";
  }
  if (!result.empty()) {
    SaveFailure(frame, golden, name);
    result += "; see tests/failures/" + name + ".actual-expected-difference.bmp";
  }
  if (golden) SDL_FreeSurface(golden);
  return result;
}

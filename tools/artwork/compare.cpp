// Tolerances for lettering that another FreeType version rasterises a little differently.
#include "compare.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace art {

// FreeType 2.14 against the 2.12 of the committed files changes glt4 by up to 31 in a channel at 11
// pixels, sdllogo by 1 at 2 pixels, and at most 8 pixels of a glyph cell. pix/README.md says why these
// limits still catch what matters.
static constexpr int kChannelLimit = 64;
static constexpr int kShadedShare = 200;  // at most one pixel in this many may differ at all
static constexpr int kCellLimit = 10;

// The colour the player sees at (x, y): through a key pixel shows what lies beneath the picture.
static uint32_t seen(const Picture &p, const Image &img, int x, int y) {
  uint32_t v = img.at(x, y);
  return v == p.key && !p.under.px.empty() ? p.under.at(x, y) : v;
}

static bool shaded(const Picture &p, const Image &made, const Image &committed, std::string &report) {
  int count = 0, worst = 0;
  for (int y = 0; y < made.h; ++y)
    for (int x = 0; x < made.w; ++x) {
      uint32_t a = seen(p, made, x, y), b = seen(p, committed, x, y);
      if (a == b) continue;
      ++count;
      for (int shift : {0, 8, 16})
        worst = std::max(
            worst, std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)));
    }
  const int allowed = made.w * made.h / kShadedShare;
  report = std::to_string(count) + " pixels differ (at most " + std::to_string(allowed) + "), by up to " +
           std::to_string(worst) + " in a channel (at most " + std::to_string(kChannelLimit) + ")";
  return count <= allowed && worst <= kChannelLimit;
}

// The pixel (x, y) of the cell at (cx, cy), paper outside the cell.
static uint32_t cellAt(const Picture &p, const Image &img, int cx, int cy, int x, int y) {
  bool inside = x >= 0 && x < kSheetCellW && y >= 0 && y < kSheetCellH;
  return inside ? img.at(cx + x, cy + y) : p.key;
}

// Pixels in which a cell of `committed` differs from the same cell of `made` moved by (dx, dy).
static int cellDiff(const Picture &p, const Image &made, const Image &committed, int cx, int cy, int dx,
                    int dy) {
  int n = 0;
  for (int y = 0; y < kSheetCellH; ++y)
    for (int x = 0; x < kSheetCellW; ++x)
      n += committed.at(cx + x, cy + y) != cellAt(p, made, cx, cy, x - dx, y - dy);
  return n;
}

// Whether ink that one side has and the other lacks lies on the other's edge, as it does where an
// outline passes a little to one side of a pixel's centre.
static bool onEdge(const Picture &p, const Image &a, const Image &b, int cx, int cy, int x, int y) {
  if (cellAt(p, a, cx, cy, x, y) == p.key || cellAt(p, b, cx, cy, x, y) != p.key) return true;
  for (int dy = -1; dy <= 1; ++dy)
    for (int dx = -1; dx <= 1; ++dx)
      if (cellAt(p, b, cx, cy, x + dx, y + dy) != p.key) return true;
  return false;
}

static bool sheet(const Picture &p, const Image &made, const Image &committed, std::string &report) {
  int total = 0, cells = 0, worst = 0;
  std::string faults;
  for (int c = 0; c < 256; ++c) {
    const int cx = (c % 16) * kSheetCellW, cy = (c / 16) * kSheetCellH;
    const int d = cellDiff(p, made, committed, cx, cy, 0, 0);
    if (d == 0) continue;
    total += d;
    ++cells;
    worst = std::max(worst, d);
    std::string fault;
    if (d > kCellLimit) fault = std::to_string(d) + " pixels differ";
    for (int y = 0; y < kSheetCellH && fault.empty(); ++y)
      for (int x = 0; x < kSheetCellW && fault.empty(); ++x)
        if (!onEdge(p, made, committed, cx, cy, x, y) || !onEdge(p, committed, made, cx, cy, x, y))
          fault = "ink gained or lost away from the glyph's edge";
    // Rounding changes a few edge pixels; a glyph that matches better a pixel away has moved.
    for (auto [dx, dy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}})
      if (fault.empty() && cellDiff(p, made, committed, cx, cy, dx, dy) < d) fault = "glyph moved";
    char cell[16];
    std::snprintf(cell, sizeof cell, "\n  cell 0x%02X: ", c);
    if (!fault.empty()) faults += cell + fault;
  }
  report = std::to_string(total) + " pixels differ in " + std::to_string(cells) + " cells, at most " +
           std::to_string(worst) + " in one (at most " + std::to_string(kCellLimit) + ")" + faults;
  return faults.empty();
}

bool withinDrift(const Picture &p, const Image &made, const Image &committed, std::string &report) {
  // The drawn picture's size is the one its backdrop and cells are laid out for.
  if (made.w != p.img.w || made.h != p.img.h || committed.w != p.img.w || committed.h != p.img.h) {
    report = "size differs";
    return false;
  }
  if (made.px == committed.px) {
    report = "same pixels";
    return true;
  }
  switch (p.drift) {
    case Drift::Shaded:
      return shaded(p, made, committed, report);
    case Drift::Sheet:
      return sheet(p, made, committed, report);
    case Drift::None:
      break;
  }
  report = "differs, and has no lettering that FreeType could change";
  return false;
}

}  // namespace art

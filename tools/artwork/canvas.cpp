// Anti-aliased shape filling on a floating-point canvas for the artwork generator.
#include "canvas.h"

#include <algorithm>
#include <cmath>

namespace art {

Color rgb(int r, int g, int b) { return {r / 255.0, g / 255.0, b / 255.0}; }

Color mix(Color a, Color b, double t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Color scale(Color c, double f) { return {c.r * f, c.g * f, c.b * f}; }

double clamp01(double v) { return v < 0 ? 0 : (v > 1 ? 1 : v); }

double smoothstep(double e0, double e1, double x) {
  double t = clamp01((x - e0) / (e1 - e0));
  return t * t * (3 - 2 * t);
}

Canvas::Canvas(int w, int h) : w_(w), h_(h), px_(static_cast<size_t>(w) * h) {}

void Canvas::blend(int x, int y, Color c, double alpha) {
  if (x < 0 || y < 0 || x >= w_ || y >= h_ || alpha <= 0) return;
  Pixel &d = at(x, y);
  double outA = alpha + d.a * (1 - alpha);
  if (outA <= 0) return;
  double keep = d.a * (1 - alpha) / outA;
  double add = alpha / outA;
  d.c = {c.r * add + d.c.r * keep, c.g * add + d.c.g * keep, c.b * add + d.c.b * keep};
  d.a = outA;
}

void Canvas::clear(Color c) {
  for (Pixel &p : px_) p = {c, 1.0};
}

static constexpr int kGrid = 6;

static double coverage(const Field &f, int x, int y) {
  // Half the pixel diagonal: farther than this from the edge, the whole pixel lies on one side.
  double centre = f(x + 0.5, y + 0.5);
  if (centre > 0.71) return 0;
  if (centre < -0.71) return 1;
  int inside = 0;
  for (int j = 0; j < kGrid; ++j)
    for (int i = 0; i < kGrid; ++i)
      if (f(x + (i + 0.5) / kGrid, y + (j + 0.5) / kGrid) < 0) ++inside;
  return static_cast<double>(inside) / (kGrid * kGrid);
}

void fill(Canvas &c, const Field &f, const Paint &p, double opacity) {
  for (int y = 0; y < c.height(); ++y)
    for (int x = 0; x < c.width(); ++x) {
      double cov = coverage(f, x, y);
      if (cov > 0) c.blend(x, y, p(x + 0.5, y + 0.5), cov * opacity);
    }
}

void fill(Canvas &c, const Field &f, Color col, double opacity) {
  const auto flat = [col](double, double) { return col; };
  fill(c, f, flat, opacity);
}

void fillSoft(Canvas &c, const Field &f, Color col, double opacity, double softness) {
  for (int y = 0; y < c.height(); ++y)
    for (int x = 0; x < c.width(); ++x) {
      double d = f(x + 0.5, y + 0.5);
      double a = 1 - smoothstep(-softness / 2, softness / 2, d);
      if (a > 0) c.blend(x, y, col, a * opacity);
    }
}

Field circle(double cx, double cy, double r) {
  return [=](double x, double y) { return std::sqrt((x - cx) * (x - cx) + (y - cy) * (y - cy)) - r; };
}

Field box(double x0, double y0, double x1, double y1, double radius) {
  double cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
  double hx = (x1 - x0) / 2 - radius, hy = (y1 - y0) / 2 - radius;
  return [=](double x, double y) {
    double qx = std::fabs(x - cx) - hx, qy = std::fabs(y - cy) - hy;
    double ox = std::max(qx, 0.0), oy = std::max(qy, 0.0);
    return std::sqrt(ox * ox + oy * oy) + std::min(std::max(qx, qy), 0.0) - radius;
  };
}

Field polygon(std::vector<Vec2> v) {
  return [v](double x, double y) {
    double d = (x - v[0].x) * (x - v[0].x) + (y - v[0].y) * (y - v[0].y);
    bool inside = false;
    for (size_t i = 0, j = v.size() - 1; i < v.size(); j = i, ++i) {
      double ex = v[j].x - v[i].x, ey = v[j].y - v[i].y;
      double wx = x - v[i].x, wy = y - v[i].y;
      double t = std::min(std::max((wx * ex + wy * ey) / (ex * ex + ey * ey), 0.0), 1.0);
      double bx = wx - ex * t, by = wy - ey * t;
      d = std::min(d, bx * bx + by * by);
      // Even-odd crossing test for the sign.
      if ((v[i].y > y) != (v[j].y > y) && x < (v[j].x - v[i].x) * (y - v[i].y) / (v[j].y - v[i].y) + v[i].x)
        inside = !inside;
    }
    return inside ? -std::sqrt(d) : std::sqrt(d);
  };
}

Field unite(Field a, Field b) {
  return [a, b](double x, double y) { return std::min(a(x, y), b(x, y)); };
}

Field intersect(Field a, Field b) {
  return [a, b](double x, double y) { return std::max(a(x, y), b(x, y)); };
}

Field subtract(Field a, Field b) {
  return [a, b](double x, double y) { return std::max(a(x, y), -b(x, y)); };
}

Field grow(Field f, double d) {
  return [f, d](double x, double y) { return f(x, y) - d; };
}

Field ring(Field f, double halfWidth) {
  return [f, halfWidth](double x, double y) { return std::fabs(f(x, y)) - halfWidth; };
}

Field placed(Field f, double x0, double y0, double s) {
  return [f, x0, y0, s](double x, double y) { return f((x - x0) / s, (y - y0) / s) * s; };
}

double dsin(double a) {
  // Reduce to [-pi, pi], then a Taylor series that is accurate far beyond 8-bit output.
  double turns = std::floor(a / (2 * kPi) + 0.5);
  double x = a - turns * 2 * kPi;
  double term = x, sum = x;
  for (int n = 1; n < 12; ++n) {
    term *= -x * x / ((2 * n) * (2 * n + 1));
    sum += term;
  }
  return sum;
}

double dcos(double a) { return dsin(a + kPi / 2); }

}  // namespace art

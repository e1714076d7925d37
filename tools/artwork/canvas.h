// Floating-point canvas and anti-aliased shape filling that every Glimtra picture is drawn with.
#ifndef GLIMTRA_ARTWORK_CANVAS_H
#define GLIMTRA_ARTWORK_CANVAS_H

#include <cstdint>
#include <functional>
#include <vector>

namespace art {

// Channels in 0..1, in the sRGB values the files store.
struct Color {
  double r = 0, g = 0, b = 0;
};

Color rgb(int r, int g, int b);
Color mix(Color a, Color b, double t);
Color scale(Color c, double f);

struct Pixel {
  Color c;
  double a = 0;  // straight alpha
};

class Canvas {
 public:
  Canvas(int w, int h);
  int width() const { return w_; }
  int height() const { return h_; }
  Pixel &at(int x, int y) { return px_[static_cast<size_t>(y) * w_ + x]; }
  const Pixel &at(int x, int y) const { return px_[static_cast<size_t>(y) * w_ + x]; }
  // Source-over compositing of one colour at the given opacity.
  void blend(int x, int y, Color c, double alpha);
  void clear(Color c);

 private:
  int w_, h_;
  std::vector<Pixel> px_;
};

// A shape as a signed distance in pixels (negative inside). The fill relies on the field being
// 1-Lipschitz to skip supersampling away from the edge, which exact distances and their min/max keep.
using Field = std::function<double(double x, double y)>;
using Paint = std::function<Color(double x, double y)>;

// Coverage is counted on a 6x6 sample grid per pixel; pixel (x, y) spans [x, x+1) x [y, y+1).
void fill(Canvas &c, const Field &f, const Paint &p, double opacity = 1.0);
void fill(Canvas &c, const Field &f, Color col, double opacity = 1.0);
// A soft-edged fill for shadows: opacity fades linearly across `softness` pixels around the edge.
void fillSoft(Canvas &c, const Field &f, Color col, double opacity, double softness);

struct Vec2 {
  double x, y;
};

Field circle(double cx, double cy, double r);
Field box(double x0, double y0, double x1, double y1, double radius = 0);
Field polygon(std::vector<Vec2> pts);
Field unite(Field a, Field b);
Field intersect(Field a, Field b);
Field subtract(Field a, Field b);
Field grow(Field f, double d);          // positive d grows the shape outwards
Field ring(Field f, double halfWidth);  // band of the given half width around the edge
// The field of `f` drawn in a unit box, placed at (x0, y0) and scaled by s.
Field placed(Field f, double x0, double y0, double s);

// Own sine and cosine from plain arithmetic so that the output does not depend on the C library.
double dsin(double a);
double dcos(double a);
inline constexpr double kPi = 3.14159265358979323846;

double clamp01(double v);
double smoothstep(double e0, double e1, double x);

}  // namespace art

#endif

// The arithmetic of drawing a link: which sides of the two step pictures it
// joins, and in which directions the arrow barbs at its end point. Pure
// functions, kept apart from the window so that every routing case can be
// checked on its own; cLines::UpdateLine applies them to the controls.
#pragma once

namespace veldrane::geometry {

// The constant the barb angles are worked out with (not M_PI: the drawing
// has always used this rounding, and ArcSin(1) must stay 1.570796326795).
inline constexpr double kPi = 3.14159265359;
// Length of a barb and its angle to the line, in window units and radians.
inline constexpr double kBarbLength = 150;
inline constexpr double kBarbAngle = 0.5;

// A step picture: left, top, width, height.
struct Box {
  double L = 0, P = 0, W = 0, H = 0;
  double right() const { return L + W; }
  double bottom() const { return P + H; }
};

// A link's end points as the line control stores them.
struct Segment {
  float x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};

// Joins the side of `from` that faces `to` with the side of `to` that faces
// `from`. The start tests right, below, left; the end tests right, left,
// below; all strict, so touching boxes fall through. The different orders
// are intended: a target below and to the left gets a link from the source's
// bottom to the target's right side.
Segment RouteLink(const Box& from, const Box& to);

// Sines and cosines of the two barb directions: A at theta - 0.5, B at
// theta + 0.5, theta being the direction of (c, s) from the end back to the
// start. s = c = 0 (a link of no length) is allowed.
struct Barbs {
  double sinA = 0, sinB = 0, cosA = 0, cosB = 0;
};
Barbs BarbDirections(double s, double c);

// Arc sine and arc cosine built from the arc tangent, exact at -1 and 1.
// Raise 5 outside -1..1 (the square root of a negative number).
double ArcSin(const double& x);
double ArcCos(const double& x);

}  // namespace veldrane::geometry

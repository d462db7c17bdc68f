#include "model/line_geometry.h"

#include <cmath>

#include "core/vb_error.h"

namespace veldrane::geometry {

Segment RouteLink(const Box& F, const Box& T) {
  double x1, y1, x2, y2;
  if (T.L > F.right()) {  // T wholly to the right
    x1 = F.right();
    y1 = F.P + F.H / 2;
  } else if (T.P > F.bottom()) {  // T wholly below
    x1 = F.L + F.W / 2;
    y1 = F.bottom();
  } else if (T.right() < F.L) {  // T wholly to the left
    x1 = F.L;
    y1 = F.P + F.H / 2;
  } else {
    x1 = F.L + F.W / 2;
    y1 = F.P;
  }

  if (F.L > T.right()) {  // F wholly to the right
    x2 = T.right();
    y2 = T.P + T.H / 2;
  } else if (F.right() < T.L) {  // F wholly to the left
    x2 = T.L;
    y2 = T.P + T.H / 2;
  } else if (F.P > T.bottom()) {  // F wholly below
    x2 = T.L + T.W / 2;
    y2 = T.bottom();
  } else {
    x2 = T.L + T.W / 2;
    y2 = T.P;
  }
  return Segment{static_cast<float>(x1), static_cast<float>(y1), static_cast<float>(x2), static_cast<float>(y2)};
}

Barbs BarbDirections(double s, double c) {
  const double a = ArcSin(s);
  const double b = ArcCos(c);
  const double h = kBarbAngle;
  // ArcSin and ArcCos each cover half the circle; the quadrant decides which
  // side of a and b each barb lies on. s = c = 0 takes the first case.
  if (s >= 0 && c >= 0) return {std::sin(a - h), std::sin(a + h), std::cos(b - h), std::cos(b + h)};
  if (s <= 0 && c >= 0) return {std::sin(a - h), std::sin(a + h), std::cos(b + h), std::cos(b - h)};
  if (s >= 0 && c <= 0) return {std::sin(a + h), std::sin(a - h), std::cos(b - h), std::cos(b + h)};
  return {std::sin(a + h), std::sin(a - h), std::cos(b + h), std::cos(b - h)};
}

namespace {

// sqrt(1 - x * x) for |x| < 1; raises 5 for a negative radicand, as the
// platform's square root does.
double Cosine(double x) {
  double r = 1 - x * x;
  if (r < 0 || std::isnan(r)) throw VbError::InvalidCall();
  if (r == 0) throw VbError::DivisionByZero();
  return std::sqrt(r);
}

}  // namespace

double ArcSin(const double& x) {
  if (x == -1) return -kPi / 2;
  if (x == 1) return kPi / 2;
  return std::atan(x / Cosine(x));
}

double ArcCos(const double& x) {
  if (x == -1) return kPi;
  if (x == 1) return 0;
  return std::atan(-x / Cosine(x)) + 2 * std::atan(1.0);
}

}  // namespace veldrane::geometry

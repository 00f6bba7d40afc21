#include "synthesis/rotation.h"

#include <cmath>
#include <numbers>

namespace quorra {

FieldDirection RotateFieldDirection(double axisTheta, double axisPhi, double angle) {
  constexpr double toRadians = std::numbers::pi / 180;
  constexpr double toDegrees = 57.29577951308232;
  if (std::fabs(axisTheta) < 1e-6) return FieldDirection{90.0, angle};
  const double a = axisTheta * toRadians, b = axisPhi * toRadians, g = angle * toRadians;
  const double nx = std::sin(a) * std::cos(b), ny = std::sin(a) * std::sin(b), nz = std::cos(a);
  // e1: z without its component along the axis; e2: along n × z. Both have
  // the same length, sqrt(1 − nz²).
  double e1x = -nx * nz, e1y = -ny * nz, e1z = 1 - nz * nz;
  const double length = std::sqrt(e1x * e1x + e1y * e1y + e1z * e1z);
  e1x /= length;
  e1y /= length;
  e1z /= length;
  const double e2x = ny / length, e2y = -nx / length;
  const double hx = std::cos(g) * e1x - std::sin(g) * e2x;
  const double hy = std::cos(g) * e1y - std::sin(g) * e2y;
  const double hz = std::cos(g) * e1z;
  const double theta = std::acos(hz);
  double phi = 0;
  if (theta >= 0.0001) phi = std::atan2(hy / std::sin(theta), hx / std::sin(theta));
  return FieldDirection{theta * toDegrees, phi * toDegrees};
}

}  // namespace quorra

// The geometry of the rotation study.

#include "synthesis/rotation.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>

namespace quorra {
namespace {

// The unit vector of a direction in degrees.
std::array<double, 3> unit(FieldDirection d) {
  const double t = d.theta * M_PI / 180, p = d.phi * M_PI / 180;
  return {std::sin(t) * std::cos(p), std::sin(t) * std::sin(p), std::cos(t)};
}

void expectDirection(FieldDirection got, std::array<double, 3> want) {
  const auto u = unit(got);
  for (int k = 0; k < 3; ++k) EXPECT_NEAR(u[k], want[k], 1e-12) << "component " << k;
}

TEST(RotateFieldDirection, TurnsInThePlanePerpendicularToTheAxis) {
  // Axis along z: the field starts along x and turns by the angle.
  const FieldDirection z30 = RotateFieldDirection(0, 0, 30);
  EXPECT_EQ(z30.theta, 90.0);
  EXPECT_EQ(z30.phi, 30.0);
  // Axis along x: z at 0°, +y at 90°.
  const FieldDirection x0 = RotateFieldDirection(90, 0, 0);
  EXPECT_NEAR(x0.theta, 0.0, 1e-12);
  EXPECT_EQ(x0.phi, 0.0);
  const FieldDirection x90 = RotateFieldDirection(90, 0, 90);
  EXPECT_NEAR(x90.theta, 90.0, 1e-12);
  EXPECT_NEAR(x90.phi, 90.0, 1e-12);
  // Axis along y: −x at 90°.
  const FieldDirection y90 = RotateFieldDirection(90, 90, 90);
  EXPECT_NEAR(y90.theta, 90.0, 1e-12);
  EXPECT_NEAR(std::fabs(y90.phi), 180.0, 1e-12);
  expectDirection(y90, {-1, 0, 0});

  // Any axis: the field stays perpendicular to it, and the angle between two
  // directions is the difference of the rotation angles.
  const double axisTheta = 37, axisPhi = 112;
  const auto n = unit({axisTheta, axisPhi});
  for (double gamma : {-10.0, 0.0, 45.0, 133.3, 190.9}) {
    const auto h = unit(RotateFieldDirection(axisTheta, axisPhi, gamma));
    EXPECT_NEAR(h[0] * n[0] + h[1] * n[1] + h[2] * n[2], 0.0, 1e-12) << gamma;
    const auto h0 = unit(RotateFieldDirection(axisTheta, axisPhi, 0));
    EXPECT_NEAR(h[0] * h0[0] + h[1] * h0[1] + h[2] * h0[2], std::cos(gamma * M_PI / 180), 1e-12) << gamma;
  }
}

}  // namespace
}  // namespace quorra

#pragma once
// The geometry of the rotation study: the field direction reached by turning
// a crystal about an axis.

namespace quorra {

struct FieldDirection {
  double theta;  // degrees from z
  double phi;    // degrees from x
};

// The field direction in the plane perpendicular to the axis (axisTheta,
// axisPhi), turned by angle from e1, the part of the z unit vector
// perpendicular to the axis. An axis along z starts from x. All in degrees.
FieldDirection RotateFieldDirection(double axisTheta, double axisPhi, double angle);

}  // namespace quorra

// quorra rotate: the field direction reached by turning the crystal about
// an axis, as the rotation dialog computes it.

#include <cmath>
#include <cstdio>

#include "cli/cli_support.h"
#include "cli/commands.h"
#include "synthesis/rotation.h"

namespace quorra::cli {

namespace {

struct RotateOptions {
  std::string axis;
  double angle = 0.0;
};

// Prints rounding noise of the last digits as an exact zero.
double tidy(double degrees) {
  return std::fabs(degrees) < 5e-10 ? 0.0 : degrees;
}

int runRotate(const RotateOptions& options) {
  double axisTheta = 0, axisPhi = 0;
  if (!parseAngles(options.axis, axisTheta, axisPhi))
    return fail(kExitUsage, "--axis expects THETA,PHI in degrees, got \"" + options.axis + "\".");
  if (!std::isfinite(options.angle)) return fail(kExitUsage, "--angle must be a finite number of degrees.");
  const FieldDirection h = RotateFieldDirection(axisTheta, axisPhi, options.angle);
  std::printf("%.6f %.6f\n", tidy(h.theta), tidy(h.phi));
  return kExitOk;
}

}  // namespace

void addRotateCommand(CLI::App& app, int& exitCode) {
  static RotateOptions options;
  CLI::App* command = app.add_subcommand(
      "rotate",
      "Print the field direction THETA PHI (degrees) reached by turning the crystal by ANGLE about the "
      "axis.\n"
      "At angle 0 the field is the part of z perpendicular to the axis (x for an axis along z).");
  command->add_option("--axis", options.axis, "Rotation axis THETA,PHI in degrees")
      ->type_name("THETA,PHI")
      ->required();
  command->add_option("--angle", options.angle, "Rotation angle in degrees")->type_name("GAMMA")->required();
  command->callback([&exitCode] { exitCode = runRotate(options); });
}

}  // namespace quorra::cli

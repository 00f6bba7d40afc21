#pragma once
// The parameter records of the simulation state, with their defaults.

#include <limits>
#include <string>

#include "engine/powder.h"

namespace quorra {

struct SpinParameters {
  double frequency = 9.6;  // GHz, microwave frequency of the simulation
  double gx = 2.05, gy = 2.05, gz = 2.25;
  double Ax = 30.0, Ay = 30.0, Az = 200.0;           // gauss, hyperfine principal values
  double P = 0.0, Q = 0.0;                           // gauss, quadrupole parameters
  double nuclearMoment = 2.227;                      // nuclear magnetons
  int twoI = 3;                                      // derived from nuclearSpinText by ApplyParameters
  double experimentalFrequency = 9.0;                // GHz, of the last experimental spectrum
  double fieldCentre = 3000.0, fieldRange = 6000.0;  // gauss
  double fieldStart = 0, fieldEnd = 0;               // gauss, fieldCentre ∓ fieldRange/2
  double fullStart = 0, fullEnd = 0;                 // gauss, unzoomed range handed to the view
  double fieldStep = 0;                              // gauss, fieldRange/(points − 1)
  int points = 65536;                                // grid points N of every trace
  int pointsInArrays = 65536;                        // the N the arrays were last prepared for
  int capacity = 65536;                              // slots of each array of the trace block
  // Range and centre at the last grid rebuild; NaN (unequal to everything)
  // until the first rebuild, so the first ApplyParameters always rebuilds.
  double lastRange = std::numeric_limits<double>::quiet_NaN();
  double lastCentre = std::numeric_limits<double>::quiet_NaN();
  std::string nuclearSpinText = "3/2";  // at most 7 characters
  double temperature = 300.0;           // kelvin; stored, not used by the simulation
  double thetaStep = 0.22;              // degrees, polar step of the powder grid
  double phiStep = 2.1;                 // degrees, azimuthal step of the powder grid
  PowderGrid grid = PowderGrid::Exact;  // the exact θ/φ grid above, or the adaptive one
  double gridTolerance = 1e-3;          // adaptive grid: largest change per refinement over peak-to-peak
  int perpendicular = 1;                // microwave field perpendicular to the static field
  int parallel = 0;                     // microwave field parallel to the static field
};

struct LineShapeParameters {
  int anisotropic = 0;                                    // 1: line width depends on orientation
  double widthX = 10.0, widthY = 10.0, widthZ = 10.0;     // gauss, anisotropic principal widths
  double kernelExtent = 0.0;                              // line widths the kernel reaches
  double kernelStep = 0.0;                                // line widths between kernel samples
  double mFactor0 = 1.0, mFactor1 = 0.0, mFactor2 = 0.0;  // stored, not used
  double isotropicWidth = 20.0;                           // gauss, centre to maximum of the derivative
  double percentGaussian = 100.0;                         // per cent Gaussian; the rest is Lorentzian
  int integral = 0;                                       // 1: absorption instead of first derivative
  double isotropicWidthInUse = 20.0;  // gauss, isotropicWidth at the last kernel computation
  int anisotropicInUse = 0;           // anisotropic at the last kernel computation
};

struct SimulationFlags {
  bool histogramReady = false;
  bool lineShapeReady = false;
  bool redPresent = false;
  bool bluePresent = false;
  bool parametersApplied = false;
};

// One displayed spectrum on the common grid: its extremes as RangeMinMax
// found them. The values live in the trace array block.
struct SpectrumTrace {
  double max = 0.0;
  double min = 0.0;
};

inline constexpr int kInitialCapacity = 65536;
inline constexpr int kMaxNuclearSpinText = 7;

// Twice the nuclear spin as the state derives it: a decimal text gives twice
// its value truncated toward zero ("2.5" → 5); otherwise the leading integer,
// which is twoI itself when the text holds "/" ("3/2" → 3) and half of it
// otherwise ("1" → 2). Unreadable text gives 0.
int twoIFromSpinText(const std::string& text);

// True when text is a nuclear spin the engine takes: "n/2", an integer or a
// decimal with a whole or half value, 1/2 … 7, at most 7 characters.
bool isValidSpinText(const std::string& text);

}  // namespace quorra

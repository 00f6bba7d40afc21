#pragma once
// The choices of the physical model, each beside the exact default: which
// microwave operator weighs a transition, which physical constants convert
// frequencies and nuclear moments, the sign of the nuclear Zeeman term, the
// nucleus by name, Boltzmann populations, the field-sweep factor, lines
// shared between grid points, and line broadening (m(I)-dependent widths,
// g and A strain, a Voigt line). With every choice at its default the
// simulation is exactly the classic one.

#include <string>

namespace quorra {

// exact: the classic pair of operators u (with +gz·sinθ·Sz) and w, summed.
// perpendicular: B1 in the plane perpendicular to B, u with the physical
// sign (−gz·sinθ·Sz) and w, summed. parallel: B1 along B, the operator
// gx·lx·Sx + gy·ly·Sy + gz·lz·Sz.
enum class MicrowaveMode { Exact, Perpendicular, Parallel };
// classic: 714.468 G/GHz, μN = 0.00050504, μB = 0.9274015 (1e-20 erg/G).
// codata2018: the CODATA 2018 values of h, μB and μN.
enum class ConstantSet { Classic, Codata2018 };
// classic: +gn·μN·B·I (the classic program's sign); physical: −gn·μN·B·I.
enum class NuclearZeemanSign { Classic, Physical };
// mixture: the Gauss/Lorentz weighted sum of the line shape (percentGaussian);
// voigt: the convolution of a Gaussian of the line width with a Lorentzian of
// lorentzWidth.
enum class LineProfile { Mixture, Voigt };

struct PhysicalModel {
  MicrowaveMode microwave = MicrowaveMode::Exact;
  ConstantSet constants = ConstantSet::Classic;
  NuclearZeemanSign nuclearSign = NuclearZeemanSign::Classic;
  // Empty: the nucleus of nuclearSpinText and nuclearMoment. Otherwise an
  // isotope ("63Cu") or an element ("Cu", its natural mixture) of the
  // isotope table.
  std::string nucleus;
  bool populations = false;       // Boltzmann population difference at the temperature
  bool sweepFactor = false;       // 1/|d(ΔE)/dB| at the resonance field
  bool betweenPoints = false;     // a line's intensity shared by its two neighbouring bins
  bool mDependentWidths = false;  // W·(mFactor0 + mFactor1·m + mFactor2·m²)
  double gStrainX = 0.0, gStrainY = 0.0, gStrainZ = 0.0;  // widths of the g values
  double aStrainX = 0.0, aStrainY = 0.0, aStrainZ = 0.0;  // G, widths of the hyperfine values
  double strainCorrelation = 0.0;                         // of g and A strain, −1 … 1
  LineProfile profile = LineProfile::Mixture;
  double lorentzWidth = 0.0;  // G, Lorentzian part of a Voigt line

  bool operator==(const PhysicalModel&) const = default;
  // True when every choice is at its default: the classic simulation.
  bool exact() const { return *this == PhysicalModel{}; }
  bool strained() const {
    return gStrainX != 0 || gStrainY != 0 || gStrainZ != 0 || aStrainX != 0 || aStrainY != 0 || aStrainZ != 0;
  }
  // True when every line gets a width of its own, so that lines are
  // broadened one by one into the spectrum instead of through a histogram.
  bool perLineWidths() const { return mDependentWidths || strained() || profile == LineProfile::Voigt; }
};

// The constants of a set, in the units the engine uses.
struct PhysicalConstants {
  double fieldPerFrequency;  // G/GHz: h/μB·1e9
  double nuclearPerBohr;     // μN/μB
  double kelvinField;        // G/K: k/μB, the field whose Zeeman energy at g = 1 is kT at 1 K
};
PhysicalConstants physicalConstants(ConstantSet set);

// Names of the choices as the parameter table writes and reads them.
const char* microwaveModeName(MicrowaveMode mode);
const char* constantSetName(ConstantSet set);
const char* nuclearSignName(NuclearZeemanSign sign);
const char* lineProfileName(LineProfile profile);
bool parseMicrowaveMode(const std::string& text, MicrowaveMode& mode);
bool parseConstantSet(const std::string& text, ConstantSet& set);
bool parseNuclearSign(const std::string& text, NuclearZeemanSign& sign);
bool parseLineProfile(const std::string& text, LineProfile& profile);

// The model without its line widths: for the tools that only place lines
// (levels, rotation), which never broaden them.
PhysicalModel withoutLineWidths(PhysicalModel model);

// The choices a user of the field expects: perpendicular mode, the physical
// nuclear sign, CODATA 2018, populations, the sweep factor and lines between
// grid points. Everything else keeps its value.
void applyPhysicalPreset(PhysicalModel& model);

// One line naming every choice that is not at its default ("perpendicular,
// codata2018, 63Cu, ..."), or "exact".
std::string physicalModelSummary(const PhysicalModel& model);

}  // namespace quorra

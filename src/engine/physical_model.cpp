#include "engine/physical_model.h"

namespace quorra {

namespace {
constexpr double kBoltzmann = 1.380649e-23;  // J/K, exact since 2019 (CODATA 2018)

template <typename Enum, int N>
bool parseName(const std::string& text, const char* const (&names)[N], Enum& value) {
  for (int k = 0; k < N; ++k)
    if (text == names[k]) {
      value = static_cast<Enum>(k);
      return true;
    }
  return false;
}

constexpr const char* kMicrowaveNames[] = {"exact", "perpendicular", "parallel"};
constexpr const char* kConstantNames[] = {"classic", "codata2018"};
constexpr const char* kSignNames[] = {"classic", "physical"};
constexpr const char* kProfileNames[] = {"mixture", "voigt"};
}  // namespace

PhysicalConstants physicalConstants(ConstantSet set) {
  if (set == ConstantSet::Classic) {
    // μB = 0.9274015e-20 erg/G = 9.274015e-28 J/G, μN = 0.00050504e-20 erg/G.
    return {714.468, 0.00050504 / 0.9274015, kBoltzmann / 9.274015e-28};
  }
  constexpr double h = 6.62607015e-34;          // J s
  constexpr double bohr = 9.2740100783e-28;     // J/G
  constexpr double nuclear = 5.0507837461e-31;  // J/G
  return {h * 1e9 / bohr, nuclear / bohr, kBoltzmann / bohr};
}

const char* microwaveModeName(MicrowaveMode mode) {
  return kMicrowaveNames[static_cast<int>(mode)];
}
const char* constantSetName(ConstantSet set) {
  return kConstantNames[static_cast<int>(set)];
}
const char* nuclearSignName(NuclearZeemanSign sign) {
  return kSignNames[static_cast<int>(sign)];
}
const char* lineProfileName(LineProfile profile) {
  return kProfileNames[static_cast<int>(profile)];
}
bool parseMicrowaveMode(const std::string& text, MicrowaveMode& mode) {
  return parseName(text, kMicrowaveNames, mode);
}
bool parseConstantSet(const std::string& text, ConstantSet& set) {
  return parseName(text, kConstantNames, set);
}
bool parseNuclearSign(const std::string& text, NuclearZeemanSign& sign) {
  return parseName(text, kSignNames, sign);
}
bool parseLineProfile(const std::string& text, LineProfile& profile) {
  return parseName(text, kProfileNames, profile);
}

PhysicalModel withoutLineWidths(PhysicalModel model) {
  model.mDependentWidths = false;
  model.gStrainX = model.gStrainY = model.gStrainZ = 0.0;
  model.aStrainX = model.aStrainY = model.aStrainZ = 0.0;
  model.profile = LineProfile::Mixture;
  return model;
}

void applyPhysicalPreset(PhysicalModel& model) {
  model.microwave = MicrowaveMode::Perpendicular;
  model.nuclearSign = NuclearZeemanSign::Physical;
  model.constants = ConstantSet::Codata2018;
  model.populations = true;
  model.sweepFactor = true;
  model.betweenPoints = true;
}

std::string physicalModelSummary(const PhysicalModel& model) {
  if (model.exact()) return "exact";
  std::string text;
  auto add = [&text](const std::string& part) { text += (text.empty() ? "" : ", ") + part; };
  if (model.microwave != MicrowaveMode::Exact) add(microwaveModeName(model.microwave));
  if (model.constants != ConstantSet::Classic) add(constantSetName(model.constants));
  if (model.nuclearSign != NuclearZeemanSign::Classic) add("physical nuclear sign");
  if (!model.nucleus.empty()) add(model.nucleus);
  if (model.populations) add("populations");
  if (model.sweepFactor) add("sweep factor");
  if (model.betweenPoints) add("lines between points");
  if (model.mDependentWidths) add("m(I) widths");
  if (model.strained()) add("strain");
  if (model.profile != LineProfile::Mixture) add(lineProfileName(model.profile));
  if (text.empty()) add("physical model");  // a value that only matters with a choice above
  return text;
}

}  // namespace quorra

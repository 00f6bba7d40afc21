#include "engine/solver_parameters.h"

#include <cmath>
#include <string>

#include "engine/isotopes.h"
#include "engine/shf_table.h"

namespace quorra {

ParameterProblem validateSolverParameters(const SolverParameters& p, const std::string& shfText,
                                          double fieldCentre, double fieldRange, int points) {
  const std::string invalid = "INVALID PARAMETER";
  const struct {
    const char* name;
    double value;
  } numbers[] = {{"frequency", p.frequency},
                 {"gx", p.gx},
                 {"gy", p.gy},
                 {"gz", p.gz},
                 {"Ax", p.Ax},
                 {"Ay", p.Ay},
                 {"Az", p.Az},
                 {"P", p.P},
                 {"Q", p.Q},
                 {"nuclearMoment", p.nuclearMoment},
                 {"fieldCentre", fieldCentre},
                 {"fieldRange", fieldRange},
                 {"widthX", p.widthX},
                 {"widthY", p.widthY},
                 {"widthZ", p.widthZ},
                 {"isotropicWidth", p.isotropicWidthInUse}};
  for (const auto& number : numbers)
    if (!std::isfinite(number.value))
      return {std::string("The value of ") + number.name + " is not a finite number.", invalid};

  if (p.frequency <= 0) return {"The frequency must be greater than 0 GHz.", invalid};
  if (p.twoI < 1 || p.twoI > 14)
    return {"The nuclear spin must be one of 1/2, 1, 3/2, ... 7.", "INVALID NUCLEAR SPIN"};
  if (p.gx == 0 && p.gy == 0 && p.gz == 0) return {"At least one g value must differ from 0.", invalid};
  if (points < 2 || points > kMaxPoints)
    return {"The resolution must be between 2 and 10000000 points.", invalid};
  if (fieldRange < 1.0) return {"The field range must be at least 1 gauss.", invalid};
  if (std::fabs(fieldCentre) + fieldRange / 2 > 1e7)
    return {"The field grid must lie within 10000000 gauss of zero.", invalid};
  if (p.anisotropic) {
    if (p.widthX <= 0 || p.widthY <= 0 || p.widthZ <= 0)
      return {"The anisotropic line widths must be greater than 0 gauss.", invalid};
  } else if (p.isotropicWidthInUse <= 0) {
    return {"The line width must be greater than 0 gauss.", invalid};
  }

  if (!p.model.nucleus.empty()) {
    const NucleusLookup nucleus = lookUpNucleus(p.model.nucleus);
    if (!nucleus.ok()) return {nucleus.error, "INVALID NUCLEUS"};
  }
  const ShfParseResult shf = parseShfTable(shfText);
  if (!shf.ok()) return {shf.error, kShfErrorTitle};
  return {};
}

namespace {
std::vector<SolverParameters> runsOf(const SolverParameters& p, bool referenceOnly) {
  if (p.model.nucleus.empty()) return {p};
  const NucleusLookup nucleus = lookUpNucleus(p.model.nucleus);
  if (!nucleus.ok()) return {p};  // refused by validateSolverParameters before any run
  int referenceStates = 1;
  for (const NucleusComponent& c : nucleus.components)
    if (c.isotope.name() == nucleus.reference) referenceStates = c.isotope.twoI + 1;
  // The spinless isotopes all give the same unsplit line: one run for all.
  double spinless = 0.0;
  for (const NucleusComponent& c : nucleus.components)
    if (c.isotope.twoI == 0) spinless += c.weight;
  std::vector<SolverParameters> runs;
  bool spinlessDone = false;
  for (const NucleusComponent& c : nucleus.components) {
    if (referenceOnly && c.isotope.name() != nucleus.reference && !nucleus.reference.empty()) continue;
    if (c.isotope.twoI == 0 && spinlessDone) continue;
    SolverParameters run = p;
    if (c.isotope.twoI == 0) {
      spinlessDone = true;
      run.twoI = 1;
      run.nuclearMoment = 0.0;
      run.Ax = run.Ay = run.Az = run.P = run.Q = 0.0;
    } else {
      run.twoI = c.isotope.twoI;
      run.nuclearMoment = c.isotope.gn * c.isotope.twoI / 2;
      run.Ax *= c.hyperfineScale;
      run.Ay *= c.hyperfineScale;
      run.Az *= c.hyperfineScale;
      run.P *= c.quadrupoleScale;
      run.Q *= c.quadrupoleScale;
    }
    if (!referenceOnly) {
      run.intensityScale = p.intensityScale * (c.isotope.twoI == 0 ? spinless : c.weight);
      if (!p.model.populations) run.intensityScale *= static_cast<double>(referenceStates) / (run.twoI + 1);
    }
    runs.push_back(run);
    if (referenceOnly) break;
  }
  return runs;
}
}  // namespace

std::vector<SolverParameters> nucleusRuns(const SolverParameters& parameters) {
  return runsOf(parameters, false);
}

SolverParameters referenceNucleusParameters(const SolverParameters& parameters) {
  return runsOf(parameters, true).front();
}

}  // namespace quorra

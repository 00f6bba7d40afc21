// Construction of the solver and what it says about its spin system.

#include "engine/resonance_solver.h"

#include <cmath>

#include "engine/fast_resonance_search.h"

namespace quorra {

namespace {
constexpr double kFieldPerFrequency = 714.468;  // G/GHz: h/β·1e9

// hν in the energy unit: the classic constant as the classic program has it,
// or the chosen set's.
double quantumOf(const SolverParameters& p) {
  if (p.model.constants == ConstantSet::Classic)
    return p.frequency * kFieldPerFrequency / ResonanceSolver::ge;
  return p.frequency * physicalConstants(p.model.constants).fieldPerFrequency / ResonanceSolver::ge;
}
}  // namespace

ResonanceSolver::ResonanceSolver(const std::string& shfText, const SolverParameters& parameters,
                                 double fieldCentre, double fieldRange, int points, MessageSink* failureSink)
    : p_(parameters),
      quantum_(quantumOf(parameters)),
      fieldStart_(fieldCentre - fieldRange / 2),
      fieldRange_(fieldRange),
      D_(2 * parameters.twoI + 2),
      NI_(parameters.twoI + 1),
      hamiltonian_(parameters, failureSink),
      levels_(D_, fieldStart_, fieldRange_),
      lines_(shfText, parameters, fieldStart_, fieldRange, points) {
  resonanceFields_.assign(kMaxResonances, 0.0);
  transitions_.assign(kMaxTransitions, Transition{});
  pairP_.assign(kMaxTransitions, 0);
  pairQ_.assign(kMaxTransitions, 0);
  weighs_ = p_.model.populations || p_.model.sweepFactor || p_.intensityScale != 1.0;
  kT_ = physicalConstants(p_.model.constants).kelvinField * p_.temperature / ge;
  if (p_.engine == Engine::Fast) fast_ = std::make_unique<FastResonanceSearch>(*this, failureSink);
}

ResonanceSolver::~ResonanceSolver() = default;

bool ResonanceSolver::axialSystem() const {
  const PhysicalModel& m = p_.model;
  if (p_.gx != p_.gy || p_.Ax != p_.Ay || p_.Q != 0.0) return false;
  if (p_.anisotropic != 0 && p_.widthX != p_.widthY) return false;
  if (m.gStrainX != m.gStrainY || m.aStrainX != m.aStrainY) return false;
  return lines_.axialSets();
}

void ResonanceSolver::forgetPreviousOrientation() {
  if (fast_) fast_->forgetPreviousOrientation();
}

}  // namespace quorra

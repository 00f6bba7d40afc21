// The factor a transition's intensity takes from the physical model
// (abundance, Boltzmann populations, field-sweep factor). Both resonance
// searches call it through addTransitionsAt; it allocates nothing.

#include <cmath>

#include "engine/resonance_solver.h"

namespace quorra {

double ResonanceSolver::lineFactor(const Eigenvectors& levels, int p, int q) const {
  double factor = p_.intensityScale;
  if (p_.model.populations) {
    // Levels descend: q is the lower level of the pair, D − 1 the lowest of
    // all. The population difference of the pair at the temperature, out of
    // a total of 1 over all levels; at 0 K only the lowest level is filled.
    const double* E = levels.energies;
    const double lowest = E[D_ - 1];
    if (kT_ > 0) {
      double Z = 0.0;
      for (int j = 0; j < D_; ++j) Z += std::exp(-(E[j] - lowest) / kT_);
      factor *= (std::exp(-(E[q] - lowest) / kT_) - std::exp(-(E[p] - lowest) / kT_)) / Z;
    } else {
      factor *= (E[q] == lowest ? 1.0 : 0.0) - (E[p] == lowest ? 1.0 : 0.0);
    }
  }
  if (p_.model.sweepFactor) {
    // A field sweep crosses a line at a rate 1/|d(ΔE)/dB|; a line whose gap
    // does not move with the field is never crossed, and is left out.
    const double slope = std::fabs(hamiltonian_.levelSlope(levels.vectorsReal, levels.vectorsImag, p) -
                                   hamiltonian_.levelSlope(levels.vectorsReal, levels.vectorsImag, q));
    factor *= slope > 1e-12 ? 1.0 / slope : 0.0;
  }
  return factor;
}

}  // namespace quorra

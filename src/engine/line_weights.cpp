// The physical model's quantities of one transition: the factor its
// intensity takes (abundance, Boltzmann populations, field-sweep factor) and
// its nuclear projection m, which sets its own width. Both resonance searches
// call these through addTransitionsAt; none allocates.

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
    const double slope = std::fabs(levelSlope(levels, p) - levelSlope(levels, q));
    factor *= slope > 1e-12 ? 1.0 / slope : 0.0;
  }
  return factor;
}

namespace {
// Re(conj(a)·z·b) for complex a, b, z given by parts.
inline double realOfProduct(double ar, double ai, double zr, double zi, double br, double bi) {
  const double pr = ar * br + ai * bi, pi = ar * bi - ai * br;  // conj(a)·b
  return zr * pr - zi * pi;
}
}  // namespace

double ResonanceSolver::levelSlope(const Eigenvectors& levels, int j) const {
  // dH/dB: the electron Zeeman term over ge and the nuclear one (γ), as
  // fieldMatrix builds them at B = 1.
  const int D = D_, NI = NI_;
  auto vr = [&](int k) { return levels.vectorsReal[k * D + j]; };
  auto vi = [&](int k) { return levels.vectorsImag[k * D + j]; };
  const double gamma = nuclearZeeman_;
  const double ez = 0.5 * p_.gz * lz_ / ge;
  const double exR = 0.5 * p_.gx * lx_ / ge, exI = -0.5 * p_.gy * ly_ / ge;
  const double nR = gamma * lx_, nI = -gamma * ly_;
  double slope = 0.0;
  for (int k = 0; k < NI; ++k) {
    const double m = mValue_[k];
    const int up = k, down = NI + k;
    slope += (ez + gamma * lz_ * m) * (vr(up) * vr(up) + vi(up) * vi(up));
    slope += (-ez + gamma * lz_ * m) * (vr(down) * vr(down) + vi(down) * vi(down));
    slope += 2 * realOfProduct(vr(up), vi(up), exR, exI, vr(down), vi(down));
    if (k + 1 < NI) {
      const double r = raisePart_[k + 1];
      for (const int half : {0, NI})
        slope +=
            2 * realOfProduct(vr(half + k), vi(half + k), nR * r, nI * r, vr(half + k + 1), vi(half + k + 1));
    }
  }
  return slope;
}

double ResonanceSolver::nuclearProjection(const Eigenvectors& levels, int j) const {
  const int D = D_, NI = NI_;
  auto vr = [&](int k) { return levels.vectorsReal[k * D + j]; };
  auto vi = [&](int k) { return levels.vectorsImag[k * D + j]; };
  const double* n = hyperfineDirection_;
  double projection = 0.0;
  for (int k = 0; k < NI; ++k) {
    for (const int half : {0, NI}) {
      const int r = half + k;
      projection += n[2] * mValue_[k] * (vr(r) * vr(r) + vi(r) * vi(r));
      // ⟨k|Ix|k+1⟩ = raisePart, ⟨k|Iy|k+1⟩ = −i·raisePart.
      if (k + 1 < NI) {
        const double a = raisePart_[k + 1];
        projection += 2 * realOfProduct(vr(r), vi(r), n[0] * a, -n[1] * a, vr(r + 1), vi(r + 1));
      }
    }
  }
  return projection;
}

}  // namespace quorra

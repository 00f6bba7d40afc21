// The physical model's quantities of one transition: the factor its
// intensity takes (abundance, Boltzmann populations, field-sweep factor), its
// nuclear projection m and its own width, and the Voigt line. Both resonance
// searches call these through addTransitionsAt; none allocates.

#include <cerf.h>

#include <algorithm>
#include <cmath>
#include <vector>

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

double ResonanceSolver::lineWidthFor(double field, double m) const {
  // The line width of the orientation, scaled by the m(I) factors, and the
  // widths of g and A strain, added in quadrature with their correlation:
  // a line at B = (hν − A·m)/(g·μB) moves by −B·δg/g − m·δA.
  double own = lineWidth_;
  if (p_.model.mDependentWidths) own *= std::fabs(p_.mFactor0 + p_.mFactor1 * m + p_.mFactor2 * m * m);
  const double fromG = field * gStrainPerField_, fromA = m * aStrainPerM_;
  const double variance =
      own * own + fromG * fromG + fromA * fromA + 2 * p_.model.strainCorrelation * fromG * fromA;
  const double width = variance > 0 ? std::sqrt(variance) : 0.0;
  // A line narrower than the grid cannot be drawn on it.
  return width > fieldStep_ ? width : fieldStep_;
}

void ResonanceSolver::addVoigtLine(int index, double amount, double W, double* target) {
  // The Voigt profile of a Gaussian of width W (centre to the maximum of its
  // derivative: σ) and a Lorentzian of half width √3·lorentzWidth at half
  // maximum (the same convention), through the Faddeeva function w(z),
  // z = (x + iγ)/√2 in units of σ: V ∝ Re w(z), dV/dx ∝ Re(z·w(z)). Scaled
  // as the mixture's kernel is, so that without its Lorentzian the line is
  // that kernel's pure Gaussian.
  //
  // w(z) is evaluated at nodes 0.1·(1 + γ) widths apart (the profile varies
  // on the scale of 1 + γ) and the grid points between them are taken by
  // cubic (Catmull–Rom) interpolation, good to about 1e-5 of the peak.
  const int N = points_;
  const double gamma = std::sqrt(3.0) * p_.model.lorentzWidth / W;
  const double reachInWidths = p_.integral ? 9.0 + 60.0 * gamma : 4.5 + 12.0 * gamma;
  const double reach = reachInWidths * W / fieldStep_;
  const int K = reach < N - 1 ? static_cast<int>(reach) : N - 1;
  const double a = amount / (W * W);
  const double peak = std::exp(0.5), root2 = std::sqrt(2.0);
  const double zi = gamma / root2;
  const double h = 0.1 * (1 + gamma);     // at most 9/0.1 + 60/0.1 = 690 nodes over the reach
  double* node = voigtNodes_.data() + 1;  // node[−1] … node[nodes + 1]
  const int nodes = static_cast<int>(std::min(K * fieldStep_ / W, reachInWidths) / h) + 2;
  for (int n = 0; n <= nodes; ++n) {
    const double zr = n * h / root2;
    const double wr = re_w_of_z(zr, zi);
    node[n] = p_.integral ? peak * wr / p_.kernelStep : peak * root2 * (zr * wr - zi * im_w_of_z(zr, zi));
  }
  node[-1] = p_.integral ? node[1] : -node[1];  // an even absorption, an odd derivative
  for (int j = 0; j <= K; ++j) {
    const double t = (j * fieldStep_ / W) / h;
    const int n = static_cast<int>(t);
    const double s = t - n;
    const double* y = node + n;  // y[−1] … y[2]
    const double v =
        a *
        (y[0] + 0.5 * s *
                    (y[1] - y[-1] +
                     s * (2 * y[-1] - 5 * y[0] + 4 * y[1] - y[2] + s * (3 * (y[0] - y[1]) + y[2] - y[-1]))));
    if (j == 0) {
      if (p_.integral) target[index] += v;
      continue;
    }
    if (index + j < N) target[index + j] += p_.integral ? v : -v;
    if (index - j >= 0) target[index - j] += v;
  }
  markTouched(index, K, N);
}

}  // namespace quorra

// The resonance search of one orientation, the reference way: level table
// over the field grid, level following, pair scan, refinement of each
// bracket; and what both searches share, the transition probabilities and
// their records.

#include <cmath>

#include "engine/fast_resonance_search.h"
#include "engine/resonance_solver.h"

namespace quorra {

void ResonanceSolver::processOrientation(double thetaDegrees, double phiDegrees, double weight,
                                         double* target) {
  setupOrientation(thetaDegrees, phiDegrees);
  if (fast_)
    fast_->process(weight, target);
  else
    processOrientationReference(weight, target);
}

void ResonanceSolver::setupOrientation(double thetaDegrees, double phiDegrees) {
  transitionCount_ = 0;
  resonanceCount_ = 0;
  hamiltonian_.setOrientation(thetaDegrees, phiDegrees);
  const double lx = hamiltonian_.lx(), ly = hamiltonian_.ly(), lz = hamiltonian_.lz();
  lines_.setOrientation(lx, ly, lz, hamiltonian_.gEff());
  if (p_.model.perLineWidths()) {
    // The nuclear spin is quantised along the hyperfine field A·g·l (along
    // the field itself when there is no hyperfine coupling).
    double n[3] = {p_.Ax * p_.gx * lx, p_.Ay * p_.gy * ly, p_.Az * p_.gz * lz};
    double size = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    if (!(size > 0)) {
      n[0] = lx;
      n[1] = ly;
      n[2] = lz;
      size = 1.0;
    }
    for (int c = 0; c < 3; ++c) hyperfineDirection_[c] = n[c] / size;
  }
}

void ResonanceSolver::processOrientationReference(double weight, double* target) {
  const double step = fieldRange_ / LevelTable::kScanSteps;
  for (int k = 0; k <= LevelTable::kScanSteps; ++k) {
    hamiltonian_.levelsAt(fieldStart_ + k * step, false);
    for (int j = 0; j < D_; ++j) levels_.level(k, j) = hamiltonian_.energies()[j];
  }
  levels_.follow();
  levels_.scanPairs(quantum_, [&](const LevelTable::Bracket& bracket) {
    recordTransitions(refineBracket(bracket.lo, bracket.flo, bracket.hi, bracket.fhi), weight, target);
  });
}

// Regula falsi with a bisection safeguard on [lo, hi]. The function is the
// gap excess of whichever pair of levels is closest to resonance at each
// trial field, so the bracket may converge to another pair's resonance.
double ResonanceSolver::refineBracket(double lo, double flo, double hi, double fhi) {
  double x = lo;
  double fx = 1e30;
  for (int iteration = 0; iteration < kMaxRefinementSteps; ++iteration) {
    if (std::fabs(fx) < kGapTolerance) lo = hi = x;
    if (hi - lo < kFieldTolerance) break;
    if (std::fabs(fhi - flo) < kFlatTolerance) {
      x = (lo + hi) / 2;
    } else {
      x = lo - flo * (hi - lo) / (fhi - flo);
      if (x < lo || x > hi) x = (lo + hi) / 2;
    }
    hamiltonian_.levelsAt(x, false);
    const double* E = hamiltonian_.energies();
    fx = 1e30;
    for (int p = 0; p + 1 < D_; ++p) {
      for (int q = p + 1; q < D_; ++q) {
        const double excess = std::fabs(E[p] - E[q]) - quantum_;
        if (std::fabs(excess) < std::fabs(fx)) fx = excess;
      }
    }
    if (fx * flo >= 0) {
      lo = x;
      flo = fx;
    } else {
      hi = x;
      fhi = fx;
    }
  }
  return x;
}

void ResonanceSolver::recordTransitions(double field, double weight, double* target) {
  if (!acceptField(field)) return;
  hamiltonian_.levelsAt(field, true);
  const double* E = hamiltonian_.energies();
  addTransitionsAt(field, {hamiltonian_.eigenvectorsReal(), hamiltonian_.eigenvectorsImag(), E},
                   collectResonantPairs(E, 1, 0), weight, target);
}

bool ResonanceSolver::acceptField(double field) {
  for (int r = 0; r < resonanceCount_; ++r)
    if (std::fabs(field - resonanceFields_[r]) < kFieldTolerance) return false;
  if (resonanceCount_ == kMaxResonances) return false;  // list full: further fields are cut
  resonanceFields_[resonanceCount_++] = field;
  return true;
}

int ResonanceSolver::levelsOfPairs(int pairCount, int* levels) const {
  bool used[BatchEigenSolver::kMaxDimension] = {};
  for (int t = 0; t < pairCount; ++t) used[pairP_[t]] = used[pairQ_[t]] = true;
  int count = 0;
  for (int j = 0; j < D_; ++j)
    if (used[j]) levels[count++] = j;
  return count;
}

int ResonanceSolver::collectResonantPairs(const double* values, int stride, int lane) {
  auto energy = [&](int j) { return values[j * stride + lane]; };
  int pairCount = 0;
  for (int p = 0; p + 1 < D_ && pairCount < kMaxTransitions; ++p) {
    for (int q = p + 1; q < D_ && pairCount < kMaxTransitions; ++q) {
      if (std::fabs(std::fabs(energy(p) - energy(q)) - quantum_) < kFieldTolerance) {
        pairP_[pairCount] = p;
        pairQ_[pairCount] = q;
        ++pairCount;
      }
    }
  }
  return pairCount;
}

void ResonanceSolver::addTransitionsAt(double field, const Eigenvectors& levels, int pairCount, double weight,
                                       double* target) {
  const int D = D_, NI = NI_;
  auto vr = [&](int k, int j) { return levels.vectorsReal[k * D + j]; };
  auto vi = [&](int k, int j) { return levels.vectorsImag[k * D + j]; };

  const SpinHamiltonian& h = hamiltonian_;
  const double cosTheta = h.cosTheta(), sinTheta = h.sinTheta(), cosPhi = h.cosPhi(), sinPhi = h.sinPhi();
  double cuX = p_.gx * cosTheta * cosPhi;  // u: gx·cosθ·cosφ·Sx + gy·cosθ·sinφ·Sy + gz·sinθ·Sz
  double cuY = p_.gy * cosTheta * sinPhi;
  double cuZ = 0.5 * p_.gz * sinTheta;
  double cwX = p_.gx * sinPhi;  // w: gx·sinφ·Sx − gy·cosφ·Sy
  double cwY = p_.gy * cosPhi;
  if (p_.model.microwave == MicrowaveMode::Perpendicular) {
    // u along (cosθ·cosφ, cosθ·sinφ, −sinθ), perpendicular to the field as w is.
    cuZ = -cuZ;
  } else if (p_.model.microwave == MicrowaveMode::Parallel) {
    // B1 along the field: gx·lx·Sx + gy·ly·Sy + gz·lz·Sz alone.
    cuX = p_.gx * h.lx();
    cuY = p_.gy * h.ly();
    cuZ = 0.5 * p_.gz * h.lz();
    cwX = cwY = 0.0;
  }
  for (int t = 0; t < pairCount; ++t) {
    const int p = pairP_[t], q = pairQ_[t];
    double upR = 0, upI = 0, wpR = 0, wpI = 0;  // ⟨ψp|u⟩, ⟨ψp|w⟩
    for (int k = 0; k < D; ++k) {
      // X = Sx·ψq, Y = Sy·ψq at component k.
      const bool upperHalf = k < NI;
      const int partner = upperHalf ? NI + k : k - NI;
      const double qr = vr(partner, q), qi = vi(partner, q);
      const double xr = 0.5 * qr, xi = 0.5 * qi;
      double yr, yi;
      if (upperHalf) {  // −(i/2)·ψ
        yr = 0.5 * qi;
        yi = -0.5 * qr;
      } else {  // +(i/2)·ψ
        yr = -0.5 * qi;
        yi = 0.5 * qr;
      }
      const double sign = upperHalf ? 1.0 : -1.0;
      const double ownR = vr(k, q), ownI = vi(k, q);
      const double ur = cuX * xr + cuY * yr + sign * cuZ * ownR;
      const double ui = cuX * xi + cuY * yi + sign * cuZ * ownI;
      const double wr = cwX * xr - cwY * yr;
      const double wi = cwX * xi - cwY * yi;
      const double pr = vr(k, p), pi = vi(k, p);
      // conj(ψp)·u
      upR += pr * ur + pi * ui;
      upI += pr * ui - pi * ur;
      wpR += pr * wr + pi * wi;
      wpI += pr * wi - pi * wr;
    }
    const double probability = upR * upR + upI * upI + wpR * wpR + wpI * wpI;
    const double factor = weighs_ ? lineFactor(levels, p, q) : 1.0;
    double intensity = probability * weight;
    if (weighs_) intensity *= factor;
    double width = 0.0;  // the line's own width, with per-line widths
    if (p_.model.perLineWidths()) {
      const double m =
          0.5 * (h.nuclearProjection(levels.vectorsReal, levels.vectorsImag, hyperfineDirection_, p) +
                 h.nuclearProjection(levels.vectorsReal, levels.vectorsImag, hyperfineDirection_, q));
      width = lines_.widthFor(field, m);
    }
    if (target != nullptr) lines_.addLineOfWidth(field, intensity, width, target);
    if (transitionCount_ < kMaxTransitions)
      transitions_[transitionCount_++] = {field, probability, p + 1,
                                          q + 1, width,       weighs_ ? probability * factor : probability};
  }
}

}  // namespace quorra

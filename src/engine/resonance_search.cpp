// The resonance search of one orientation, the reference way: level table
// over the field grid, level following, pair scan, refinement of each
// bracket; and what both searches share, the transition probabilities and
// the lines they add to the target array.

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
  setOrientation(thetaDegrees, phiDegrees);

  if (p_.anisotropic == 1) {
    lineWidth_ = std::sqrt((lx_ * p_.widthX) * (lx_ * p_.widthX) + (ly_ * p_.widthY) * (ly_ * p_.widthY) +
                           (lz_ * p_.widthZ) * (lz_ * p_.widthZ));
  } else {
    lineWidth_ = p_.isotropicWidthInUse;
  }
  currentWidth_ = lineWidth_;

  const double gEff = std::sqrt((p_.gx * lx_) * (p_.gx * lx_) + (p_.gy * ly_) * (p_.gy * ly_) +
                                (p_.gz * lz_) * (p_.gz * lz_));
  // M = dH/dB is the electron Zeeman term plus the nuclear one, which
  // commute: its eigenvalues are ±gEff/(2·ge) + γ·m.
  levelSpeed_ = 0.5 * gEff / ge + std::fabs(nuclearZeeman_) * 0.5 * twoI_;
  for (ShfLines& set : shf_) {
    set.splitting = std::sqrt((set.gAx * lx_) * (set.gAx * lx_) + (set.gAy * ly_) * (set.gAy * ly_) +
                              (set.gAz * lz_) * (set.gAz * lz_)) /
                    gEff;
  }
  if (p_.model.perLineWidths()) {
    gEff_ = gEff;
    // g strain: the width of g_eff, Σ g_i·σg_i·l_i²/g_eff, over g_eff, per
    // gauss of resonance field; A strain: the width of the hyperfine
    // splitting projected as the splitting is, per unit of m.
    gStrainPerField_ = (p_.gx * p_.model.gStrainX * lx_ * lx_ + p_.gy * p_.model.gStrainY * ly_ * ly_ +
                        p_.gz * p_.model.gStrainZ * lz_ * lz_) /
                       (gEff * gEff);
    const double ax = p_.gx * p_.model.aStrainX * lx_, ay = p_.gy * p_.model.aStrainY * ly_,
                 az = p_.gz * p_.model.aStrainZ * lz_;
    aStrainPerM_ = std::sqrt(ax * ax + ay * ay + az * az) / gEff;
    // The nuclear spin is quantised along the hyperfine field A·g·l (along
    // the field itself when there is no hyperfine coupling).
    double n[3] = {p_.Ax * p_.gx * lx_, p_.Ay * p_.gy * ly_, p_.Az * p_.gz * lz_};
    double size = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    if (!(size > 0)) {
      n[0] = lx_;
      n[1] = ly_;
      n[2] = lz_;
      size = 1.0;
    }
    for (int c = 0; c < 3; ++c) hyperfineDirection_[c] = n[c] / size;
  }
}

void ResonanceSolver::processOrientationReference(double weight, double* target) {
  const double step = fieldRange_ / LevelTable::kScanSteps;
  for (int k = 0; k <= LevelTable::kScanSteps; ++k) {
    levelsAt(fieldStart_ + k * step, false);
    for (int j = 0; j < D_; ++j) levels_.level(k, j) = E_[j];
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
    levelsAt(x, false);
    fx = 1e30;
    for (int p = 0; p + 1 < D_; ++p) {
      for (int q = p + 1; q < D_; ++q) {
        const double excess = std::fabs(E_[p] - E_[q]) - quantum_;
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
  levelsAt(field, true);
  addTransitionsAt(field, {Vr_, Vi_, E_}, collectResonantPairs(E_, 1, 0), weight, target);
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

  double cuX = p_.gx * cosTheta_ * cosPhi_;  // u: gx·cosθ·cosφ·Sx + gy·cosθ·sinφ·Sy + gz·sinθ·Sz
  double cuY = p_.gy * cosTheta_ * sinPhi_;
  double cuZ = 0.5 * p_.gz * sinTheta_;
  double cwX = p_.gx * sinPhi_;  // w: gx·sinφ·Sx − gy·cosφ·Sy
  double cwY = p_.gy * cosPhi_;
  if (p_.model.microwave == MicrowaveMode::Perpendicular) {
    // u along (cosθ·cosφ, cosθ·sinφ, −sinθ), perpendicular to the field as w is.
    cuZ = -cuZ;
  } else if (p_.model.microwave == MicrowaveMode::Parallel) {
    // B1 along the field: gx·lx·Sx + gy·ly·Sy + gz·lz·Sz alone.
    cuX = p_.gx * lx_;
    cuY = p_.gy * ly_;
    cuZ = 0.5 * p_.gz * lz_;
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
    if (p_.model.perLineWidths()) {
      const double m = 0.5 * (nuclearProjection(levels, p) + nuclearProjection(levels, q));
      currentWidth_ = lineWidthFor(field, m);
    }
    if (intensity > 0 && target != nullptr) addResonance(field, intensity, target);
    if (transitionCount_ < kMaxTransitions)
      transitions_[transitionCount_++] = {field,
                                          probability,
                                          p + 1,
                                          q + 1,
                                          p_.model.perLineWidths() ? currentWidth_ : 0.0,
                                          weighs_ ? probability * factor : probability};
  }
}

void ResonanceSolver::addResonance(double field, double intensity, double* target) {
  const int sets = static_cast<int>(shf_.size());
  for (int s = 0; s < sets; ++s) odometer_[s] = 0;
  for (;;) {
    double shift = 0.0;
    double multiplicity = 1.0;
    for (int s = 0; s < sets; ++s) {
      shift += shf_[s].M[odometer_[s]] * shf_[s].splitting;
      multiplicity *= shf_[s].multiplicity[odometer_[s]];
    }
    if (p_.model.betweenPoints) {
      // Shared by the two grid points around the line, in proportion to
      // its distance from each.
      const double x = (field + shift - fieldStart_) / fieldStep_;
      if (x > -1.0 && x < points_) {
        const double below = std::floor(x), share = x - below;
        const int i = static_cast<int>(below);
        const double amount = multiplicity * intensity;
        if (i >= 0 && share < 1.0) addLine(i, (1.0 - share) * amount, target);
        if (i + 1 < points_ && share > 0.0) addLine(i + 1, share * amount, target);
      }
    } else {
      const double position = (field + shift - fieldStart_) / fieldStep_ + 0.5;
      // Truncation toward zero: positions in (−1, 0) land on index 0.
      if (position > -1.0 && position < points_)
        addLine(static_cast<int>(position), multiplicity * intensity, target);
    }

    int s = 0;
    while (s < sets && ++odometer_[s] == static_cast<int>(shf_[s].M.size())) {
      odometer_[s] = 0;
      ++s;
    }
    if (s == sets) break;
  }
}

void ResonanceSolver::addLine(int index, double amount, double* target) {
  if (!perLine_) {
    target[index] += amount;
    if (index < touchedLow_) touchedLow_ = index;
    if (index > touchedHigh_) touchedHigh_ = index;
    return;
  }
  const double W = currentWidth_;
  if (p_.model.profile == LineProfile::Voigt) {
    addVoigtLine(index, amount, W, target);
    return;
  }
  const int N = points_;
  // Points beyond the grid receive nothing, so the reach is capped at N − 1.
  const double reach = W * kernelReach_;
  const int K = reach < N - 1 ? static_cast<int>(reach) : N - 1;
  const double a = amount / (W * W);
  const double* kernel = p_.kernel;
  if (p_.integral) target[index] += a * kernel[0];
  for (int j = 1; j <= K; ++j) {
    const int m = static_cast<int>((j * fieldStep_ / W) / p_.kernelStep);
    if (m >= N) break;
    const double v = a * kernel[m];
    if (index + j < N) target[index + j] += p_.integral ? v : -v;
    if (index - j >= 0) target[index - j] += v;
  }
  markTouched(index, K, N);
}

}  // namespace quorra

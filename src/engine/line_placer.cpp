// Lines into the spectrum: superhyperfine splitting, the histogram count or
// the line broadened one by one (kernel or Voigt), and the histogram of a
// field that varies linearly over a triangle or a segment of orientations.
// None of the member functions allocates.

#include "engine/line_placer.h"

#include <cerf.h>

#include <algorithm>
#include <cmath>
#include <utility>

#include "engine/shf_table.h"

namespace quorra {

LinePlacer::LinePlacer(const std::string& shfText, const SolverParameters& parameters, double fieldStart,
                       double fieldRange, int points)
    : p_(parameters),
      fieldStart_(fieldStart),
      fieldStep_(fieldRange / (points - 1)),
      kernelReach_(parameters.kernelStep * (points - 1) / (fieldRange / (points - 1))),
      points_(points),
      perLine_(parameters.anisotropic != 0 || parameters.model.perLineWidths()) {
  // Superhyperfine sets, expanded into their lines in walking order.
  for (const ShfSet& set : parseShfTable(shfText).sets) {
    ShfLines lines;
    lines.gAx = p_.gx * set.Ax;
    lines.gAy = p_.gy * set.Ay;
    lines.gAz = p_.gz * set.Az;
    if (!set.mixtureM.empty()) {
      lines.M = set.mixtureM;
      lines.multiplicity = set.mixtureWeight;
      shf_.push_back(std::move(lines));
      continue;
    }
    const bool half = set.halfIntegerM();
    // Line indices 0, 1, −1, 2, −2, … (integer M) or 1, −1, 2, −2, …
    // (half-integer M) until the table's terminator.
    for (int j = half ? 1 : 0; set.multiplicity[j] != -1; ++j) {
      const double count = static_cast<double>(set.multiplicity[j]);
      const double M = half ? j - 0.5 : j;
      lines.M.push_back(M);
      lines.multiplicity.push_back(count);
      if (j != 0) {
        lines.M.push_back(-M);
        lines.multiplicity.push_back(count);
      }
    }
    shf_.push_back(std::move(lines));
  }
  odometer_.assign(shf_.size(), 0);
  resetTouched();
}

void LinePlacer::setOrientation(double lx, double ly, double lz, double gEff) {
  if (p_.anisotropic == 1) {
    lineWidth_ = std::sqrt((lx * p_.widthX) * (lx * p_.widthX) + (ly * p_.widthY) * (ly * p_.widthY) +
                           (lz * p_.widthZ) * (lz * p_.widthZ));
  } else {
    lineWidth_ = p_.isotropicWidthInUse;
  }
  currentWidth_ = lineWidth_;
  for (ShfLines& set : shf_) {
    set.splitting = std::sqrt((set.gAx * lx) * (set.gAx * lx) + (set.gAy * ly) * (set.gAy * ly) +
                              (set.gAz * lz) * (set.gAz * lz)) /
                    gEff;
  }
  if (p_.model.perLineWidths()) {
    // g strain: the width of g_eff, Σ g_i·σg_i·l_i²/g_eff, over g_eff, per
    // gauss of resonance field; A strain: the width of the hyperfine
    // splitting projected as the splitting is, per unit of m.
    gStrainPerField_ = (p_.gx * p_.model.gStrainX * lx * lx + p_.gy * p_.model.gStrainY * ly * ly +
                        p_.gz * p_.model.gStrainZ * lz * lz) /
                       (gEff * gEff);
    const double ax = p_.gx * p_.model.aStrainX * lx, ay = p_.gy * p_.model.aStrainY * ly,
                 az = p_.gz * p_.model.aStrainZ * lz;
    aStrainPerM_ = std::sqrt(ax * ax + ay * ay + az * az) / gEff;
  }
}

bool LinePlacer::axialSets() const {
  for (const ShfLines& set : shf_)
    if (set.gAx != set.gAy) return false;
  return true;
}

void LinePlacer::addResonance(double field, double intensity, double* target) {
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

void LinePlacer::addLine(int index, double amount, double* target) {
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

double LinePlacer::widthFor(double field, double m) const {
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

void LinePlacer::addVoigtLine(int index, double amount, double W, double* target) {
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

void LinePlacer::addLineOfWidth(double field, double intensity, double width, double* target) {
  if (!(intensity > 0)) return;
  if (p_.model.perLineWidths()) currentWidth_ = width;
  addResonance(field, intensity, target);
}

void LinePlacer::addSpread(double a, double b, double c, double mass, double* target) {
  // Bin coordinates: position x lands in bin trunc(x) for −1 < x < points,
  // as addResonance places a single line, so bin 0 takes (−1, 1).
  const double N = points_;
  if (c <= -1.0 || a >= N) return;
  if (c - a < 1e-9) {
    const double x = 0.5 * (a + c);
    if (x > -1.0 && x < N) addLine(static_cast<int>(x), mass, target);
    return;
  }
  // The share of the mass below x: the triangular density's distribution.
  const double rising = b > a ? 1.0 / ((c - a) * (b - a)) : 0.0;
  const double falling = c > b ? 1.0 / ((c - a) * (c - b)) : 0.0;
  auto below = [&](double x) {
    if (x <= a) return 0.0;
    if (x >= c) return 1.0;
    if (x < b) return (x - a) * (x - a) * rising;
    return 1.0 - (c - x) * (c - x) * falling;
  };
  const int first = a < 1.0 ? 0 : static_cast<int>(a);
  const int last = c >= N ? points_ - 1 : static_cast<int>(std::max(c, 0.0));
  // Bins wholly on the rising side [a, b] or the falling side [b, c] take
  // the difference of two squares directly; the bins around a, b and c the
  // difference of the distribution.
  const double from = std::max(a, -1.0), middle = std::clamp(b, -1.0, N), to = std::min(c, N);
  const int riseFrom = static_cast<int>(std::ceil(from)), riseTo = static_cast<int>(std::floor(middle)) - 1;
  const int fallFrom = static_cast<int>(std::ceil(middle)), fallTo = static_cast<int>(std::floor(to)) - 1;
  const double riseMass = mass * rising, fallMass = mass * falling;
  // The bins in order: edge bins, the rising run, edge bins, the falling
  // run, edge bins; the runs are plain loops the compiler vectorises.
  auto edge = [&](int k) { target[k] += mass * (below(k + 1.0) - below(k == 0 ? -1.0 : k)); };
  int k = first;
  const int riseLow = std::max({riseFrom, 1, first}), riseHigh = std::min(riseTo, last);
  if (riseLow <= riseHigh) {
    for (; k < riseLow; ++k) edge(k);
    for (; k <= riseHigh; ++k) target[k] += riseMass * (2.0 * (k - a) + 1.0);
  }
  const int fallLow = std::max({fallFrom, 1, k}), fallHigh = std::min(fallTo, last);
  if (fallLow <= fallHigh) {
    for (; k < fallLow; ++k) edge(k);
    for (; k <= fallHigh; ++k) target[k] += fallMass * (2.0 * (c - k) - 1.0);
  }
  for (; k <= last; ++k) edge(k);
  if (first < touchedLow_) touchedLow_ = first;
  if (last > touchedHigh_) touchedHigh_ = last;
}

void LinePlacer::addSpreadLines(const double* fields, const double* const* splittings, int corners,
                                double mass, double* target) {
  const int sets = static_cast<int>(shf_.size());
  for (int s = 0; s < sets; ++s) odometer_[s] = 0;
  for (;;) {
    double x[3] = {0.0, 0.0, 0.0};
    double multiplicity = 1.0;
    for (int v = 0; v < corners; ++v) {
      double shift = 0.0;
      for (int s = 0; s < sets; ++s) shift += shf_[s].M[odometer_[s]] * splittings[v][s];
      x[v] = (fields[v] + shift - fieldStart_) / fieldStep_ + 0.5;
    }
    for (int s = 0; s < sets; ++s) multiplicity *= shf_[s].multiplicity[odometer_[s]];
    if (x[1] < x[0]) std::swap(x[0], x[1]);
    if (corners == 3) {
      if (x[2] < x[1]) std::swap(x[1], x[2]);
      if (x[1] < x[0]) std::swap(x[0], x[1]);
      addSpread(x[0], x[1], x[2], multiplicity * mass, target);
    } else {
      // An even density on a segment is the mean of the two triangular
      // ones that peak at its ends.
      addSpread(x[0], x[1], x[1], 0.5 * multiplicity * mass, target);
      addSpread(x[0], x[0], x[1], 0.5 * multiplicity * mass, target);
    }

    int s = 0;
    while (s < sets && ++odometer_[s] == static_cast<int>(shf_[s].M.size())) {
      odometer_[s] = 0;
      ++s;
    }
    if (s == sets) break;
  }
}

}  // namespace quorra

// The spin Hamiltonian: constants, nuclear tables, the field-independent
// part H0 and the field-dependent part of a direction, its levels, and the
// operators dH/dB and I·n read from eigenvectors.

#include "engine/spin_hamiltonian.h"

#include <cmath>

namespace quorra {

namespace {
constexpr double kNuclearMagneton = 0.00050504;  // 1e-20 erg/G
constexpr double kBohrMagneton = 0.9274015;      // 1e-20 erg/G

// γ, the nuclear Zeeman factor in the energy unit per gauss, with the sign of
// the chosen convention.
double nuclearZeemanOf(const SolverParameters& p) {
  double gamma;
  if (p.model.constants == ConstantSet::Classic)
    gamma = 2 * p.nuclearMoment * kNuclearMagneton / (SpinHamiltonian::ge * kBohrMagneton * p.twoI);
  else
    gamma = 2 * p.nuclearMoment * physicalConstants(p.model.constants).nuclearPerBohr /
            (SpinHamiltonian::ge * p.twoI);
  return p.model.nuclearSign == NuclearZeemanSign::Physical ? -gamma : gamma;
}

// Re(conj(a)·z·b) for complex a, b, z given by parts.
inline double realOfProduct(double ar, double ai, double zr, double zi, double br, double bi) {
  const double pr = ar * br + ai * bi, pi = ar * bi - ai * br;  // conj(a)·b
  return zr * pr - zi * pi;
}
}  // namespace

SpinHamiltonian::SpinHamiltonian(const SolverParameters& parameters, MessageSink* failureSink)
    : p_(parameters),
      Axp_(parameters.gx * parameters.Ax / ge),
      Ayp_(parameters.gy * parameters.Ay / ge),
      Azp_(parameters.gz * parameters.Az / ge),
      nuclearZeeman_(nuclearZeemanOf(parameters)),
      twoI_(parameters.twoI),
      D_(2 * parameters.twoI + 2),
      NI_(parameters.twoI + 1),
      eigen_(2 * parameters.twoI + 2, failureSink) {
  const size_t dd = static_cast<size_t>(D_) * D_;
  block_.assign(5 * dd + static_cast<size_t>(D_), 0.0);
  double* next = block_.data();
  auto take = [&next](size_t count) {
    double* start = next;
    next += count;
    return start;
  };
  Hr_ = take(dd);
  Hi_ = take(dd);
  H0_ = take(dd);
  Vr_ = take(dd);
  Vi_ = take(dd);
  E_ = take(D_);

  // Nuclear tables, radicands in integers (doubled quantum numbers).
  lowerPart_.assign(NI_ + 1, 0.0);
  raisePart_.assign(NI_ + 1, 0.0);
  mValue_.assign(NI_, 0.0);
  quadDiag_.assign(NI_, 0.0);
  quadPair_.assign(NI_ + 1, 0.0);
  const int ii = twoI_ * (twoI_ + 2);  // 4·I(I+1)
  for (int k = 0; k < NI_; ++k) {
    const int m2 = twoI_ - 2 * k;  // 2m
    const int lowerRad = ii - m2 * (m2 - 2);
    const int raiseRad = ii - m2 * (m2 + 2);
    lowerPart_[k] = lowerRad > 0 ? 0.5 * std::sqrt(lowerRad / 4.0) : 0.0;
    raisePart_[k] = raiseRad > 0 ? 0.5 * std::sqrt(raiseRad / 4.0) : 0.0;
    mValue_[k] = m2 / 2.0;
    quadDiag_[k] = (m2 * m2) / 4;
  }
  for (int k = 0; k + 1 < NI_; ++k) quadPair_[k] = 2 * raisePart_[k] * raisePart_[k + 1];

  // H0: hyperfine and quadrupole terms, upper triangle.
  const int NI = NI_;
  auto h0 = [this](int row, int col) -> double& { return H0_[static_cast<size_t>(row) * D_ + col]; };
  for (int k = 0; k < NI; ++k) {
    const double m = mValue_[k];
    h0(k, k) = 0.5 * Azp_ * m + p_.P * quadDiag_[k];
    h0(NI + k, NI + k) = -0.5 * Azp_ * m + p_.P * quadDiag_[k];
    if (k + 1 < NI) h0(k, NI + k + 1) = 0.5 * (Axp_ - Ayp_) * raisePart_[k + 1];
    if (k > 0) h0(k, NI + k - 1) = 0.5 * (Axp_ + Ayp_) * lowerPart_[k - 1];
    if (k + 2 < NI) {
      h0(k, k + 2) = p_.Q * quadPair_[k + 1];
      h0(NI + k, NI + k + 2) = p_.Q * quadPair_[k + 1];
    }
  }
}

void SpinHamiltonian::setOrientation(double thetaDegrees, double phiDegrees) {
  const double toRadians = M_PI / 180.0;
  cosTheta_ = std::cos(thetaDegrees * toRadians);
  sinTheta_ = std::sin(thetaDegrees * toRadians);
  cosPhi_ = std::cos(phiDegrees * toRadians);
  sinPhi_ = std::sin(phiDegrees * toRadians);
  lx_ = sinTheta_ * cosPhi_;
  ly_ = sinTheta_ * sinPhi_;
  lz_ = cosTheta_;
  gEff_ = std::sqrt((p_.gx * lx_) * (p_.gx * lx_) + (p_.gy * ly_) * (p_.gy * ly_) +
                    (p_.gz * lz_) * (p_.gz * lz_));
  // M = dH/dB is the electron Zeeman term plus the nuclear one, which
  // commute: its eigenvalues are ±gEff/(2·ge) + γ·m.
  levelSpeed_ = 0.5 * gEff_ / ge + std::fabs(nuclearZeeman_) * 0.5 * twoI_;
}

void SpinHamiltonian::fieldPart(double B) {
  const double lx = lx_, ly = ly_, lz = lz_;
  const int D = D_, NI = NI_;
  for (int k = 0; k < D * D; ++k) Hr_[k] = Hi_[k] = 0.0;
  auto hr = [this, D](int row, int col) -> double& { return Hr_[row * D + col]; };
  auto hi = [this, D](int row, int col) -> double& { return Hi_[row * D + col]; };
  const double gamma = nuclearZeeman_;
  for (int k = 0; k < NI; ++k) {
    const double m = mValue_[k];
    // Electron Zeeman: Sz part, then ⟨+½, m|·|−½, m⟩ = ½(gx·lx − i·gy·ly)·B/ge.
    hr(k, k) = 0.5 * p_.gz * lz * B / ge;
    hr(NI + k, NI + k) = -0.5 * p_.gz * lz * B / ge;
    hr(k, NI + k) = 0.5 * p_.gx * lx * B / ge;
    hi(k, NI + k) = -0.5 * p_.gy * ly * B / ge;
    // Nuclear Zeeman, the same sign in both electron-spin halves.
    hr(k, k) += gamma * lz * B * m;
    hr(NI + k, NI + k) += gamma * lz * B * m;
    if (k + 1 < NI) {
      hr(k, k + 1) += gamma * lx * B * raisePart_[k + 1];
      hi(k, k + 1) += -gamma * ly * B * raisePart_[k + 1];
      hr(NI + k, NI + k + 1) += gamma * lx * B * raisePart_[k + 1];
      hi(NI + k, NI + k + 1) += -gamma * ly * B * raisePart_[k + 1];
    }
  }
}

void SpinHamiltonian::hamiltonianAt(double B) {
  fieldPart(B);
  const int D = D_;
  for (int i = 0; i < D; ++i)
    for (int j = i; j < D; ++j) Hr_[i * D + j] += H0_[i * D + j];
  for (int i = 0; i < D; ++i)
    for (int j = i + 1; j < D; ++j) {
      Hr_[j * D + i] = Hr_[i * D + j];
      Hi_[j * D + i] = -Hi_[i * D + j];
    }
}

int SpinHamiltonian::levelsAt(double B, bool wantVectors) {
  hamiltonianAt(B);
  return eigen_.diagonalize(Hr_, Hi_, E_, Vr_, Vi_, wantVectors);
}

double SpinHamiltonian::levelSlope(const double* vectorsReal, const double* vectorsImag, int j) const {
  // dH/dB: the electron Zeeman term over ge and the nuclear one (γ), as
  // fieldMatrix builds them at B = 1.
  const int D = D_, NI = NI_;
  auto vr = [&](int k) { return vectorsReal[k * D + j]; };
  auto vi = [&](int k) { return vectorsImag[k * D + j]; };
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

double SpinHamiltonian::nuclearProjection(const double* vectorsReal, const double* vectorsImag,
                                          const double* n, int j) const {
  const int D = D_, NI = NI_;
  auto vr = [&](int k) { return vectorsReal[k * D + j]; };
  auto vi = [&](int k) { return vectorsImag[k * D + j]; };
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

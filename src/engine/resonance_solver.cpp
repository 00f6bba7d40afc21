// Construction of the solver: constants, nuclear tables, the
// field-independent Hamiltonian H0 and the field-dependent part.

#include "engine/resonance_solver.h"

#include <cmath>

#include "engine/fast_resonance_search.h"

namespace quorra {

namespace {
constexpr double kFieldPerFrequency = 714.468;   // G/GHz: h/β·1e9
constexpr double kNuclearMagneton = 0.00050504;  // 1e-20 erg/G
constexpr double kBohrMagneton = 0.9274015;      // 1e-20 erg/G
}  // namespace

namespace {
// hν in the energy unit: the classic constant as the classic program has it,
// or the chosen set's.
double quantumOf(const SolverParameters& p) {
  if (p.model.constants == ConstantSet::Classic)
    return p.frequency * kFieldPerFrequency / ResonanceSolver::ge;
  return p.frequency * physicalConstants(p.model.constants).fieldPerFrequency / ResonanceSolver::ge;
}

// γ, the nuclear Zeeman factor in the energy unit per gauss, with the sign of
// the chosen convention.
double nuclearZeemanOf(const SolverParameters& p) {
  double gamma;
  if (p.model.constants == ConstantSet::Classic)
    gamma = 2 * p.nuclearMoment * kNuclearMagneton / (ResonanceSolver::ge * kBohrMagneton * p.twoI);
  else
    gamma = 2 * p.nuclearMoment * physicalConstants(p.model.constants).nuclearPerBohr /
            (ResonanceSolver::ge * p.twoI);
  return p.model.nuclearSign == NuclearZeemanSign::Physical ? -gamma : gamma;
}
}  // namespace

ResonanceSolver::ResonanceSolver(const std::string& shfText, const SolverParameters& parameters,
                                 double fieldCentre, double fieldRange, int points, MessageSink* failureSink)
    : p_(parameters),
      quantum_(quantumOf(parameters)),
      fieldStart_(fieldCentre - fieldRange / 2),
      fieldRange_(fieldRange),
      Axp_(parameters.gx * parameters.Ax / ge),
      Ayp_(parameters.gy * parameters.Ay / ge),
      Azp_(parameters.gz * parameters.Az / ge),
      nuclearZeeman_(nuclearZeemanOf(parameters)),
      twoI_(parameters.twoI),
      D_(2 * parameters.twoI + 2),
      NI_(parameters.twoI + 1),
      eigen_(2 * parameters.twoI + 2, failureSink),
      levels_(D_, fieldStart_, fieldRange_),
      lines_(shfText, parameters, fieldStart_, fieldRange, points) {
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

  resonanceFields_.assign(kMaxResonances, 0.0);
  transitions_.assign(kMaxTransitions, Transition{});
  pairP_.assign(kMaxTransitions, 0);
  pairQ_.assign(kMaxTransitions, 0);

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

void ResonanceSolver::setOrientation(double thetaDegrees, double phiDegrees) {
  const double toRadians = M_PI / 180.0;
  cosTheta_ = std::cos(thetaDegrees * toRadians);
  sinTheta_ = std::sin(thetaDegrees * toRadians);
  cosPhi_ = std::cos(phiDegrees * toRadians);
  sinPhi_ = std::sin(phiDegrees * toRadians);
  lx_ = sinTheta_ * cosPhi_;
  ly_ = sinTheta_ * sinPhi_;
  lz_ = cosTheta_;
}

void ResonanceSolver::fieldMatrix(double B, double lx, double ly, double lz) {
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

void ResonanceSolver::hamiltonianAt(double B) {
  fieldMatrix(B, lx_, ly_, lz_);
  const int D = D_;
  for (int i = 0; i < D; ++i)
    for (int j = i; j < D; ++j) Hr_[i * D + j] += H0_[i * D + j];
  for (int i = 0; i < D; ++i)
    for (int j = i + 1; j < D; ++j) {
      Hr_[j * D + i] = Hr_[i * D + j];
      Hi_[j * D + i] = -Hi_[i * D + j];
    }
}

int ResonanceSolver::levelsAt(double B, bool wantVectors) {
  hamiltonianAt(B);
  return eigen_.diagonalize(Hr_, Hi_, E_, Vr_, Vi_, wantVectors);
}

}  // namespace quorra

#include "engine/spin_hamiltonian.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <utility>
#include <vector>

#include "engine/hermitian_eigen_solver.h"

namespace quorra {
namespace {

using cd = std::complex<double>;
constexpr double ge = 2.0023;

// The spin Hamiltonian built independently from spin matrices (Kronecker
// products), in the basis |MS, m⟩ with MS = +½ first and m descending.
std::vector<cd> referenceHamiltonian(const SolverParameters& p, double B, double theta, double phi) {
  const int nI = p.twoI + 1, D = 2 * nI;
  const double I = p.twoI / 2.0;
  auto mOf = [I](int k) { return I - k; };
  std::vector<cd> Ix(nI * nI), Iy(nI * nI), Iz(nI * nI);
  for (int r = 0; r < nI; ++r) {
    Iz[r * nI + r] = mOf(r);
    if (r + 1 < nI) {  // ⟨m|I+|m−1⟩
      const double m = mOf(r);
      const double plus = std::sqrt(I * (I + 1) - m * (m - 1));
      Ix[r * nI + r + 1] = Ix[(r + 1) * nI + r] = plus / 2;
      Iy[r * nI + r + 1] = cd(0, -plus / 2);
      Iy[(r + 1) * nI + r] = cd(0, plus / 2);
    }
  }
  const cd Sx[4] = {0, 0.5, 0.5, 0}, Sy[4] = {0, cd(0, -0.5), cd(0, 0.5), 0}, Sz[4] = {0.5, 0, 0, -0.5};
  const cd S1[4] = {1, 0, 0, 1};
  std::vector<cd> one(nI * nI);
  for (int r = 0; r < nI; ++r) one[r * nI + r] = 1;
  auto kron = [&](const cd* s, const std::vector<cd>& n) {
    std::vector<cd> out(D * D);
    for (int a = 0; a < 2; ++a)
      for (int b = 0; b < 2; ++b)
        for (int r = 0; r < nI; ++r)
          for (int c = 0; c < nI; ++c) out[(a * nI + r) * D + b * nI + c] = s[a * 2 + b] * n[r * nI + c];
    return out;
  };
  auto mul = [&](const std::vector<cd>& x, const std::vector<cd>& y) {
    std::vector<cd> out(nI * nI);
    for (int r = 0; r < nI; ++r)
      for (int c = 0; c < nI; ++c)
        for (int k = 0; k < nI; ++k) out[r * nI + c] += x[r * nI + k] * y[k * nI + c];
    return out;
  };
  const double lx = std::sin(theta) * std::cos(phi), ly = std::sin(theta) * std::sin(phi),
               lz = std::cos(theta);
  const double gamma = 2 * p.nuclearMoment * 0.00050504 / (ge * 0.9274015 * p.twoI);
  // Iz² shifted by ¼ for half-integer spins (a constant the program drops).
  std::vector<cd> Iz2 = mul(Iz, Iz);
  if (p.twoI % 2 == 1)
    for (int r = 0; r < nI; ++r) Iz2[r * nI + r] -= 0.25;
  const std::vector<cd> IxIx = mul(Ix, Ix), IyIy = mul(Iy, Iy);
  std::vector<cd> H(D * D);
  auto add = [&](const std::vector<cd>& term, double factor) {
    for (int k = 0; k < D * D; ++k) H[k] += factor * term[k];
  };
  add(kron(Sx, one), p.gx * lx * B / ge);
  add(kron(Sy, one), p.gy * ly * B / ge);
  add(kron(Sz, one), p.gz * lz * B / ge);
  add(kron(Sx, Ix), p.gx * p.Ax / ge);
  add(kron(Sy, Iy), p.gy * p.Ay / ge);
  add(kron(Sz, Iz), p.gz * p.Az / ge);
  add(kron(S1, Iz2), p.P);
  add(kron(S1, IxIx), p.Q);
  add(kron(S1, IyIy), -p.Q);
  add(kron(S1, Ix), gamma * B * lx);
  add(kron(S1, Iy), gamma * B * ly);
  add(kron(S1, Iz), gamma * B * lz);
  return H;
}

// A system without symmetry, every term of the Hamiltonian present.
SolverParameters lowSymmetry(int twoI, double nuclearMoment) {
  SolverParameters p;
  p.gx = 2.01;
  p.gy = 2.07;
  p.gz = 2.31;
  p.Ax = 17;
  p.Ay = -44;
  p.Az = 151;
  p.P = 3.5;
  p.Q = -1.25;
  p.nuclearMoment = nuclearMoment;
  p.twoI = twoI;
  return p;
}

TEST(SpinHamiltonian, EqualsTheSpinOperatorSum) {
  for (int twoI : {1, 2, 3, 5, 7, 14}) {
    const SolverParameters p = lowSymmetry(twoI, 3.1);
    SpinHamiltonian h(p, nullptr);
    h.setOrientation(37.0, 61.0);
    const double B = 3217.0;
    h.hamiltonianAt(B);
    const auto H = referenceHamiltonian(p, B, 37.0 * M_PI / 180, 61.0 * M_PI / 180);
    const int D = h.dimension();
    ASSERT_EQ(D, 2 * twoI + 2);
    for (int r = 0; r < D; ++r)
      for (int c = 0; c < D; ++c) {
        EXPECT_NEAR(h.hr()[r * D + c], H[r * D + c].real(), 1e-9) << twoI << ":" << r << "," << c;
        EXPECT_NEAR(h.hi()[r * D + c], H[r * D + c].imag(), 1e-9) << twoI << ":" << r << "," << c;
      }
  }
}

TEST(SpinHamiltonian, LevelSpeedIsTheFieldMatrixsLargestEigenvalue) {
  // The fast engine bounds how far levels move between two fields by it.
  for (int twoI : {1, 3, 7, 14}) {
    SpinHamiltonian h(lowSymmetry(twoI, -3.1), nullptr);
    const int D = h.dimension();
    std::vector<double> m(D * D), mi(D * D), values(D), vr(D * D), vi(D * D);
    HermitianEigenSolver eigen(D);
    for (auto [theta, phi] : {std::pair{0.0, 0.0}, {37.0, 61.0}, {90.0, 200.0}, {151.0, 333.0}}) {
      h.setOrientation(theta, phi);
      h.hamiltonianAt(1.0);
      for (int k = 0; k < D * D; ++k) {
        m[k] = h.hr()[k];
        mi[k] = h.hi()[k];
      }
      h.hamiltonianAt(0.0);
      for (int k = 0; k < D * D; ++k) {
        m[k] -= h.hr()[k];
        mi[k] -= h.hi()[k];
      }
      ASSERT_EQ(eigen.diagonalize(m.data(), mi.data(), values.data(), vr.data(), vi.data(), false), 1);
      EXPECT_NEAR(values[0], h.levelSpeed(), 1e-12) << twoI << " at " << theta << ", " << phi;
      EXPECT_NEAR(values[D - 1], -h.levelSpeed(), 1e-12) << twoI << " at " << theta << ", " << phi;
    }
  }
}

}  // namespace
}  // namespace quorra

#include "engine/hermitian_eigen_solver.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <random>
#include <vector>

#include "support/scripted_ui.h"

namespace quorra {
namespace {

using cd = std::complex<double>;

struct Hermitian {
  int n;
  std::vector<double> re, im;
  explicit Hermitian(int size) : n(size), re(size * size), im(size * size) {}
  void set(int r, int c, cd value) {
    re[r * n + c] = value.real();
    im[r * n + c] = value.imag();
    re[c * n + r] = value.real();
    im[c * n + r] = -value.imag();
  }
  cd at(int r, int c) const { return {re[r * n + c], im[r * n + c]}; }
};

Hermitian randomHermitian(int n, std::mt19937& rng) {
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  Hermitian h(n);
  for (int r = 0; r < n; ++r) {
    h.set(r, r, {u(rng), 0.0});
    for (int c = r + 1; c < n; ++c) h.set(r, c, {u(rng), u(rng)});
  }
  return h;
}

struct Result {
  int status;
  std::vector<double> e, vr, vi;
};

Result solve(const Hermitian& h, bool vectors, MessageSink* sink = nullptr) {
  HermitianEigenSolver solver(h.n, sink);
  Result r{0, std::vector<double>(h.n), std::vector<double>(h.n * h.n), std::vector<double>(h.n * h.n)};
  std::vector<double> re = h.re, im = h.im;
  r.status = solver.diagonalize(re.data(), im.data(), r.e.data(), r.vr.data(), r.vi.data(), vectors);
  return r;
}

cd vec(const Result& r, int n, int k, int j) {
  return {r.vr[k * n + j], r.vi[k * n + j]};
}

TEST(HermitianEigenSolver, RandomMatricesGiveEigenpairsAtRoundingLevel) {
  std::mt19937 rng(12345);
  for (int n = 1; n <= 30; ++n) {
    for (int trial = 0; trial < 3; ++trial) {
      const Hermitian h = randomHermitian(n, rng);
      const Result with = solve(h, true);
      const Result without = solve(h, false);
      ASSERT_EQ(with.status, 1);
      // The values do not depend on whether vectors are wanted, bit for bit.
      EXPECT_EQ(with.e, without.e) << "n=" << n;
      for (int j = 0; j + 1 < n; ++j) EXPECT_GE(with.e[j], with.e[j + 1]);
      const double tolerance = 1e-13 * n;
      for (int j = 0; j < n; ++j) {
        double residual = 0;
        for (int r = 0; r < n; ++r) {
          cd hv = 0;
          for (int c = 0; c < n; ++c) hv += h.at(r, c) * vec(with, n, c, j);
          residual = std::max(residual, std::abs(hv - with.e[j] * vec(with, n, r, j)));
        }
        EXPECT_LT(residual, tolerance) << "n=" << n << " column " << j;
        for (int i = 0; i <= j; ++i) {
          cd dot = 0;
          for (int k = 0; k < n; ++k) dot += std::conj(vec(with, n, k, i)) * vec(with, n, k, j);
          EXPECT_NEAR(std::abs(dot - cd(i == j ? 1.0 : 0.0)), 0.0, tolerance) << "n=" << n;
        }
      }
    }
  }
}

TEST(HermitianEigenSolver, DiagonalAndTrivialInputs) {
  // n = 1: the element itself, the unit vector.
  Hermitian one(1);
  one.set(0, 0, {-2.5, 0});
  Result r = solve(one, true);
  EXPECT_EQ(r.e[0], -2.5);
  EXPECT_EQ(r.vr[0], 1.0);
  EXPECT_EQ(r.vi[0], 0.0);

  // A real diagonal matrix comes back sorted, vectors permuted unit vectors;
  // equal values keep their positions' order (index 1 before index 2).
  Hermitian diag(4);
  const double values[] = {1.0, 3.0, 3.0, 2.0};
  for (int k = 0; k < 4; ++k) diag.set(k, k, {values[k], 0});
  r = solve(diag, true);
  EXPECT_EQ(r.e, (std::vector<double>{3.0, 3.0, 2.0, 1.0}));
  const int expectedRow[] = {1, 2, 3, 0};
  for (int j = 0; j < 4; ++j)
    for (int k = 0; k < 4; ++k) {
      EXPECT_EQ(std::abs(vec(r, 4, k, j)), k == expectedRow[j] ? 1.0 : 0.0) << j << "," << k;
    }

  // A purely imaginary coupling: the values of the real matrix with its
  // modulus, vectors carrying the phase.
  Hermitian complexPair(2), realPair(2);
  complexPair.set(0, 0, {1, 0});
  complexPair.set(1, 1, {-1, 0});
  complexPair.set(0, 1, {0, 0.5});
  realPair.set(0, 0, {1, 0});
  realPair.set(1, 1, {-1, 0});
  realPair.set(0, 1, {0.5, 0});
  const Result c = solve(complexPair, true), re = solve(realPair, true);
  EXPECT_NEAR(c.e[0], re.e[0], 1e-15);
  EXPECT_NEAR(c.e[1], re.e[1], 1e-15);
  EXPECT_NEAR(c.e[0], std::sqrt(1.25), 1e-15);
  const cd ratio = vec(c, 2, 1, 0) / vec(c, 2, 0, 0);  // second over first component
  EXPECT_NEAR(ratio.real(), 0.0, 1e-15);
  EXPECT_NEAR(ratio.imag(), -(std::sqrt(1.25) - 1) / 0.5, 1e-14);
}

TEST(HermitianEigenSolver, RepeatedEigenvaluesStayOrthonormal) {
  // U·diag(2, 2, 2, −1, −1)·Uᴴ with a random unitary U from a Hermitian's vectors.
  std::mt19937 rng(7);
  const int n = 5;
  const Result basis = solve(randomHermitian(n, rng), true);
  const double lambda[] = {2, 2, 2, -1, -1};
  Hermitian h(n);
  for (int r = 0; r < n; ++r)
    for (int c = r; c < n; ++c) {
      cd sum = 0;
      for (int k = 0; k < n; ++k) sum += vec(basis, n, r, k) * lambda[k] * std::conj(vec(basis, n, c, k));
      h.set(r, c, r == c ? cd(sum.real(), 0) : sum);
    }
  const Result r = solve(h, true);
  for (int j = 0; j < n; ++j) EXPECT_NEAR(r.e[j], lambda[j], 1e-14);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) {
      cd dot = 0;
      for (int k = 0; k < n; ++k) dot += std::conj(vec(r, n, k, i)) * vec(r, n, k, j);
      EXPECT_NEAR(std::abs(dot - cd(i == j)), 0.0, 1e-13);
    }
}

TEST(HermitianEigenSolver, NonConvergenceIsReportedThroughTheSeam) {
  testing::ScriptedUserInterface ui;
  Hermitian h(3);
  h.set(0, 0, {1, 0});
  h.set(1, 1, {std::nan(""), 0});
  h.set(2, 2, {3, 0});
  h.set(0, 1, {0.5, 0});
  h.set(1, 2, {0.5, 0});
  const Result r = solve(h, true, &ui);
  EXPECT_EQ(r.status, 0);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, "Diagonalization failed");
  EXPECT_EQ(ui.messages[0].title, "ERROR");
  EXPECT_EQ(ui.messages[0].icon, MessageIcon::Stop);
}

}  // namespace
}  // namespace quorra

#include "engine/batch_eigen_solver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <random>
#include <vector>

#include "engine/hermitian_eigen_solver.h"
#include "support/scripted_ui.h"

namespace quorra {
namespace {

using cd = std::complex<double>;
constexpr int L = BatchEigenSolver::kLanes;

// Random Hermitian matrices, full storage, row-major.
struct Dense {
  std::vector<double> re, im;
};

Dense randomHermitian(int n, std::mt19937& rng, bool real = false) {
  std::uniform_real_distribution<double> u(-1, 1);
  Dense h{std::vector<double>(n * n), std::vector<double>(n * n)};
  for (int r = 0; r < n; ++r)
    for (int c = r; c < n; ++c) {
      h.re[r * n + c] = h.re[c * n + r] = u(rng);
      h.im[r * n + c] = (r == c || real) ? 0.0 : u(rng);
      h.im[c * n + r] = -h.im[r * n + c];
    }
  return h;
}

TEST(BatchEigenSolver, AgreesWithTheReferenceSolverOnEveryLane) {
  std::mt19937 rng(99);
  std::printf("batch kernel: %s\n", BatchEigenSolver::instructionSet());
  for (int n = 1; n <= 30; ++n) {
    for (int lanes : {L, 3}) {
      BatchEigenSolver batch(n);
      std::vector<Dense> inputs;
      for (int l = 0; l < lanes; ++l) {
        inputs.push_back(randomHermitian(n, rng, l == 1));
        for (int r = 0; r < n; ++r)
          for (int c = r; c < n; ++c) {
            batch.matrixReal()[BatchEigenSolver::at(n, r, c, l)] = inputs[l].re[r * n + c];
            batch.matrixImag()[BatchEigenSolver::at(n, r, c, l)] = inputs[l].im[r * n + c];
          }
      }
      ASSERT_EQ(batch.diagonalize(lanes, true), 0);
      HermitianEigenSolver reference(n);
      for (int l = 0; l < lanes; ++l) {
        Dense copy = inputs[l];
        std::vector<double> e(n);
        reference.diagonalize(copy.re.data(), copy.im.data(), e.data(), nullptr, nullptr, false);
        for (int j = 0; j < n; ++j) {
          const double value = batch.values()[j * L + l];
          EXPECT_NEAR(value, e[j], 1e-13 * n) << "n=" << n << " lane " << l << " j " << j;
          // H·v = λ·v and unit norm.
          double residual = 0, norm = 0;
          for (int r = 0; r < n; ++r) {
            cd hv = 0;
            for (int c = 0; c < n; ++c)
              hv += cd(inputs[l].re[r * n + c], inputs[l].im[r * n + c]) *
                    cd(batch.vectorsReal()[(c * n + j) * L + l], batch.vectorsImag()[(c * n + j) * L + l]);
            const cd v(batch.vectorsReal()[(r * n + j) * L + l], batch.vectorsImag()[(r * n + j) * L + l]);
            residual = std::max(residual, std::abs(hv - value * v));
            norm += std::norm(v);
          }
          EXPECT_LT(residual, 1e-13 * n) << "n=" << n << " lane " << l;
          EXPECT_NEAR(norm, 1.0, 1e-13 * n);
        }
      }
      // Values alone, and values with deferred vectors, are the same numbers
      // as with vectors; a deferred vector is the one computed with all of
      // them, to rounding and a unit factor.
      BatchEigenSolver valuesOnly(n), deferred(n);
      for (BatchEigenSolver* solver : {&valuesOnly, &deferred})
        for (int l = 0; l < lanes; ++l)
          for (int r = 0; r < n; ++r)
            for (int c = r; c < n; ++c) {
              solver->matrixReal()[BatchEigenSolver::at(n, r, c, l)] = inputs[l].re[r * n + c];
              solver->matrixImag()[BatchEigenSolver::at(n, r, c, l)] = inputs[l].im[r * n + c];
            }
      valuesOnly.diagonalize(lanes, false);
      deferred.diagonalizeDeferred(lanes);
      for (int k = 0; k < n * L; ++k) {
        if (k % L < lanes) {
          EXPECT_EQ(valuesOnly.values()[k], batch.values()[k]);
          EXPECT_EQ(deferred.values()[k], batch.values()[k]);
        }
      }
      for (int l = 0; l < lanes; ++l) {
        std::vector<int> columns;  // every other column, from the last
        for (int j = n - 1; j >= 0; j -= 2) columns.push_back(j);
        deferred.computeVectors(l, columns.data(), static_cast<int>(columns.size()));
        for (int j : columns) {
          // The same vector up to a unit factor: |⟨v, w⟩| = 1.
          cd overlap = 0;
          for (int k = 0; k < n; ++k) {
            const size_t at = (static_cast<size_t>(k) * n + j) * L + l;
            overlap += std::conj(cd(batch.vectorsReal()[at], batch.vectorsImag()[at])) *
                       cd(deferred.vectorsReal()[at], deferred.vectorsImag()[at]);
          }
          EXPECT_NEAR(std::abs(overlap), 1.0, 1e-12 * n) << "n=" << n << " j " << j;
        }
      }
    }
  }
}

// A degenerate pair asked for together gets two orthonormal vectors of its
// space; a lone value, its own vector.
TEST(BatchEigenSolver, DeferredVectorsOfADegeneratePairSpanItsSpace) {
  const int n = 6;
  std::mt19937 rng(5);
  // U·diag(λ)·Uᴴ with λ = 4, 1, 1, 0.5, −2, −3: a random unitary U from the
  // eigenvectors of a random Hermitian matrix.
  const Dense h = randomHermitian(n, rng);
  HermitianEigenSolver reference(n);
  Dense copy = h;
  std::vector<double> e(n), ur(n * n), ui(n * n);
  reference.diagonalize(copy.re.data(), copy.im.data(), e.data(), ur.data(), ui.data(), true);
  const double lambda[n] = {4, 1, 1, 0.5, -2, -3};
  BatchEigenSolver batch(n);
  for (int r = 0; r < n; ++r)
    for (int c = r; c < n; ++c) {
      cd sum = 0;
      for (int k = 0; k < n; ++k)
        sum += cd(ur[r * n + k], ui[r * n + k]) * lambda[k] * std::conj(cd(ur[c * n + k], ui[c * n + k]));
      for (int l = 0; l < L; ++l) {
        batch.matrixReal()[BatchEigenSolver::at(n, r, c, l)] = sum.real();
        batch.matrixImag()[BatchEigenSolver::at(n, r, c, l)] = r == c ? 0.0 : sum.imag();
      }
    }
  batch.diagonalizeDeferred(L);
  const int levels[] = {0, 1, 2};
  batch.computeVectors(3, levels, 3);
  auto vector = [&](int j, int k) {
    const size_t at = (static_cast<size_t>(k) * n + j) * L + 3;
    return cd(batch.vectorsReal()[at], batch.vectorsImag()[at]);
  };
  for (int a = 0; a < 3; ++a) {
    for (int b = 0; b < 3; ++b) {
      cd dot = 0;
      for (int k = 0; k < n; ++k) dot += std::conj(vector(a, k)) * vector(b, k);
      EXPECT_NEAR(std::abs(dot), a == b ? 1.0 : 0.0, 1e-12) << a << "," << b;
    }
    // Each is an eigenvector of its value: its share in the eigenvectors of
    // the other values is nil.
    for (int k = 0; k < n; ++k) {
      if (std::abs(lambda[k] - batch.values()[a * L + 3]) < 1e-9) continue;
      cd share = 0;
      for (int r = 0; r < n; ++r) share += std::conj(cd(ur[r * n + k], ui[r * n + k])) * vector(a, r);
      EXPECT_NEAR(std::abs(share), 0.0, 1e-12) << a << " against " << k;
    }
  }
}

// Values found by Newton's method from estimates are the QL's to rounding,
// whether the estimates are close, far off or in the wrong order, when
// eigenvalues are equal (the QL takes such lanes), and at any scale.
TEST(BatchEigenSolver, ValuesFromEstimatesAreTheQLValuesWhateverTheEstimates) {
  testing::ScriptedUserInterface ui;
  std::mt19937 rng(11);
  std::uniform_real_distribution<double> u(-1, 1);
  double worst = 0;
  for (int n : {1, 2, 3, 8, 16, 30}) {
    std::vector<Dense> inputs;
    for (int l = 0; l < L; ++l) inputs.push_back(randomHermitian(n, rng, l == 2));
    // Lanes 3 and 4 at the ends of the exponent range, where the determinants
    // of the unscaled matrices would overflow or underflow.
    const double scale[L] = {1, 1, 1, 3.7e150, 2.9e-150, 1, 1, 1};
    for (int l : {3, 4})
      for (int k = 0; k < n * n; ++k) {
        inputs[l].re[k] *= scale[l];
        inputs[l].im[k] *= scale[l];
      }
    // Lane 6: eigenvalue 0.25 twice (a repeated diagonal with no couplings);
    // lane 7: a NaN, which no method can diagonalise.
    for (int k = 0; k < n * n; ++k) inputs[6].re[k] = inputs[6].im[k] = 0.0;
    for (int k = 0; k < n; ++k) inputs[6].re[k * n + k] = k < 2 ? 0.25 : 0.5 + k;
    inputs[7].re[0] = std::nan("");
    BatchEigenSolver qlSolver(n, &ui), newtonSolver(n, &ui);
    auto load = [&](BatchEigenSolver& solver) {
      for (int l = 0; l < L; ++l)
        for (int r = 0; r < n; ++r)
          for (int c = r; c < n; ++c) {
            solver.matrixReal()[BatchEigenSolver::at(n, r, c, l)] = inputs[l].re[r * n + c];
            solver.matrixImag()[BatchEigenSolver::at(n, r, c, l)] = inputs[l].im[r * n + c];
          }
    };
    load(qlSolver);
    EXPECT_EQ(qlSolver.diagonalize(L, false), n > 1 ? 1 : 0);
    for (int kind = 0; kind < 4; ++kind) {
      for (int j = 0; j < n; ++j)
        for (int l = 0; l < L; ++l) {
          const double exact = qlSolver.values()[j * L + l];
          const double estimate[] = {exact + 1e-5 * scale[l] * u(rng), 0.0,
                                     qlSolver.values()[(n - 1 - j) * L + l], 3 * scale[l] * u(rng)};
          newtonSolver.estimates()[j * L + l] = estimate[kind];
        }
      load(newtonSolver);
      const int failures =
          kind % 2 ? newtonSolver.diagonalizeDeferred(L, true) : newtonSolver.diagonalize(L, false, true);
      EXPECT_EQ(failures, n > 1 ? 1 : 0) << n << " " << kind;
      for (int l = 0; l < 7; ++l)
        for (int j = 0; j < n; ++j) {
          const double difference =
              std::fabs(newtonSolver.values()[j * L + l] - qlSolver.values()[j * L + l]) / scale[l];
          worst = std::max(worst, difference);
          EXPECT_LE(difference, 1e-13 * n)
              << "n " << n << " kind " << kind << " lane " << l << " value " << j;
        }
    }
  }
  std::printf("values from estimates: worst difference from the QL %.2g\n", worst);
}

// A banded matrix reduced by rotations: the values are the reference
// solver's, and each deferred vector satisfies A·v = λ·v with |v| = 1 (also
// in a degenerate pair), for every bandwidth the engine uses and every
// dimension up to the largest.
TEST(BatchEigenSolver, BandReductionGivesTheReferenceValuesAndTrueVectors) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> u(-1, 1);
  double worstValue = 0, worstResidual = 0;
  for (int n : {2, 3, 4, 5, 8, 16, 30}) {
    for (int b : {1, 2, 3, 4}) {
      BatchEigenSolver band(n);
      band.setBandwidth(b);
      std::vector<Dense> inputs;
      for (int l = 0; l < L; ++l) {
        Dense h = randomHermitian(n, rng, l == 1);
        for (int r = 0; r < n; ++r)
          for (int c = 0; c < n; ++c)
            if (std::abs(r - c) > b) h.re[r * n + c] = h.im[r * n + c] = 0.0;
        // Lane 2 has a zero inside its band; lane 3 the value 1 twice (its
        // vectors come from the reference solver on the tridiagonal matrix).
        if (l == 2 && n > 2) h.re[1] = h.im[1] = h.re[n] = h.im[n] = 0.0;
        if (l == 3) {
          for (int k = 0; k < n * n; ++k) h.re[k] = h.im[k] = 0.0;
          for (int k = 0; k < n; ++k) h.re[k * n + k] = k < 2 ? 1.0 : k + 0.5;
          if (n > 3) {
            h.re[2 * n + 3] = h.re[3 * n + 2] = 0.3;
            h.im[2 * n + 3] = 0.2;
            h.im[3 * n + 2] = -0.2;
          }
        }
        inputs.push_back(h);
      }
      auto loadBand = [&] {
        for (int l = 0; l < L; ++l)
          for (int r = 0; r < n; ++r)
            for (int c = r; c < n && c <= r + b; ++c) {
              band.matrixReal()[band.place(r, c) + l] = inputs[l].re[r * n + c];
              band.matrixImag()[band.place(r, c) + l] = inputs[l].im[r * n + c];
            }
      };
      loadBand();
      ASSERT_EQ(band.diagonalizeDeferred(L), 0);
      HermitianEigenSolver reference(n);
      for (int l = 0; l < L; ++l) {
        Dense copy = inputs[l];
        std::vector<double> e(n), vr(n * n), vi(n * n);
        reference.diagonalize(copy.re.data(), copy.im.data(), e.data(), vr.data(), vi.data(), false);
        for (int j = 0; j < n; ++j) {
          const double difference = std::fabs(band.values()[j * L + l] - e[j]);
          worstValue = std::max(worstValue, difference);
          EXPECT_LE(difference, 1e-13 * n) << "n " << n << " b " << b << " lane " << l;
        }
        std::vector<int> levels(n);
        for (int j = 0; j < n; ++j) levels[j] = j;
        band.computeVectors(l, levels.data(), n);
        for (int j = 0; j < n; ++j) {
          double length = 0, residual = 0;
          for (int r = 0; r < n; ++r) {
            cd sum = 0;
            for (int c = 0; c < n; ++c) {
              const size_t at = (static_cast<size_t>(c) * n + j) * L + l;
              sum += cd(inputs[l].re[r * n + c], inputs[l].im[r * n + c]) *
                     cd(band.vectorsReal()[at], band.vectorsImag()[at]);
            }
            const size_t at = (static_cast<size_t>(r) * n + j) * L + l;
            const cd v(band.vectorsReal()[at], band.vectorsImag()[at]);
            residual += std::norm(sum - band.values()[j * L + l] * v);
            length += std::norm(v);
          }
          worstResidual = std::max(worstResidual, std::sqrt(residual));
          EXPECT_NEAR(length, 1.0, 1e-12 * n);
          EXPECT_LE(std::sqrt(residual), 1e-12 * n)
              << "n " << n << " b " << b << " lane " << l << " vector " << j;
        }
      }
      // All vectors at once go the dense way, the band spread out first.
      const std::vector<double> deferredValues(band.values(), band.values() + n * L);
      loadBand();
      ASSERT_EQ(band.diagonalize(L, true), 0);
      for (int k = 0; k < n * L; ++k)
        EXPECT_NEAR(band.values()[k], deferredValues[k], 1e-13 * n) << n << " " << b;
    }
  }
  std::printf("band reduction: worst value difference %.2g, worst residual %.2g\n", worstValue,
              worstResidual);
}

TEST(BatchEigenSolver, BandEigenpairsNearShiftsWithAnHonestResidual) {
  // Good shifts give the eigenpairs to rounding; a shift halfway between
  // two values gives something less, but the residual says how much, and
  // an eigenvalue lies within it. The lanes' input is left as it was.
  std::mt19937 rng(11);
  for (int n : {2, 3, 8, 16, 30}) {
    for (int b : {1, 3, 4}) {
      if (b > n - 1) continue;
      BatchEigenSolver band(n);
      band.setBandwidth(b);
      constexpr int lanes = 5;
      std::vector<Dense> inputs;
      double shifts[2 * L] = {};
      std::vector<std::vector<double>> eigenvalues;
      HermitianEigenSolver reference(n);
      for (int l = 0; l < lanes; ++l) {
        Dense h = randomHermitian(n, rng, l == 1);
        for (int r = 0; r < n; ++r)
          for (int c = 0; c < n; ++c)
            if (std::abs(r - c) > b) h.re[r * n + c] = h.im[r * n + c] = 0.0;
        for (int r = 0; r < n; ++r)
          for (int c = r; c <= r + b && c < n; ++c) {
            band.matrixReal()[band.place(r, c) + l] = h.re[r * n + c];
            band.matrixImag()[band.place(r, c) + l] = h.im[r * n + c];
          }
        Dense copy = h;
        std::vector<double> e(n), vr(n * n), vi(n * n);
        reference.diagonalize(copy.re.data(), copy.im.data(), e.data(), vr.data(), vi.data(), false);
        const int j = l % n, k = (l + 1) % n;
        shifts[l] = e[j] + 1e-9;
        // Lane 4's second shift lies halfway between two values.
        shifts[L + l] = l == 4 ? 0.5 * (e[0] + e[1]) : e[k] - 1e-9;
        inputs.push_back(h);
        eigenvalues.push_back(e);
      }
      std::vector<double> bandBefore(band.matrixReal(), band.matrixReal() + band.place(n - 1, n - 1) + L);
      double values[2 * L], residuals[2 * L];
      std::vector<double> xr(2 * n * L), xi(2 * n * L);
      band.bandEigenpairs(lanes, shifts, values, residuals, xr.data(), xi.data());
      for (int l = 0; l < lanes; ++l) {
        for (int t = 0; t < 2; ++t) {
          const std::string where = "n " + std::to_string(n) + " b " + std::to_string(b) + " lane " +
                                    std::to_string(l) + " pair " + std::to_string(t);
          double length = 0, residual = 0;
          for (int r = 0; r < n; ++r) {
            cd sum = 0;
            for (int c = 0; c < n; ++c)
              sum += cd(inputs[l].re[r * n + c], inputs[l].im[r * n + c]) *
                     cd(xr[(t * n + c) * L + l], xi[(t * n + c) * L + l]);
            const cd v(xr[(t * n + r) * L + l], xi[(t * n + r) * L + l]);
            residual += std::norm(sum - values[t * L + l] * v);
            length += std::norm(v);
          }
          EXPECT_NEAR(length, 1.0, 1e-12 * n) << where;
          EXPECT_NEAR(std::sqrt(residual), residuals[t * L + l], 1e-12 * n) << where;
          double nearest = 1e300;
          for (double e : eigenvalues[l]) nearest = std::min(nearest, std::fabs(e - values[t * L + l]));
          EXPECT_LE(nearest, residuals[t * L + l] + 1e-13 * n) << where;
          if (l == 4 && t == 1) continue;
          const int j = (t == 0 ? l : l + 1) % n;
          EXPECT_NEAR(values[t * L + l], eigenvalues[l][j], 1e-13 * n) << where;
          EXPECT_LE(residuals[t * L + l], 1e-13 * n) << where;
        }
      }
      for (size_t k = 0; k < bandBefore.size(); ++k)
        if (static_cast<int>(k % L) < lanes) {
          ASSERT_EQ(band.matrixReal()[k], bandBefore[k]);
        }
    }
  }
}

TEST(BatchEigenSolver, DiagonalInputsAndAFailingLane) {
  testing::ScriptedUserInterface ui;
  const int n = 4;
  BatchEigenSolver batch(n, &ui);
  const double diagonal[] = {1, 3, 3, 2};
  for (int l = 0; l < L; ++l)
    for (int k = 0; k < n; ++k) batch.matrixReal()[BatchEigenSolver::at(n, k, k, l)] = diagonal[k] + l;
  // Lane 5 cannot converge: a NaN on its diagonal with couplings.
  batch.matrixReal()[BatchEigenSolver::at(n, 1, 1, 5)] = std::nan("");
  batch.matrixReal()[BatchEigenSolver::at(n, 0, 1, 5)] = 0.5;
  batch.matrixReal()[BatchEigenSolver::at(n, 1, 2, 5)] = 0.5;
  EXPECT_EQ(batch.diagonalize(L, true), 1);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, "Diagonalization failed");
  EXPECT_EQ(ui.messages[0].title, "ERROR");
  for (int l = 0; l < L; ++l) {
    if (l == 5) continue;
    EXPECT_EQ(batch.values()[0 * L + l], 3.0 + l);
    EXPECT_EQ(batch.values()[1 * L + l], 3.0 + l);
    EXPECT_EQ(batch.values()[3 * L + l], 1.0 + l);
    // Equal values keep their positions' order: index 1 before index 2.
    EXPECT_EQ(std::abs(batch.vectorsReal()[(1 * n + 0) * L + l]), 1.0);
    EXPECT_EQ(std::abs(batch.vectorsReal()[(2 * n + 1) * L + l]), 1.0);
  }
}

// The kernels' scratch is sized for kMaxDimension and the band eigenpairs'
// factors for kMaxEigenpairBandwidth: what does not fit stops a debug build
// at once instead of overrunning them.
TEST(BatchEigenSolverDeathTest, RefusesWhatItsFixedArraysCannotHold) {
#ifdef NDEBUG
  GTEST_SKIP() << "the preconditions are asserted in debug builds";
#else
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(BatchEigenSolver(BatchEigenSolver::kMaxDimension + 1), "kMaxDimension");
  EXPECT_DEATH(BatchEigenSolver(0), "kMaxDimension");

  const int n = 8;
  double shifts[2 * L] = {}, values[2 * L], residuals[2 * L], vectorsR[2 * n * L], vectorsI[2 * n * L];
  BatchEigenSolver band(n);
  band.setBandwidth(BatchEigenSolver::kMaxEigenpairBandwidth + 1);
  EXPECT_DEATH(band.bandEigenpairs(L, shifts, values, residuals, vectorsR, vectorsI),
               "kMaxEigenpairBandwidth");
  BatchEigenSolver dense(n);
  EXPECT_DEATH(dense.bandEigenpairs(L, shifts, values, residuals, vectorsR, vectorsI),
               "kMaxEigenpairBandwidth");

  // More vectors than levels.
  dense.diagonalizeDeferred(L);
  const int levels[n + 1] = {0, 1, 2, 3, 4, 5, 6, 7, 0};
  EXPECT_DEATH(dense.computeVectors(0, levels, n + 1), "count <= n_");

  // What fits goes through: the largest dimension, the widest band (here
  // diagonal, its values 0 … n − 1).
  BatchEigenSolver largest(BatchEigenSolver::kMaxDimension);
  EXPECT_EQ(largest.diagonalize(L, true), 0);
  band.setBandwidth(BatchEigenSolver::kMaxEigenpairBandwidth);
  for (int k = 0; k < n; ++k)
    for (int l = 0; l < L; ++l) band.matrixReal()[band.place(k, k) + l] = k;
  for (int l = 0; l < L; ++l) {
    shifts[l] = 2.0 + 1e-6;
    shifts[L + l] = 5.0 - 1e-6;
  }
  band.bandEigenpairs(L, shifts, values, residuals, vectorsR, vectorsI);
  for (int l = 0; l < L; ++l) {
    EXPECT_NEAR(values[l], 2.0, 1e-12);
    EXPECT_NEAR(values[L + l], 5.0, 1e-12);
    EXPECT_LE(residuals[l] + residuals[L + l], 1e-10);
  }
#endif
}

}  // namespace
}  // namespace quorra

#pragma once
// Diagonalises up to eight complex Hermitian matrices of one dimension
// together, one matrix per SIMD lane, stored lane-innermost so that every
// arithmetic step works on all lanes at once.
//
// By default the algorithm is the one of HermitianEigenSolver (Householder
// reduction, phase transformation, QL with implicit shifts and at most 40
// iterations per eigenvalue, descending order). Two faster ways lead to the
// same values, to rounding:
// - a banded matrix (setBandwidth) is reduced to tridiagonal form by
//   rotations instead of Householder steps;
// - given estimates of the values, Newton's method on the tridiagonal
//   matrix's determinant finds them, and only a lane where that does not
//   give every eigenvalue goes to the QL.
// Eigenvectors are either accumulated for all values or, deferred, built
// afterwards for the levels asked for (inverse iteration, then back through
// the reduction). A lane that has converged, or whose step does not apply,
// is left unchanged by masking, so each lane's numbers do not depend on the
// other lanes. The results are not bit-identical with the reference solver
// (other summation orders, no hypot/atan2).
//
// The kernels are compiled for AVX-512, AVX2+FMA and plain x86-64; the
// variant is chosen at run time for the processor at hand. Their pieces,
// each with its algorithm, cost and preconditions, are under engine/batch/:
// householder.h and band_reduction.h (the reductions), tridiagonal_ql.h,
// newton_values.h, tolerances.h; the deferred vectors and the band
// eigenpairs have a file each there.
//
// Preconditions (asserted in debug builds): 1 ≤ n ≤ kMaxDimension, which
// bounds the kernels' scratch on the stack; bandEigenpairs() needs a
// bandwidth of 1 … kMaxEigenpairBandwidth.

#include <cstddef>
#include <vector>

#include "engine/hermitian_eigen_solver.h"

namespace quorra {

class MessageSink;
struct BatchWorkspace;
enum class BatchVectors : int;  // what a diagonalisation computes besides the values

class BatchEigenSolver {
 public:
  static constexpr int kLanes = 8;
  static constexpr int kMaxIterations = 40;
  static constexpr int kMaxDimension = 30;
  static constexpr int kMaxEigenpairBandwidth = 4;  // bandEigenpairs()'s factorisation

  // n must lie in 1 … kMaxDimension.
  explicit BatchEigenSolver(int n, MessageSink* failureSink = nullptr);

  int dimension() const { return n_; }

  // Declares that every matrix given from now on is banded: nothing beyond
  // b super-diagonals (zero there). The input is then the band alone, kept
  // compactly, and values and deferred vectors are found by reducing it with
  // rotations, O(n²·b) instead of O(n³); 0 (the default) means dense.
  // Allocates; call it before the work.
  void setBandwidth(int b);

  // Input: element (r, c) with r ≤ c (and c ≤ r + b when banded) of lane l
  // at [place(r, c) + l]; the lower triangle, and what lies outside the
  // band, is not read. Destroyed by diagonalize().
  double* matrixReal() { return bandwidth_ > 0 ? bandR_.data() : ar_.data(); }
  double* matrixImag() { return bandwidth_ > 0 ? bandI_.data() : ai_.data(); }
  size_t place(int row, int col) const {
    return bandwidth_ > 0 ? (static_cast<size_t>(row) * (bandwidth_ + 2) + col - row) * kLanes
                          : at(n_, row, col, 0);
  }
  // The place of element (row, col) of lane in an n × n block stored
  // lane-innermost: dense input, and the vectors.
  static size_t at(int n, int row, int col, int lane) {
    return (static_cast<size_t>(row) * n + col) * kLanes + lane;
  }

  // Estimates of the eigenvalues the caller may give before diagonalising
  // without vectors: estimate j of lane l (descending) at [j·kLanes + l].
  double* estimates() { return estimates_.data(); }

  // Diagonalises lanes 0 … lanes−1. Eigenvalue j of lane l, descending, is
  // at values()[j·kLanes + l]; with vectors, component k of eigenvector j at
  // vectorsReal()/vectorsImag()[(k·n + j)·kLanes + l]. Returns the number
  // of lanes that did not converge (each is reported to the failure sink as
  // the reference solver reports it).
  //
  // fromEstimates (without vectors only): the values are found by Newton's
  // method from estimates(), which takes a few sweeps of independent work
  // where the QL's rotations wait on one another. A lane whose estimates do
  // not lead to n well separated values (too far off, or eigenvalues closer
  // than a millionth of the norm) goes to the QL, so the values are those of
  // the QL to rounding whatever the estimates.
  int diagonalize(int lanes, bool wantVectors, bool fromEstimates = false);

  // The values as diagonalize(lanes, false) gives them, with the real
  // tridiagonal matrix and what leads back from it to the Hermitian one (the
  // Householder reflectors and the phases) kept, so that computeVectors()
  // can then build just the eigenvectors that are needed.
  int diagonalizeDeferred(int lanes, bool fromEstimates = false);
  // Eigenvectors levels[0 … count − 1] (descending order, distinct) of one
  // lane of the last diagonalizeDeferred() call, into their columns of
  // vectorsReal/Imag: inverse iteration on the tridiagonal matrix with the
  // computed value, then back through the phases and the reflectors or
  // rotations. When a value lies within a millionth of the matrix norm of
  // another, where inverse iteration loses accuracy and a degenerate set
  // needs vectors kept orthogonal, the tridiagonal matrix goes to the
  // reference solver instead. Each vector is the diagonalize(lanes, true)
  // one up to a unit factor (in a degenerate set, a vector of the same space).
  void computeVectors(int lane, const int* levels, int count);
  // The same for every lane at once, the lanes side by side: lane l's
  // levels at levels[l·kMaxDimension + t], t < counts[l] (0: none).
  void computeVectors(const int* counts, const int* levels);

  // Banded only (bandwidth 1 … kMaxEigenpairBandwidth), and without
  // reducing: for each lane l < lanes, the two eigenpairs of the matrix
  // given (as for diagonalize; left unchanged, the unused lanes given lane
  // 0's) nearest shifts[t·kLanes + l], t = 0, 1, by inverse iteration on the
  // band itself (a factorisation without interchanges, two solves).
  // The Rayleigh quotient into values[t·kLanes + l], component k of the
  // unit vector into vectorsR/I[(t·n + k)·kLanes + l], and the norm of its
  // residual A·x − value·x into residuals[t·kLanes + l]: an eigenvalue lies
  // within it of the value, and that is all this promises (which eigenvalue,
  // and how well the vector is converged, is for the caller to judge from
  // it). Every array has room for all kLanes lanes.
  void bandEigenpairs(int lanes, const double* shifts, double* values, double* residuals, double* vectorsR,
                      double* vectorsI);

  const double* values() const { return values_.data(); }
  const double* vectorsReal() const { return vr_.data(); }
  const double* vectorsImag() const { return vi_.data(); }

  // The instruction set the kernel runs with: "avx512", "avx2" or "generic".
  static const char* instructionSet();

 private:
  int run(int lanes, BatchVectors mode, bool fromEstimates);
  BatchWorkspace workspace();
  // The vectors of one lane by the reference solver on its tridiagonal matrix.
  void vectorsFromDenseSolver(int lane, const int* levels, int count);
  // Vector y of the tridiagonal matrix of lane, after a Householder
  // reduction, to column j of vectorsReal/Imag.
  void backTransform(int lane, int j, const double* yr, const double* yi);

  int n_;
  MessageSink* failureSink_;
  std::vector<double> ar_, ai_, qr_, qi_, z_, vr_, vi_, reflectorR_, reflectorI_;
  std::vector<double> ur_, ui_, pr_, pi_, d_, e_, values_, beta_, phaseR_, phaseI_, tridiagonalD_,
      tridiagonalE_;
  std::vector<double> tridiagonalNorm_;  // per lane, of the last deferred diagonalisation
  int bandwidth_ = 0;
  std::vector<double> bandR_, bandI_;                        // the band as it is reduced, compactly
  std::vector<int> rotationPlanes_;                          // the band reduction's planes (p, p+1), in order
  std::vector<double> rotationC_, rotationSR_, rotationSI_;  // [rotation·kLanes + lane]
  std::vector<double> estimates_, sigma_, squaredE_;
  std::vector<int> perm_;          // tridiagonal index of the j-th value, [j·kLanes + lane]
  HermitianEigenSolver fallback_;  // for values too close for inverse iteration
  std::vector<double> denseR_, denseI_, denseVectorsR_, denseVectorsI_, denseValues_;
};

}  // namespace quorra

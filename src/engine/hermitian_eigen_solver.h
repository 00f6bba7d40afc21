#pragma once
// Dense eigen-solver for complex Hermitian matrices of dimension 1 ... 30.
//
// Algorithm: Householder reduction to Hermitian tridiagonal form, a diagonal
// phase transformation that makes the tridiagonal matrix real symmetric, QL
// with implicit shifts (at most 40 iterations per eigenvalue), a descending
// sort (among equal values the lower QL index comes first) and, on request,
// the back-transformation of the eigenvectors. Cost about 16n³/3 real
// multiplications for the reduction, plus about 6n³ more with vectors.
//
// All scratch space is allocated at construction; diagonalize() allocates
// nothing.

#include <vector>

namespace quorra {

class MessageSink;

class HermitianEigenSolver {
 public:
  static constexpr int kMaxDimension = 30;
  static constexpr int kMaxIterations = 40;

  // failureSink receives "Diagonalization failed" when QL does not converge;
  // it may be null (the failure is then only reported by the return value).
  explicit HermitianEigenSolver(int n, MessageSink* failureSink = nullptr);

  int dimension() const { return n_; }

  // hr, hi: real and imaginary part of a Hermitian matrix, n×n row-major,
  // both triangles filled; destroyed by the call. e receives the n
  // eigenvalues, descending. With wantVectors, column j of (vr + i·vi)
  // (element [k*n + j]) is the normalised eigenvector of e[j]; without it vr
  // and vi are not touched and may be null.
  // Returns 1 on success, 0 when QL did not converge (e, vr, vi then hold
  // partial results).
  int diagonalize(double* hr, double* hi, double* e, double* vr, double* vi, bool wantVectors);

 private:
  int n_;
  MessageSink* failureSink_;
  std::vector<double> ur_, ui_;  // accumulated unitary transformation
  std::vector<double> z_;        // eigenvectors of the real tridiagonal matrix
  std::vector<double> d_, off_;  // tridiagonal diagonal and off-diagonal, 1-based
  std::vector<double> ucr_, uci_, pr_, pi_, phase_;
  std::vector<int> perm_;
  std::vector<unsigned char> taken_;
};

}  // namespace quorra

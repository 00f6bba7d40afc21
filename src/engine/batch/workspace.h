#pragma once
// What the batched solver's kernels work on: the solver's arrays, by name.
// BatchEigenSolver::workspace() fills it; every array is lane-innermost,
// element index·L + lane, L = BatchEigenSolver::kLanes, and has room for
// n = kMaxDimension at most (the solver allocates for its own n).

#include "engine/batch_eigen_solver.h"

namespace quorra {

// What a diagonalisation computes besides the values: nothing, every
// eigenvector at once (accumulated through the reduction and the QL), or
// what is needed to build chosen eigenvectors afterwards (computeVectors).
enum class BatchVectors : int { None, All, Deferred };

struct BatchWorkspace {
  int n = 0;

  // The dense input, upper triangle, (r, c) at (r·n + c)·L; reduced in place.
  double* ar = nullptr;
  double* ai = nullptr;
  // The accumulated unitary transformation, n × n (BatchVectors::All only).
  double* qr = nullptr;
  double* qi = nullptr;
  // The eigenvectors of the real tridiagonal matrix, n × n (All only).
  double* z = nullptr;
  // The output vectors, component k of vector j at (k·n + j)·L.
  double* vr = nullptr;
  double* vi = nullptr;
  // Scratch of the Householder reduction: the reflector u and p = β·A·u.
  double* ur = nullptr;
  double* ui = nullptr;
  double* pr = nullptr;
  double* pi = nullptr;
  // The real tridiagonal matrix as the QL works on it: diagonal d and
  // off-diagonal e (e[n − 1] = 0).
  double* d = nullptr;
  double* e = nullptr;
  // The eigenvalues, descending, and the tridiagonal index of each.
  double* values = nullptr;
  int* perm = nullptr;

  // What deferred vectors are built from (BatchVectors::Deferred): the real
  // tridiagonal matrix as the QL got it and its norm (largest row sum, one
  // per lane), the reflector u (lane by lane, [(lane·n + step)·n + k]) and
  // β of each Householder step, and the phase of each tridiagonal index.
  double* tridiagonalD = nullptr;
  double* tridiagonalE = nullptr;
  double* tridiagonalNorm = nullptr;
  double* reflectorR = nullptr;
  double* reflectorI = nullptr;
  double* beta = nullptr;
  double* phaseR = nullptr;
  double* phaseI = nullptr;

  // The band reduction: the bandwidth b (0: dense, Householder), the band as
  // it is reduced ((r, c) at (r·(b + 2) + c − r)·L, c − r ≤ b + 1, the last
  // diagonal holding the bulge), the rotations' planes (p, p + 1) in order
  // and, per rotation, each lane's real c and complex s (Deferred only).
  int bandwidth = 0;
  double* bandR = nullptr;
  double* bandI = nullptr;
  const int* rotationPlanes = nullptr;
  int rotationCount = 0;
  double* rotationC = nullptr;
  double* rotationSR = nullptr;
  double* rotationSI = nullptr;

  // Newton's method: the caller's estimates of the values (descending), the
  // trial values and the squared off-diagonal elements of the scaled matrix.
  const double* estimates = nullptr;
  double* sigma = nullptr;
  double* squaredE = nullptr;
};

}  // namespace quorra

#pragma once
// The lane vocabulary of the batched solver's kernels. A batch holds L = 8
// matrices side by side, every number of one matrix at [index·L + lane]; the
// kernels are written as loops over the lanes with no data flowing between
// lanes, so that the compiler turns each into vector instructions of the
// target the kernel is compiled for (see engine/vector_clones.h).
//
// Two ways to write such a loop:
// - LANES: a plain loop over the eight lanes that the compiler vectorises;
// - V4 / M4: four lanes as one vector value (GCC's and Clang's vector
//   extension), a batch being H = L/4 of them. Written this way the halves
//   are independent chains that the processor overlaps, and a selection
//   between two results (select4) is a blend, not a branch.
//
// Everything here is inline and always_inline: it is compiled into each
// clone of the kernel that uses it, for that clone's instruction set.
// (Passing V4 by value between functions that are not inlined would change
// the calling convention with the instruction set; -Wno-psabi silences the
// warning about that for the files that include this header.)

#include "engine/batch_eigen_solver.h"

namespace quorra::batch {

constexpr int L = BatchEigenSolver::kLanes;
constexpr int H = L / 4;  // four-lane vectors per batch
static_assert(L % 4 == 0, "a batch is a whole number of four-lane vectors");

#define LANES _Pragma("omp simd") for (int l = 0; l < L; ++l)

// Four lanes of doubles, and a mask of four lanes (all ones where true, as
// the vector comparisons give it).
typedef double V4 __attribute__((vector_size(32)));
typedef long M4 __attribute__((vector_size(32)));

// Loads and stores at any alignment.
inline __attribute__((always_inline)) V4 load4(const double* p) {
  V4 v;
  __builtin_memcpy(&v, p, sizeof v);
  return v;
}
inline __attribute__((always_inline)) void store4(double* p, V4 v) {
  __builtin_memcpy(p, &v, sizeof v);
}
inline __attribute__((always_inline)) M4 load4m(const long* p) {
  M4 v;
  __builtin_memcpy(&v, p, sizeof v);
  return v;
}
inline __attribute__((always_inline)) void store4m(long* p, M4 v) {
  __builtin_memcpy(p, &v, sizeof v);
}

// |x|, by clearing the sign bit.
inline __attribute__((always_inline)) V4 abs4(V4 x) {
  return (V4)((M4)x & 0x7FFFFFFFFFFFFFFFL);
}
// √x lane by lane: a vector square root where the file is compiled without
// errno for the maths functions (-fno-math-errno).
inline __attribute__((always_inline)) V4 sqrt4(V4 x) {
  V4 r;
  for (int k = 0; k < 4; ++k) r[k] = __builtin_sqrt(x[k]);
  return r;
}
// yes where mask is set, no elsewhere.
inline __attribute__((always_inline)) V4 select4(M4 mask, V4 yes, V4 no) {
  return mask ? yes : no;
}

}  // namespace quorra::batch

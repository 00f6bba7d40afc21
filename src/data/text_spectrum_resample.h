#pragma once
// The text reader's resampling of measured points onto its uniform field
// grid. Fields f[0 … k − 1] are ascending overall (f[0] < f[k − 1]) but may
// be unevenly spaced, repeated or out of order in between; d = (f[k − 1] −
// f[0])/(k − 1) is their mean spacing and grid point i lies at f[0] + i·d.
//
// The rule is a walk: grid point i takes v[i] when |x − f[i]| ≤ d, x being
// the grid point. Otherwise it walks from i one point at a time towards x
// (upwards when x > f[i], downwards otherwise) and takes the first point
// within d of x; a walk that reaches the first or the last point takes the
// point nearest to x among those it visited (the first visited on a tie).
// The end points keep their values.
//
// Walking literally costs up to k steps per grid point, k² for fields far
// from uniform (a cluster and a lone far point). This computes the same
// choices, bit for bit, in one pass over the fields: sorted fields are
// merged with the grid; other fields go through an index sorted by field
// (k log k).

namespace quorra {

// Writes the resampled intensities to out[0 … k − 1] (k ≥ 2). False, with
// out untouched, when there is no memory for the index that fields out of
// order need.
bool resampleOntoGrid(const double* f, const double* v, int k, double* out);

}  // namespace quorra

#pragma once
// The adaptive powder grid: the powder sum from few diagonalised
// orientations.
//
// The sphere is reduced by the symmetry of the spin system: every tensor of
// the Hamiltonian (g, A, quadrupole, superhyperfine, widths, strains) is
// given in one frame, so the spectrum is unchanged under the 180° rotations
// about x, y and z and under reversal of the field, and one octant
// (θ, φ in [0°, 90°]) gives it; with equal x and y values throughout nothing
// depends on φ and θ alone does. Resonance fields, intensities and widths
// are computed at the nodes of a coarse grid over that region and
// interpolated transition by transition (a transition is its pair of level
// numbers and its place among the pair's resonances) with polynomials of
// degree five in each angle onto a fine grid of sub-cells. Each sub-cell's two triangles
// (segments, for θ alone) are projected into the histogram: the share of
// their area whose interpolated field falls in a bin goes to that bin, so no
// grid ripple remains. Lines broadened one by one are placed at the fine
// sub-cell centres. A cell whose corners do not hold the same transitions
// (a line leaves the field range, levels cross, a transition loops) is not
// interpolated: its fine orientations are computed.
//
// The coarse grid is refined (8, 12, 16, 24, 32 … cells a side) until two
// successive spectra differ by at most the tolerance times the peak-to-peak
// height; the result is the finer one. The grids and nodes are in
// adaptive_grid.h.
// Sub-cells of one θ row are summed in a buffer of their own and the rows
// added in order, so the result does not depend on the thread count.
// With a PowderRowExchange the processes share each level: its rows of new
// nodes (every process gets all of them) and its rows of cells (summed by
// one process, in row order); the summing process decides whether to refine
// and tells the others, so the result is that of one process.

#include "engine/powder.h"

namespace quorra {

PowderOutcome runAdaptivePowder(const PowderRequest& request, double* target, int& threadCount);

}  // namespace quorra

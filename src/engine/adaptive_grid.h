#pragma once
// The grids of the adaptive powder run (adaptive_powder.cpp): the refinement
// levels over the octant or θ alone, the interpolation weights along one
// angle, and the transitions of a node, matched between nodes by their pair
// of levels and their place among the pair's resonances.

#include <cstddef>
#include <string>
#include <vector>

namespace quorra {

class ResonanceSolver;

// Cells of the first grid along θ (θ alone) or along each angle (octant).
// Refinements multiply the cells by 3/2 and 4/3 in turn (8, 12, 16, 24, 32
// …), so that each grid holds every node of the one two before it and two
// successive spectra are close enough to each other for the tolerance to be
// met early.
constexpr int kFirstCellsAxial = 16;
constexpr int kFirstCellsOctant = 8;
// The finest grids: 16·2⁵ = 512 cells (θ alone), 8·2⁴ = 128 a side.
constexpr int kMaxRefinementsAxial = 10;
constexpr int kMaxRefinementsOctant = 8;
// Each cell is split into kSubdivisions² sub-cells (kSubdivisions segments
// with θ alone); within a sub-cell a transition's field is taken as linear
// (corrected for its curvature, see projectSubCells).
constexpr int kSubdivisions = 2;
constexpr int kMaxSubdivisions = 16;

// One transition at a node: its levels, field, intensity (probability times
// the model's factor) and own width.
struct NodeLine {
  int upper, lower;
  double field, intensity, width;
};
using NodeLines = std::vector<NodeLine>;

// The transitions the solver recorded for its last orientation, in the order
// (upper, lower, field); a record of the same pair within 0.02 G of the one
// before is dropped: the search's refinements stop at brackets 0.01 G wide,
// so one resonance found from two brackets can be recorded twice, and
// whether it is differs from node to node.
void collectNodeLines(const ResonanceSolver& solver, NodeLines& lines);
// True when a and b hold the same pairs of levels in the same order.
bool sameTransitions(const NodeLines& a, const NodeLines& b);
// The line of node that stands for line t of reference: the same pair of
// levels at the same place among the pair's resonances; null when there is
// none.
const NodeLine* matchingLine(const NodeLines& node, const NodeLines& reference, std::size_t t);

// The lines of a node appended to bytes, and read back from bytes at `at`
// (which moves past them) bit for bit: the processes of a shared run send
// each other the nodes they computed. readNodeLines is false when bytes end
// first.
void appendNodeLines(const NodeLines& lines, std::string& bytes);
bool readNodeLines(const std::string& bytes, std::size_t& at, NodeLines& lines);

// Nodes of the interpolation stencil along each angle.
constexpr int kStencil = 6;

// Interpolation along one angle of a grid, nodes at k·h degrees (k = 0 …
// cells): each cell takes the polynomial of degree five through the six
// nodes around it. The ends of the range (0 and 90°) are mirror planes of
// the spectrum, so the nodes beyond an end are the mirror images of those
// before it, and the interpolant is even about the end as the spectrum is.
struct Axis {
  int cells = 0;  // 0: one node (φ of an axial system)
  double h = 0;   // degrees
  // Per point of a cell (the half steps k/(2n), then the centres
  // (p + ½)/n): the stencil's weights, and the linear share of the cell's
  // far node for the fallback between the cell's own two nodes.
  std::vector<double> weights, linear;
  int pointsPerCell = 0;

  // Stencil weights for a grid of cellCount cells of step degrees, each
  // split into n sub-cells.
  Axis(int cellCount, double step, int n);
  // The node a of cell i's stencil (a = 0 … 5: i − 2 … i + 3), mirrored
  // into 0 … cells.
  int node(int i, int a) const {
    const int k = i - 2 + a;
    return k < 0 ? -k : (k > cells ? 2 * cells - k : k);
  }
  const double* weightsAt(int k) const { return &weights[static_cast<std::size_t>(k) * kStencil]; }
};

// One refinement level: cells of hTheta × hPhi degrees over θ, φ in
// [0, 90°] (θ alone for an axial system), and their nodes.
struct Grid {
  bool axial = false;
  int cellsTheta = 0, cellsPhi = 0;  // cellsPhi = 0 with θ alone
  double hTheta = 0, hPhi = 0;

  Grid(bool isAxial, int refinement) : axial(isAxial) {
    const int first = axial ? kFirstCellsAxial : kFirstCellsOctant;
    cellsTheta = (refinement % 2 == 0 ? first : first / 2 * 3) << (refinement / 2);
    cellsPhi = axial ? 0 : cellsTheta;
    hTheta = 90.0 / cellsTheta;
    hPhi = axial ? 0.0 : 90.0 / cellsPhi;
  }
  int columns() const { return cellsPhi + 1; }
  int nodeCount() const { return (cellsTheta + 1) * columns(); }
  int index(int i, int j) const { return i * columns() + j; }
};

}  // namespace quorra

#pragma once
// CEprWindow: the one owner of the simulation state. It holds the parameter
// records, the superhyperfine table, the trace array block (histogram, red
// values, blue values, field axis, kernel), the flags, the experimental
// parameter text and the main plot view's model, and offers the state
// operations the command handlers build on. It knows no window system: all
// user interaction goes through the UserInterface it is given.

#include <cstdlib>
#include <string>
#include <vector>

#include "app/parameters.h"
#include "app/user_interface.h"
#include "engine/resonance_solver.h"
#include "engine/solver_parameters.h"
#include "plot/child_view.h"

namespace quorra {

struct RangeResult {
  double max = 0.0;
  double min = 0.0;
  bool differ = false;  // max ≠ min, or either is not a number
};

class PowderRowExchange;

class CEprWindow {
 public:
  explicit CEprWindow(UserInterface& ui);
  ~CEprWindow();
  CEprWindow(const CEprWindow&) = delete;
  CEprWindow& operator=(const CEprWindow&) = delete;

  UserInterface& ui() { return ui_; }

  // --- State operations ---------------------------------------------------
  // Takes edited values into effect: grid, arrays, twoI. False only when the
  // arrays had to grow and could not (points is then 0).
  bool ApplyParameters();
  // Makes the arrays hold n points; false after an allocation failure.
  bool EnsureArrayCapacity(int n);
  // After a loader wrote the blue values, points, fieldCentre, fieldRange and
  // experimentalFrequency: shows the blue trace. False for a flat spectrum.
  bool InstallExperimentalTrace();
  // The view's grid and range become the current grid's, all points, the
  // cursors at its ends.
  void SetViewToGrid();
  // SetViewToGrid, with unit scales, blue the active trace and the cursors on.
  void ShowWholeGrid();
  static RangeResult RangeMinMax(const double* values, int first, int last);

  // --- Trace commands -----------------------------------------------------
  void DeleteBlueSpectrum();
  void DeleteRedSpectrum();
  void TransferRedToBlue();
  void TransferBlueToRed();
  void SetCommonScale();

  // --- Arrays of the trace block (capacity slots each) --------------------
  double* histogram() { return block_; }
  double* redValues() { return block_ + capacitySlots(); }
  double* blueValues() { return block_ + 2 * capacitySlots(); }
  double* fieldAxis() { return block_ + 3 * capacitySlots(); }
  double* kernel() { return block_ + 4 * capacitySlots(); }

  // The engine's copy of the parameters, with the kernel of the last
  // computation.
  SolverParameters solverParameters();
  // Refuses parameters outside their ranges (parameterRangeProblem) or that
  // the engine cannot work with, through the seam, before anything changes.
  // twoI is taken from the spin text as ApplyParameters would. True when
  // the parameters are acceptable.
  bool CheckParameters();

  // Gives the view the red or blue trace with its extremes, or none.
  void showTrace(int which, bool present);
  // After a synthesis that leaves no red trace: red is cleared, blue (if
  // any) is the active trace, the view takes the focus and redraws.
  void hideRedTrace();

  // --- State --------------------------------------------------------------
  SpinParameters spin;
  LineShapeParameters lineShape;
  std::string shfText;
  SimulationFlags flags;
  SpectrumTrace red, blue;
  int threadCount = 0;  // powder workers; 0 = all processors; after a run, the number used
  // What the adaptive grid reached in the last run (adaptiveGridSummary);
  // empty after a run on the exact grid.
  std::string adaptiveGridNote;
  Engine engine = Engine::Fast;  // eigen-solver path of every computation
  PhysicalModel model;           // the physical model's choices; all at their defaults: exact
  std::string experimentalParameterText;
  std::string currentFileName;
  double crystalTheta = 0.0, crystalPhi = 0.0;  // degrees
  std::string crystalListing;                   // orientation line of the last single-crystal run
  std::vector<Transition> crystalTransitions;   // transitions of the last single-crystal run
  double rotationAxisTheta = 90.0, rotationAxisPhi = 0.0, rotationAngle = 0.0;  // degrees
  double angularPlotHeightFraction = 0.82;
  RoadMap roadMap;  // the last rotation study; cleared by the next synthesis or load
  int smoothingPoints = 5;
  CChildView view;

  // How the trace block is grown; tests replace it to simulate an
  // allocation failure.
  void* (*reallocateBlock)(void* block, size_t bytes) = [](void* block, size_t bytes) {
    return std::realloc(block, bytes);
  };
  // How a powder run allocates its row buffers (bytes of zeros, null when
  // there is no room); null means std::calloc. Tests replace it likewise.
  void* (*allocatePowderRows)(size_t bytes) = nullptr;
  // Shares a powder run's rows with other processes (an MPI run of the
  // command line); null, the default, computes them all here.
  PowderRowExchange* powderRowExchange = nullptr;

 private:
  size_t capacitySlots() const { return static_cast<size_t>(spin.capacity); }

  UserInterface& ui_;
  double* block_ = nullptr;
};

}  // namespace quorra

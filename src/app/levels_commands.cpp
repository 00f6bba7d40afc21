#include "app/levels_commands.h"

#include <memory>

#include "engine/message_sink.h"
#include "engine/resonance_solver.h"

namespace quorra {

namespace {

// A solver for the edited parameters, built without applying them, so that
// looking at levels changes nothing in the state. Null when refused. Its
// eigen-solver failures go to failures, to be reported once.
std::unique_ptr<ResonanceSolver> levelSolver(CEprWindow& w, FailureCount& failures) {
  if (!w.CheckParameters()) return nullptr;
  SolverParameters p = w.solverParameters();
  p.twoI = twoIFromSpinText(w.spin.nuclearSpinText);
  p.anisotropic = 0;  // lines go to a scratch histogram; no broadening needed
  p.model = withoutLineWidths(p.model);
  p = referenceNucleusParameters(p);
  return std::make_unique<ResonanceSolver>(w.shfText, p, w.spin.fieldCentre, w.spin.fieldRange, w.spin.points,
                                           &failures);
}

}  // namespace

bool computeLevelsAt(CEprWindow& w, double field, double theta, double phi, std::vector<double>& levels) {
  FailureCount failures;
  const std::unique_ptr<ResonanceSolver> solver = levelSolver(w, failures);
  if (!solver) return false;
  SpinHamiltonian& hamiltonian = solver->hamiltonian();
  hamiltonian.setOrientation(theta, phi);
  hamiltonian.levelsAt(field, false);
  levels.assign(hamiltonian.energies(), hamiltonian.energies() + solver->dimension());
  reportDiagonalizationFailures(&w.ui(), failures.count() > 0 ? 1 : 0, 1);
  return failures.count() == 0;
}

bool computeLevelDiagram(CEprWindow& w, double theta, double phi, int samples, LevelDiagram& diagram) {
  if (samples < 2) return false;
  FailureCount failures;  // one direction: its failures are reported once
  const std::unique_ptr<ResonanceSolver> solver = levelSolver(w, failures);
  if (!solver) return false;
  const int D = solver->dimension();
  diagram = LevelDiagram{};
  diagram.theta = theta;
  diagram.phi = phi;
  diagram.dimension = D;
  diagram.quantum = solver->quantum();

  std::vector<double> scratch(static_cast<size_t>(w.spin.points), 0.0);
  solver->processOrientation(theta, phi, 1.0, scratch.data());
  std::vector<Transition> pairs(solver->transitions(), solver->transitions() + solver->transitionCount());

  const double start = w.spin.fieldCentre - w.spin.fieldRange / 2;
  diagram.fields.reserve(static_cast<size_t>(samples));
  diagram.energies.reserve(static_cast<size_t>(samples) * static_cast<size_t>(D));
  SpinHamiltonian& hamiltonian = solver->hamiltonian();
  const double* E = hamiltonian.energies();
  hamiltonian.setOrientation(theta, phi);
  for (int i = 0; i < samples; ++i) {
    const double B = start + w.spin.fieldRange * i / (samples - 1);
    hamiltonian.levelsAt(B, false);
    diagram.fields.push_back(B);
    diagram.energies.insert(diagram.energies.end(), E, E + D);
  }
  for (const Transition& t : pairs) {
    hamiltonian.levelsAt(t.field, false);
    diagram.marks.push_back(
        LevelDiagram::Mark{t.field, t.probability, t.upper, t.lower, E[t.upper - 1], E[t.lower - 1]});
  }
  reportDiagonalizationFailures(&w.ui(), failures.count() > 0 ? 1 : 0, 1);
  return failures.count() == 0;
}

std::optional<std::string> LevelsAtField(CEprWindow& w, const std::string& input) {
  double field = 0, theta = 0, phi = 0;
  std::string error;
  if (!parseLevelsInput(input, field, theta, phi, error)) {
    w.ui().messageBox(error, "INVALID INPUT", MessageIcon::Exclamation);
    return std::nullopt;
  }
  std::vector<double> levels;
  if (!computeLevelsAt(w, field, theta, phi, levels)) return std::nullopt;
  return formatLevels(field, theta, phi, levels);
}

std::optional<std::string> LevelsAtFieldCommand(CEprWindow& w) {
  const std::optional<std::string> input =
      w.ui().inputBox("MS Levels at field", "Enter field (Gauss, Theta, Fi", "1000 0 0");
  if (!input) return std::nullopt;
  return LevelsAtField(w, *input);
}

}  // namespace quorra

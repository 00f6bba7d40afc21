#include "app/levels_commands.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "engine/hermitian_eigen_solver.h"
#include "engine/resonance_solver.h"
#include "support/scripted_ui.h"

namespace quorra {
namespace {

using testing::ScriptedUserInterface;

TEST(LevelsAtField, ZeroFieldLevelsGroupByTotalSpin) {
  ScriptedUserInterface ui;
  CEprWindow w(ui);
  // S = 1/2 with isotropic a: E = a/2·[F(F+1) − I(I+1) − 3/4], F = I ± 1/2.
  for (auto [spinText, I] : {std::pair{"1/2", 0.5}, std::pair{"3/2", 1.5}, std::pair{"5/2", 2.5}}) {
    const double a = 120;
    w.spin.nuclearSpinText = spinText;
    w.spin.gx = w.spin.gy = w.spin.gz = 2.0023;  // hyperfine energy = a
    w.spin.Ax = w.spin.Ay = w.spin.Az = a;
    std::vector<double> levels;
    ASSERT_TRUE(computeLevelsAt(w, 0.0, 40, 10, levels));
    const int n = static_cast<int>(2 * I + 1);
    ASSERT_EQ(levels.size(), static_cast<size_t>(2 * n));
    auto energy = [a, I = I](double F) { return a / 2 * (F * (F + 1) - I * (I + 1) - 0.75); };
    for (int k = 0; k < n + 1; ++k) EXPECT_NEAR(levels[k], energy(I + 0.5), 1e-9) << spinText << " " << k;
    for (int k = n + 1; k < 2 * n; ++k) EXPECT_NEAR(levels[k], energy(I - 0.5), 1e-9) << spinText << " " << k;
  }
  EXPECT_FALSE(w.flags.parametersApplied);  // looking at levels applies nothing
}

TEST(LevelsAtField, EqualTheEigenvaluesOfTheHamiltonianAtAnyField) {
  ScriptedUserInterface ui;
  CEprWindow w(ui);
  w.spin.P = 4;
  w.spin.Q = 1.5;
  w.spin.gx = 2.02;  // rhombic
  for (double B : {0.0, 817.5, 3211.0, 5999.0}) {
    std::vector<double> levels;
    ASSERT_TRUE(computeLevelsAt(w, B, 63, 27, levels));

    SolverParameters p = w.solverParameters();
    p.twoI = 3;
    ResonanceSolver solver(w.shfText, p, w.spin.fieldCentre, w.spin.fieldRange, w.spin.points);
    SpinHamiltonian& h = solver.hamiltonian();
    h.setOrientation(63, 27);
    h.hamiltonianAt(B);
    const int D = solver.dimension();
    std::vector<double> hr(h.hr(), h.hr() + D * D), hi(h.hi(), h.hi() + D * D), e(D), vr(D * D), vi(D * D);
    HermitianEigenSolver eigen(D);
    ASSERT_EQ(eigen.diagonalize(hr.data(), hi.data(), e.data(), vr.data(), vi.data(), false), 1);
    ASSERT_EQ(levels.size(), static_cast<size_t>(D));
    for (int k = 0; k < D; ++k) EXPECT_NEAR(levels[k], e[k], 1e-9) << B << " " << k;
    EXPECT_TRUE(std::is_sorted(levels.rbegin(), levels.rend()));
  }
}

TEST(LevelsAtField, InputMustHoldExactlyThreeNumbers) {
  double B = -1, theta = -1, phi = -1;
  std::string error;
  EXPECT_TRUE(parseLevelsInput("1000 0 0", B, theta, phi, error));
  EXPECT_EQ(B, 1000);
  EXPECT_TRUE(parseLevelsInput("  3300.5\t45 -90 \r\n", B, theta, phi, error));
  EXPECT_EQ(phi, -90);
  for (const char* bad : {"", "1000 0", "1000 zero 0", "1000 0 0 7", "nan 0 0", "1000,0,0"}) {
    B = theta = phi = 42;
    EXPECT_FALSE(parseLevelsInput(bad, B, theta, phi, error)) << bad;
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(B, 42);
  }

  ScriptedUserInterface ui;
  CEprWindow w(ui);
  EXPECT_FALSE(LevelsAtField(w, "1000 0").has_value());
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].title, "INVALID INPUT");
  EXPECT_EQ(ui.messages[0].text, error);

  ui.inputTexts = {std::nullopt, std::string("1000 0 0")};
  EXPECT_FALSE(LevelsAtFieldCommand(w).has_value());  // Cancel
  const std::optional<std::string> listing = LevelsAtFieldCommand(w);
  EXPECT_EQ(ui.inputPrompts.back(), "MS Levels at field|Enter field (Gauss, Theta, Fi|1000 0 0");
  EXPECT_EQ(ui.messages.size(), 1u);
  ASSERT_TRUE(listing.has_value());
  EXPECT_EQ(std::count(listing->begin(), listing->end(), '\n'), 9);  // heading and 8 levels
  EXPECT_EQ(listing->substr(0, listing->find('\n')), "Levels at B = 1000.00 G, Theta = 0.0, Fi = 0.0");
  EXPECT_FALSE(w.flags.parametersApplied);
}

TEST(LevelDiagram, MarksResonantPairsOneQuantumApart) {
  ScriptedUserInterface ui;
  CEprWindow w(ui);
  LevelDiagram d;
  ASSERT_TRUE(computeLevelDiagram(w, 30, 20, 201, d));
  ASSERT_EQ(d.dimension, 8);
  ASSERT_EQ(d.fields.size(), 201u);
  EXPECT_EQ(d.fields.front(), 0.0);
  EXPECT_EQ(d.fields.back(), 6000.0);
  EXPECT_NEAR(d.quantum, 9.6 * 714.468 / 2.0023, 1e-9);
  ASSERT_GE(d.marks.size(), 4u);
  for (const LevelDiagram::Mark& m : d.marks) {
    EXPECT_NEAR(m.upperEnergy - m.lowerEnergy, d.quantum, 1e-4) << m.field;
    std::vector<double> levels;
    ASSERT_TRUE(computeLevelsAt(w, m.field, 30, 20, levels));
    EXPECT_NEAR(levels[m.upper - 1], m.upperEnergy, 1e-9);
  }
}

}  // namespace
}  // namespace quorra

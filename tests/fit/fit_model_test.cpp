// The fit's model: the linear part solved exactly, the points that take
// part, and the refusals of a request before any fit runs.

#include "fit/fit_model.h"

#include <gtest/gtest.h>

#include <cmath>

#include "app/parameter_names.h"
#include "app/simulation_commands.h"
#include "fit/fitter.h"

namespace quorra::fit {
namespace {

// A small axial copper system that simulates in milliseconds.
void smallCopper(CEprWindow& w) {
  setParameter(w, "thetaStep", "3");
  setParameter(w, "phiStep", "30");
  setParameter(w, "isotropicWidth", "25");
}

// The simulation of smallCopper on a 512-point grid, as an experiment.
Experiment simulatedExperiment(double gz) {
  SilentUserInterface ui;
  CEprWindow w(ui);
  smallCopper(w);
  w.spin.gz = gz;
  w.spin.points = 512;
  w.spin.fieldCentre = 3000;
  w.spin.fieldRange = 1400;
  EXPECT_TRUE(Simulate(w).redShown);
  Experiment e;
  e.path = "simulated";
  e.fieldCentre = 3000;
  e.fieldRange = 1400;
  e.points = 512;
  e.values.assign(w.redValues(), w.redValues() + 512);
  return e;
}

TEST(FitModel, ScaleAndBaselineAreSolvedExactly) {
  std::vector<Experiment> experiments = {simulatedExperiment(2.25)};
  const std::vector<double> simulation = experiments[0].values;
  // measured = 3.5·simulation + 0.2 + 0.1·t − 0.05·t², t from −1 to 1 over the grid
  for (int i = 0; i < 512; ++i) {
    const double t = -1 + 2.0 * i / 511;
    experiments[0].values[static_cast<size_t>(i)] =
        3.5 * simulation[static_cast<size_t>(i)] + 0.2 + 0.1 * t - 0.05 * t * t;
  }
  ModelSettings settings;
  settings.baselineOrder = 2;
  const std::vector<VariedParameter> varied = {{"gz", 2.2, 2.3, 2.25}};
  SpectrumModel model(experiments, smallCopper, varied, settings, nullptr);
  ASSERT_EQ(model.residualCount(), 512);
  std::vector<double> residuals(512);
  const double x = 2.25;
  ASSERT_TRUE(model.evaluate(&x, residuals.data()));
  const double peak = *std::max_element(simulation.begin(), simulation.end());
  for (double r : residuals) EXPECT_NEAR(r, 0.0, 1e-9 * 3.5 * peak);
  EXPECT_NEAR(model.linearPart(0).scale, 3.5, 1e-9);
  EXPECT_NEAR(model.linearPart(0).baseline[0], 0.2, 1e-9);
  EXPECT_NEAR(model.linearPart(0).baseline[1], 0.1, 1e-9);
  EXPECT_NEAR(model.linearPart(0).baseline[2], -0.05, 1e-9);
  const std::vector<double> spectrum = model.modelSpectrum(0);
  for (int i = 0; i < 512; i += 37)
    EXPECT_NEAR(spectrum[static_cast<size_t>(i)], experiments[0].values[static_cast<size_t>(i)], 1e-9 * peak);

  // The window and the excluded ranges leave points out; the field offset
  // moves the simulation: a shift of one grid step moves it by one point.
  settings.hasWindow = true;
  settings.window = {2500, 3500};
  settings.excluded = {{2900, 3000}};
  SpectrumModel windowed(experiments, smallCopper, varied, settings, nullptr);
  for (int i : windowed.includedPoints(0)) {
    const double field = experiments[0].fieldAt(i);
    EXPECT_TRUE(field >= 2500 && field <= 3500 && !(field >= 2900 && field <= 3000)) << field;
  }
  EXPECT_EQ(windowed.residualCount(), static_cast<int>(windowed.includedPoints(0).size()));
}

TEST(FitModel, AChangeOfTheWidthAloneGivesTheNumbersOfAWholeSimulation) {
  const std::vector<Experiment> experiments = {simulatedExperiment(2.25)};
  const std::vector<VariedParameter> varied = {{"gz", 2.2, 2.3, 2.25}, {"isotropicWidth", 10, 40, 25}};
  SpectrumModel reused(experiments, smallCopper, varied, {}, nullptr),
      fresh(experiments, smallCopper, varied, {}, nullptr);
  std::vector<double> once(512), again(512);
  const double first[] = {2.26, 25}, second[] = {2.26, 31};
  ASSERT_TRUE(reused.evaluate(first, once.data()));
  ASSERT_TRUE(reused.evaluate(second, once.data()));  // the sticks of the first point, convolved again
  ASSERT_TRUE(fresh.evaluate(second, again.data()));
  EXPECT_EQ(once, again);
  EXPECT_EQ(reused.linearPart(0).scale, fresh.linearPart(0).scale);
}

TEST(FitModel, RequestsThatCannotBeFittedAreRefusedInOneSentence) {
  std::vector<Experiment> experiments = {simulatedExperiment(2.25)};
  const ModelSettings plain;
  const auto check = [&](std::vector<VariedParameter> varied, ModelSettings settings = {}) {
    return checkModel(experiments, smallCopper, varied, settings);
  };
  EXPECT_EQ(check({{"gz", 2.2, 2.3, 2.25}}), "");
  EXPECT_EQ(check({}), "Nothing to fit: give at least one --vary NAME=LOW:HIGH.");
  EXPECT_EQ(check({{"gq", 2.2, 2.3, 2.25}}), "Unknown parameter name \"gq\".");
  EXPECT_EQ(check({{"points", 2, 3, 2}}), "points cannot be varied: only real numbers can.");
  EXPECT_EQ(check({{"nuclearSpinText", 2, 3, 2}}),
            "nuclearSpinText cannot be varied: only real numbers can.");
  EXPECT_EQ(check({{"fieldCentre", 2, 3, 2}}),
            "fieldCentre cannot be varied: the simulation takes each experiment's field grid.");
  EXPECT_EQ(check({{"gz", 2.3, 2.2, 2.25}}), "The bounds of gz must be finite with LOW below HIGH: 2.3:2.2.");
  EXPECT_EQ(check({{"gz", -1, 2.3, 2.25}}),
            "The bounds of gz must lie greater than 0 and at most 100: -1:2.3.");
  EXPECT_EQ(check({{"gz", 2.0, 2.1, 2.25}}), "The start value 2.25 of gz lies outside its bounds 2:2.1.");
  EXPECT_EQ(check({{"gz", 2.2, 2.3, 2.25}, {"gz", 2.2, 2.3, 2.25}}), "gz is varied twice.");
  ModelSettings settings;
  settings.hasWindow = true;
  settings.window = {8000, 9000};
  EXPECT_EQ(check({{"gz", 2.2, 2.3, 2.25}}, settings),
            "No point of simulated lies inside the field window and outside the excluded ranges.");
  settings.window = {9000, 8000};
  EXPECT_EQ(check({{"gz", 2.2, 2.3, 2.25}}, settings),
            "The field window must have FROM below TO: 9000:8000.");
  settings.hasWindow = false;
  settings.baselineOrder = 4;
  EXPECT_EQ(check({{"gz", 2.2, 2.3, 2.25}}, settings), "The baseline order must be 0, 1, 2 or 3, not 4.");
  experiments[0].values[7] = std::nan("");
  EXPECT_EQ(check({{"gz", 2.2, 2.3, 2.25}}),
            "The measured spectrum simulated holds a value that is not a finite number.");
}

TEST(Fitter, AParameterTheSpectrumIgnoresIsRefused) {
  // With I = 1/2 the quadrupole term vanishes: P changes nothing.
  const std::vector<Experiment> experiments = {simulatedExperiment(2.25)};
  const Configure spinHalf = [](CEprWindow& w) {
    smallCopper(w);
    setParameter(w, "nuclearSpinText", "1/2");
  };
  FitOptions options;
  options.threads = 1;
  const FitResult result = runFit(experiments, spinHalf, {{"P", -5, 5, 0}}, {}, options);
  EXPECT_FALSE(result.ok);
  EXPECT_TRUE(result.badInput);
  EXPECT_EQ(result.failure, "The fitted points do not depend on P: it cannot be fitted with these settings.");
}

TEST(Fitter, StudentQuantilesAgainstTheirTables) {
  EXPECT_NEAR(studentT95(1), 12.7062, 1e-4);
  EXPECT_NEAR(studentT95(10), 2.228139, 1e-6);
  EXPECT_NEAR(studentT95(11), 2.200985, 2e-4);
  EXPECT_NEAR(studentT95(30), 2.042272, 1e-5);
  EXPECT_NEAR(studentT95(1000), 1.962339, 1e-5);
  EXPECT_TRUE(std::isnan(studentT95(0)));
}

}  // namespace
}  // namespace quorra::fit

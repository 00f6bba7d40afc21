// The fit report as text: the table of results, the linear parts and the
// correlation matrix of a result, and what stands in for a missing error.

#include "fit/fit_report.h"

#include <gtest/gtest.h>

#include <cmath>

namespace quorra::fit {
namespace {

TEST(FitReport, TextHoldsTheTableTheLinearPartsAndTheCorrelations) {
  Experiment experiment;
  experiment.path = "x-band.DTA";
  experiment.frequency = 9.6;
  experiment.hasFrequency = true;
  const std::vector<VariedParameter> varied = {{"gz", 2.2, 2.3, 2.25}, {"isotropicWidth", 10, 30, 20}};
  FitResult result;
  result.ok = true;
  result.parameters = {{2.2601, 0.0012, 2.2577, 2.2625, false}, {30, std::nan(""), 0, 0, true}};
  result.correlation = {{1, std::nan("")}, {std::nan(""), std::nan("")}};
  result.sumOfSquares = 12.5;
  result.residualRms = 0.02;
  result.peakToPeak = 2;
  result.degreesOfFreedom = 1019;
  result.simulations = 77;
  result.seconds = 1.5;
  result.linear = {{0.5, {0.25, -0.125}}};
  ModelSettings settings;
  settings.baselineOrder = 1;
  settings.hasWindow = true;
  settings.window = {2500, 3500};
  settings.excluded = {{2900, 2950}};
  FitOptions options;
  options.method = Method::Global;
  options.starts = 8;
  options.seed = 3;

  const std::string text = reportText({experiment}, varied, settings, options, result);
  EXPECT_NE(text.find(", method global, 8 starts, seed 3\nexperiment x-band.DTA, 9.6 GHz\n"
                      "baseline order 1, window 2500 to 3500 G, excluded 2900 to 2950 G\n\n"),
            std::string::npos)
      << text;
  EXPECT_NE(
      text.find("gz                         2.2601         0.0012   [         2.2577,          2.2625]\n"
                "isotropicWidth                 30              -   at its bound\n"
                "chi2 12.5, residual RMS 0.01 of the peak-to-peak height, 77 simulations, 1.50 s\n"
                "1019 degrees of freedom\n"
                "experiment 1: scale 0.5, baseline 0.25 -0.125\n"),
      std::string::npos)
      << text;
  EXPECT_NE(text.find("correlation\n"
                      "                             gz isotropicWidth\n"
                      "gz                       1.0000              -\n"
                      "isotropicWidth                -              -\n"),
            std::string::npos)
      << text;
  EXPECT_EQ(text.find("nan"), std::string::npos);
}

}  // namespace
}  // namespace quorra::fit

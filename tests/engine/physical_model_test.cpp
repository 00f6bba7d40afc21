// The physical model against closed forms: microwave modes, the nuclear
// Zeeman sign (Breit–Rabi), isotope mixtures, Boltzmann populations, the
// sweep factor, g strain, the Voigt line, and both engine paths agreeing.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "engine/isotopes.h"
#include "engine/powder.h"
#include "engine/resonance_solver.h"
#include "engine/shf_table.h"
#include "synthesis/line_shape.h"

namespace quorra {
namespace {

// S = 1/2 with a spin-1/2 nucleus that does nothing: no moment, no
// hyperfine coupling.
SolverParameters freeElectron(double g = ResonanceSolver::ge) {
  SolverParameters p;
  p.gx = p.gy = p.gz = g;
  p.Ax = p.Ay = p.Az = 0;
  p.nuclearMoment = 0;
  p.twoI = 1;
  return p;
}

// Sum of the probabilities of one orientation's transitions.
double probabilityAt(const SolverParameters& p, double theta, double phi) {
  ResonanceSolver solver("", p, 3000, 6000, 4096);
  std::vector<double> sticks(4096);
  solver.processOrientation(theta, phi, 1.0, sticks.data());
  double sum = 0;
  for (int t = 0; t < solver.transitionCount(); ++t) sum += solver.transitions()[t].probability;
  EXPECT_GT(solver.transitionCount(), 0);
  return sum;
}

// Sum of what one orientation adds to the grid.
double intensityAt(const SolverParameters& p, double centre, double range, double theta = 30,
                   double phi = 10) {
  ResonanceSolver solver("", p, centre, range, 4096);
  std::vector<double> sticks(4096);
  solver.processOrientation(theta, phi, 1.0, sticks.data());
  double sum = 0;
  for (double v : sticks) sum += v;
  return sum;
}

TEST(PhysicalModel, FreeElectronInPerpendicularModeHasOneProbabilityInEveryDirection) {
  SolverParameters p = freeElectron();
  p.model.microwave = MicrowaveMode::Perpendicular;
  // (g/2)² for each of the two directions, twice: once per nuclear state.
  const double along = probabilityAt(p, 0, 0);
  EXPECT_NEAR(along, ResonanceSolver::ge * ResonanceSolver::ge, 1e-9);
  for (const double theta : {37.0, 60.0, 90.0, 133.0})
    for (const double phi : {0.0, 25.0, 90.0}) EXPECT_NEAR(probabilityAt(p, theta, phi), along, 1e-9);
  // The classic operator is not perpendicular to the field between the axes.
  p.model.microwave = MicrowaveMode::Exact;
  EXPECT_NEAR(probabilityAt(p, 0, 0), along, 1e-9);
  EXPECT_GT(std::fabs(probabilityAt(p, 37, 0) - along), 0.5);
}

TEST(PhysicalModel, FreeElectronInParallelModeHasNoIntensity) {
  SolverParameters p = freeElectron();
  p.model.microwave = MicrowaveMode::Parallel;
  for (const double theta : {0.0, 37.0, 90.0}) {
    EXPECT_LT(probabilityAt(p, theta, 20), 1e-20);
    EXPECT_LT(intensityAt(p, 3000, 6000, theta, 20), 1e-20);
  }
}

TEST(PhysicalModel, BreitRabiFieldsWithThePhysicalNuclearSign) {
  // 1H with an isotropic hyperfine coupling of 500 G at 9.6 GHz. The
  // ΔmI = 0 transitions of S = I = 1/2 lie where
  // ½(α − γ)B ± A′/2 + ½·√((α + γ)²B² + A′²) = hν,
  // α = g/ge, γ = gn·μN/(ge·μB), A′ = g·A/ge (the energy unit is ge·μB·G):
  // 4αγB² + 2c(α − γ)B + A′² − c² = 0 with c = 2hν ∓ A′.
  SolverParameters p = freeElectron(2.0);
  p.Ax = p.Ay = p.Az = 500;
  p.model.nucleus = "1H";
  p.model.nuclearSign = NuclearZeemanSign::Physical;
  p = referenceNucleusParameters(p);
  ASSERT_EQ(p.twoI, 1);
  const double ge = ResonanceSolver::ge;
  const double gn = 5.58569468;
  const double alpha = 2.0 / ge, gamma = gn * (0.00050504 / 0.9274015) / ge, a = 2.0 * 500 / ge;
  const double quantum = 9.6 * 714.468 / ge;
  std::vector<double> expected;
  for (const double sign : {-1.0, 1.0}) {
    const double c = 2 * quantum + sign * a;
    const double root =
        std::sqrt(4 * c * c * (alpha - gamma) * (alpha - gamma) + 16 * alpha * gamma * (c * c - a * a));
    expected.push_back(2 * (c * c - a * a) / (2 * c * (alpha - gamma) + root));
  }
  std::sort(expected.begin(), expected.end());
  auto fieldsOf = [](const SolverParameters& parameters) {
    ResonanceSolver solver("", parameters, 3500, 2000, 4096);
    std::vector<double> sticks(4096);
    solver.processOrientation(0, 0, 1.0, sticks.data());
    std::vector<double> fields;
    for (int t = 0; t < solver.transitionCount(); ++t)
      if (solver.transitions()[t].probability > 0.5) fields.push_back(solver.transitions()[t].field);
    std::sort(fields.begin(), fields.end());
    return fields;
  };
  const std::vector<double> found = fieldsOf(p);
  ASSERT_EQ(found.size(), 2u);
  for (int k = 0; k < 2; ++k) EXPECT_NEAR(found[k], expected[k], 2e-3) << k;
  // The classic sign moves them by a visible amount.
  p.model.nuclearSign = NuclearZeemanSign::Classic;
  const std::vector<double> classic = fieldsOf(p);
  ASSERT_EQ(classic.size(), 2u);
  EXPECT_GT(std::fabs(classic[0] - expected[0]) + std::fabs(classic[1] - expected[1]), 0.1);
}

// A powder spectrum on a coarse grid: the sticks (isotropic width).
std::vector<double> powder(SolverParameters p, const std::string& shf = "") {
  PowderRequest request;
  request.parameters = p;
  request.shfText = shf;
  request.points = 2048;
  request.thetaStep = 3;
  request.phiStep = 6;
  std::vector<double> target(request.points);
  int threads = 2;
  EXPECT_TRUE(runPowder(request, target.data(), threads).completed);
  return target;
}

TEST(PhysicalModel, NaturalCopperIsTheSumOfItsIsotopesWeighedByAbundance) {
  SolverParameters p;  // the default axial Cu(II)
  p.model.nucleus = "Cu";
  const std::vector<double> natural = powder(p);
  p.model.nucleus = "63Cu";
  const std::vector<double> cu63 = powder(p);
  p.model.nucleus = "65Cu";
  const double scale = 1.5878 / 1.4824;  // gn(65Cu)/gn(63Cu): A given for 63Cu
  p.Ax *= scale;
  p.Ay *= scale;
  p.Az *= scale;
  const std::vector<double> cu65 = powder(p);
  const double top = *std::max_element(natural.begin(), natural.end());
  ASSERT_GT(top, 0);
  double difference = 0;
  for (size_t i = 0; i < natural.size(); ++i)
    difference = std::max(difference, std::fabs(natural[i] - (0.6917 * cu63[i] + 0.3083 * cu65[i])));
  EXPECT_LT(difference, 1e-12 * top);
  // The two isotopes' spectra differ: the mixture is not one of them.
  double apart = 0;
  for (size_t i = 0; i < natural.size(); ++i) apart = std::max(apart, std::fabs(cu63[i] - cu65[i]));
  EXPECT_GT(apart, 0.01 * top);
}

TEST(PhysicalModel, BoltzmannFactorAtOneKelvinAnd94GHz) {
  // Two levels per electron spin state (a silent spin-1/2 nucleus): each of
  // the two resonant pairs has the population difference tanh(hν/2kT)/2.
  SolverParameters p = freeElectron();
  p.frequency = 94;
  p.temperature = 1;
  p.model.constants = ConstantSet::Codata2018;
  // (Off the resonance by a little: a resonance exactly on a scan field is
  // not bracketed.)
  const double centre = 94 * physicalConstants(ConstantSet::Codata2018).fieldPerFrequency / p.gz + 3;
  const double plain = intensityAt(p, centre, 2000);
  ASSERT_GT(plain, 0);
  p.model.populations = true;
  const double populated = intensityAt(p, centre, 2000);
  const double x = 6.62607015e-34 * 94e9 / (1.380649e-23 * 1.0);  // hν/kT
  EXPECT_NEAR(populated / plain, std::tanh(x / 2) / 2, 1e-9);
}

TEST(PhysicalModel, SweepFactorOfAnIsotropicLineIsOneOverGMuB) {
  // In the energy unit ge·μB·G, 1/(g·μB) per gauss is ge/g.
  for (const double g : {2.0, 4.0}) {
    SolverParameters p = freeElectron(g);
    const double plain = intensityAt(p, 3000, 6000);
    p.model.sweepFactor = true;
    EXPECT_NEAR(intensityAt(p, 3000, 6000) / plain, ResonanceSolver::ge / g, 1e-9) << g;
  }
}

TEST(PhysicalModel, LinesBetweenGridPointsMoveSmoothlyWithG) {
  // On a coarse grid (about 3 G a step) a line keeps its whole intensity,
  // and its centre of mass on the grid is its field, however little g moves
  // it; the nearest bin alone would move it in steps of the grid.
  for (const double g : {2.0, 2.0001, 2.0002, 2.0005}) {
    SolverParameters p = freeElectron(g);
    p.model.betweenPoints = true;
    ResonanceSolver solver("", p, 3000, 6000, 2048);
    std::vector<double> sticks(2048);
    solver.processOrientation(0, 0, 1.0, sticks.data());
    double total = 0, moment = 0;
    for (int i = 0; i < 2048; ++i) {
      total += sticks[i];
      moment += i * sticks[i];
    }
    double expectedTotal = 0;
    for (int t = 0; t < solver.transitionCount(); ++t) expectedTotal += solver.transitions()[t].probability;
    EXPECT_NEAR(total, expectedTotal, 1e-12 * expectedTotal);
    const double field = solver.transitions()[0].field;
    EXPECT_NEAR(moment / total, field / (6000.0 / 2047), 1e-9) << g;
  }
}

// A single orientation with lines of their own widths; its transitions.
std::vector<Transition> broadened(SolverParameters p, double theta, std::vector<double>& spectrum, int points,
                                  double centre, double range) {
  std::vector<double> kernel(points);
  const LineShapeKernel shape = computeLineShapeKernel(100, p.integral != 0, points, kernel.data());
  p.kernelExtent = shape.extent;
  p.kernelStep = shape.step;
  p.kernel = kernel.data();
  ResonanceSolver solver("", p, centre, range, points);
  spectrum.assign(points, 0.0);
  solver.processOrientation(theta, 0, 1.0, spectrum.data());
  return {solver.transitions(), solver.transitions() + solver.transitionCount()};
}

TEST(PhysicalModel, GStrainWidthsOfAnAxialSystemAlongAndAcrossTheAxis) {
  SolverParameters p = freeElectron();
  p.gx = p.gy = 2.05;
  p.gz = 2.25;
  p.isotropicWidthInUse = 1e-3;  // negligible beside the strain
  p.model.gStrainX = p.model.gStrainY = 0.01;
  p.model.gStrainZ = 0.02;
  std::vector<double> spectrum;
  for (const double theta : {0.0, 90.0}) {
    const std::vector<Transition> lines = broadened(p, theta, spectrum, 8192, 3000, 6000);
    ASSERT_FALSE(lines.empty());
    const double g = theta == 0 ? p.gz : p.gx, strain = theta == 0 ? 0.02 : 0.01;
    for (const Transition& t : lines) {
      EXPECT_NEAR(t.field, 9.6 * 714.468 / g, 1e-3);
      EXPECT_NEAR(t.width, t.field * strain / g, 1e-6 * t.width) << theta;
    }
  }
}

TEST(PhysicalModel, MDependentWidthsAndCorrelatedStrainAlongTheAxis) {
  // The default Cu(II) along z: the four lines have m = 3/2 … −3/2 (the
  // hyperfine field is along z; mixing leaves m within 1e-3 of its value).
  // Each width is W·(f0 + f1·m + f2·m²) in quadrature with the strains'
  // B·σg/g and m·σA, correlated by ρ: √(Wm² + a² + b² + 2ρ·a·b).
  SolverParameters p;
  p.model.mDependentWidths = true;
  p.mFactor0 = 1;
  p.mFactor1 = 0.2;
  p.mFactor2 = 0.1;
  p.model.gStrainZ = 0.01;
  p.model.aStrainZ = 8;
  p.model.strainCorrelation = 0.6;
  std::vector<double> spectrum;
  const std::vector<Transition> lines = broadened(p, 0, spectrum, 8192, 3000, 6000);
  int strong = 0;
  for (const Transition& t : lines) {
    if (t.probability < 0.5) continue;
    ++strong;
    // m from the field: B = (hν − Az·m·gz/ge·…)/…, to first order m = (B0 − B)/Az.
    const double B0 = 9.6 * 714.468 / p.gz;
    const double m = std::round((B0 - t.field) / p.Az * 2) / 2;
    const double own = 20 * (1 + 0.2 * m + 0.1 * m * m);
    const double a = t.field * 0.01 / p.gz, b = m * 8;
    EXPECT_NEAR(t.width, std::sqrt(own * own + a * a + b * b + 2 * 0.6 * a * b), 0.02) << m;
  }
  EXPECT_EQ(strong, 4);
}

TEST(PhysicalModel, VoigtLineWidthAgreesWithOliveroLongbothum) {
  SolverParameters p = freeElectron();
  p.integral = 1;  // the absorption line
  p.isotropicWidthInUse = 10;
  p.model.profile = LineProfile::Voigt;
  // The approximation itself is good to 2.4e-4 (its worst, near fL/fG =
  // 0.3); these ratios lie where it is within 2e-4 of the exact width.
  for (const double lorentz : {4.0, 6.0, 15.0, 30.0}) {
    p.model.lorentzWidth = lorentz;
    std::vector<double> line;
    const int points = 40001;
    const double range = 400, step = range / (points - 1);
    broadened(p, 0, line, points, 3425.5, range);
    const int top = static_cast<int>(std::max_element(line.begin(), line.end()) - line.begin());
    const double half = line[top] / 2;
    auto crossing = [&](int direction) {
      int i = top;
      while (line[i + direction] > half) i += direction;
      const double t = (line[i] - half) / (line[i] - line[i + direction]);
      return (i + direction * t) * step;
    };
    const double fwhm = crossing(1) - crossing(-1);
    // Gaussian σ = 10 G; Lorentzian half width √3·lorentzWidth.
    const double fG = 2 * std::sqrt(2 * std::log(2.0)) * 10, fL = 2 * std::sqrt(3.0) * lorentz;
    const double approximation = 0.5346 * fL + std::sqrt(0.2166 * fL * fL + fG * fG);
    EXPECT_NEAR(fwhm / approximation, 1.0, 2e-4) << lorentz;
  }
}

TEST(PhysicalModel, VoigtLineWithoutLorentzianIsTheGaussianLine) {
  // Same scale and shape as the Gaussian kernel's line, both derivative and
  // absorption.
  for (const int integral : {0, 1}) {
    SolverParameters p = freeElectron();
    p.integral = integral;
    p.isotropicWidthInUse = 10;
    p.model.mDependentWidths = true;  // every line on its own, W·1
    std::vector<double> gaussian, voigt;
    broadened(p, 0, gaussian, 40001, 3425.5, 400);
    p.model.profile = LineProfile::Voigt;
    broadened(p, 0, voigt, 40001, 3425.5, 400);
    const double top = *std::max_element(gaussian.begin(), gaussian.end());
    ASSERT_GT(top, 0);
    double difference = 0;
    for (size_t i = 0; i < voigt.size(); ++i)
      difference = std::max(difference, std::fabs(voigt[i] - gaussian[i]));
    EXPECT_LT(difference, 1e-3 * top) << integral;
  }
}

TEST(PhysicalModel, BothEnginePathsAgreeInThePhysicalModes) {
  SolverParameters p;
  p.gx = 2.02;
  p.gy = 2.06;
  p.Ax = 20;
  p.Ay = 40;
  applyPhysicalPreset(p.model);
  p.model.nucleus = "Cu";
  for (const int broadening : {0, 1}) {
    if (broadening) {
      p.model.mDependentWidths = true;
      p.mFactor1 = 0.1;
      p.model.gStrainZ = 0.01;
      p.model.aStrainZ = 5;
      p.model.strainCorrelation = 0.5;
      p.model.profile = LineProfile::Voigt;
      p.model.lorentzWidth = 3;
    }
    PowderRequest request;
    request.parameters = p;
    request.shfText = "   14N        10        12        15    1\r\n";
    request.points = 2048;
    request.thetaStep = 6;
    request.phiStep = 12;
    std::vector<double> kernel(request.points);
    const LineShapeKernel shape = computeLineShapeKernel(100, false, request.points, kernel.data());
    request.parameters.kernelExtent = shape.extent;
    request.parameters.kernelStep = shape.step;
    request.parameters.kernel = kernel.data();
    std::vector<double> slow(request.points), quick(request.points);
    int threads = 2;
    request.parameters.engine = Engine::Reference;
    runPowder(request, slow.data(), threads);
    request.parameters.engine = Engine::Fast;
    runPowder(request, quick.data(), threads);
    const double top = *std::max_element(slow.begin(), slow.end());
    const double bottom = *std::min_element(slow.begin(), slow.end());
    double difference = 0;
    for (int i = 0; i < request.points; ++i) difference = std::max(difference, std::fabs(slow[i] - quick[i]));
    EXPECT_GT(top - bottom, 0);
    EXPECT_LE(difference, 1e-6 * (top - bottom)) << "broadening " << broadening;
  }
}

TEST(PhysicalModel, IsotopeTableNamesAndMixtures) {
  EXPECT_EQ(isotopeTable().size(), 324u);  // 351 rows less the 27 elements without a known nuclide
  const NucleusLookup cu = lookUpNucleus("Cu");
  ASSERT_TRUE(cu.ok());
  ASSERT_EQ(cu.components.size(), 2u);
  EXPECT_EQ(cu.reference, "63Cu");
  EXPECT_DOUBLE_EQ(cu.components[0].weight, 0.6917);
  EXPECT_DOUBLE_EQ(cu.components[1].hyperfineScale, 1.5878 / 1.4824);
  const NucleusLookup n14 = lookUpNucleus("14N");
  ASSERT_TRUE(n14.ok());
  EXPECT_EQ(n14.components[0].isotope.twoI, 2);
  EXPECT_DOUBLE_EQ(n14.components[0].isotope.gn, 0.40376100);
  // Zinc: mostly spinless, with 4.1 % of 67Zn (I = 5/2).
  const NucleusLookup zn = lookUpNucleus("Zn");
  ASSERT_TRUE(zn.ok());
  EXPECT_EQ(zn.reference, "67Zn");
  EXPECT_EQ(zn.components.size(), 5u);
  // Its runs: the four spinless isotopes together (the unsplit line), then
  // 67Zn; without populations each share is over the number of nuclear
  // states relative to 67Zn's six.
  SolverParameters p;
  p.model.nucleus = "Zn";
  const std::vector<SolverParameters> runs = nucleusRuns(p);
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0].twoI, 1);
  EXPECT_EQ(runs[0].nuclearMoment, 0.0);
  EXPECT_EQ(runs[0].Az, 0.0);
  EXPECT_NEAR(runs[0].intensityScale, (0.4863 + 0.2790 + 0.1875 + 0.0062) * 6 / 2, 1e-12);
  EXPECT_EQ(runs[1].twoI, 5);
  EXPECT_DOUBLE_EQ(runs[1].nuclearMoment, 0.350192 * 2.5);
  EXPECT_EQ(runs[1].Az, 200.0);
  EXPECT_DOUBLE_EQ(runs[1].intensityScale, 0.041);
  for (const char* bad : {"Cx", "cu", "64Cu5", "99Cu", "", "Cuu"})
    EXPECT_EQ(
        lookUpNucleus(bad).error,
        std::string("Unknown nucleus \"") + bad +
            "\": give an isotope of the table such as 63Cu, 14N or 1H, or an element such as Cu for its "
            "natural mixture.");
  EXPECT_EQ(lookUpNucleus("180Ta").error, "The nucleus 180Ta has spin 9; the engine holds spins up to 7.");
}

TEST(PhysicalModel, ShfSetsByNucleusName) {
  // 14N alone is a spin-1 set; Cl a mixture of 35Cl and 37Cl.
  SolverParameters p;
  p.gx = 2.02;
  EXPECT_EQ(powder(p, "   14N        10        12        15    2\r\n"),
            powder(p, "   1        10        12        15    2\r\n"));
  const ShfParseResult chlorine = parseShfTable("Cl 10 10 10 1\r\n");
  ASSERT_TRUE(chlorine.ok());
  ASSERT_EQ(chlorine.sets.size(), 1u);
  const ShfSet& set = chlorine.sets[0];
  EXPECT_EQ(set.nucleus, "Cl");
  ASSERT_EQ(set.mixtureM.size(), 8u);  // four lines of 35Cl, four of 37Cl at gn(37)/gn(35)
  double total = 0;
  for (double w : set.mixtureWeight) total += w;
  EXPECT_NEAR(total, 4 * (0.7578 + 0.2422), 1e-12);
  EXPECT_NEAR(*std::max_element(set.mixtureM.begin(), set.mixtureM.end()), 1.5, 1e-12);
  EXPECT_NEAR(*std::min_element(set.mixtureM.begin(), set.mixtureM.end()), -1.5, 1e-12);
  EXPECT_NE(std::find_if(set.mixtureM.begin(), set.mixtureM.end(),
                         [](double M) { return std::fabs(M - 1.5 * 0.4560824 / 0.5479162) < 1e-12; }),
            set.mixtureM.end());
  EXPECT_EQ(
      parseShfTable("Cll 10 10 10 1\r\n").error,
      "Line 1 of the superhyperfine table names an unknown nucleus \"Cll\": give a spin (1/2, 1, ...), an "
      "isotope such as 14N or 1H, or an element such as Cl.");
}

}  // namespace
}  // namespace quorra

// The physical model on the command line: --preset physical, named nuclei,
// and the refusals (exit 2, nothing written).

#include <gtest/gtest.h>

#include <fstream>

#include "run_cli.h"

namespace quorra::testing {
namespace {

TEST(PhysicalModelCli, PresetAndNamedNucleiChangeTheSpectrumAndSayWhatIsInForce) {
  const std::string folder = makeTemporaryFolder();
  const std::vector<std::string> coarse = {"--set", "thetaStep=3", "--set", "points=2048"};
  auto simulate = [&](std::vector<std::string> args, const std::string& output) {
    args.insert(args.begin(), "simulate");
    args.insert(args.end(), coarse.begin(), coarse.end());
    args.push_back("-o");
    args.push_back(output);
    const CliResult run = runCli(args, folder);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    return run;
  };
  const CliResult exact = simulate({}, "exact.txt");
  EXPECT_EQ(exact.err.find("model"), std::string::npos) << exact.err;  // the exact default says nothing more
  const CliResult physical = simulate({"--preset", "physical", "--set", "nucleus=63Cu"}, "physical.txt");
  EXPECT_NE(
      physical.err.find("quorra: physical model: perpendicular, codata2018, physical nuclear sign, 63Cu, "
                        "populations, sweep factor, lines between points\n"),
      std::string::npos)
      << physical.err;
  EXPECT_NE(readFile(folder + "/exact.txt"), readFile(folder + "/physical.txt"));
  // The preset's choices one by one give the same file.
  simulate({"--set", "microwaveMode=perpendicular", "--set", "constants=codata2018", "--set",
            "nuclearZeemanSign=physical", "--set", "populations=1", "--set", "sweepFactor=1", "--set",
            "betweenPoints=1", "--set", "nucleus=63Cu"},
           "by_hand.txt");
  EXPECT_EQ(readFile(folder + "/physical.txt"), readFile(folder + "/by_hand.txt"));
  // A nucleus named in the superhyperfine table.
  {
    std::ofstream shf(folder + "/n.shf");
    shf << "14N 10 10 12 2\n";
  }
  simulate({"--shf", "n.shf"}, "named.txt");
  {
    std::ofstream shf(folder + "/spin.shf");
    shf << "1 10 10 12 2\n";
  }
  simulate({"--shf", "spin.shf"}, "spin.txt");
  EXPECT_EQ(readFile(folder + "/named.txt"), readFile(folder + "/spin.txt"));
}

TEST(PhysicalModelCli, JsonRecordsEveryChoiceOnlyWhenTheModelIsNotExact) {
  const CliResult exact = runCli({"fields", "--orientation", "0,0", "--json"});
  ASSERT_EQ(exact.exitCode, 0) << exact.err;
  EXPECT_EQ(exact.out.substr(0, 2), "[\n");
  const CliResult physical =
      runCli({"fields", "--orientation", "0,0", "--json", "--preset", "physical", "--set", "nucleus=Cu"});
  ASSERT_EQ(physical.exitCode, 0) << physical.err;
  const std::string expected =
      "{\"model\": {\"microwaveMode\": \"perpendicular\", \"constants\": \"codata2018\", "
      "\"nuclearZeemanSign\": \"physical\", \"nucleus\": \"Cu\", \"lineProfile\": \"mixture\", "
      "\"populations\": 1, \"temperature\": 300, \"sweepFactor\": 1, \"betweenPoints\": 1, "
      "\"mDependentWidths\": 0, \"mFactor0\": 1, \"mFactor1\": 0, \"mFactor2\": 0, \"gStrainX\": 0, "
      "\"gStrainY\": 0, \"gStrainZ\": 0, \"AStrainX\": 0, \"AStrainY\": 0, \"AStrainZ\": 0, "
      "\"strainCorrelation\": 0, \"lorentzWidth\": 0},\n\"transitions\": [\n  {\"field\": ";
  EXPECT_EQ(physical.out.substr(0, expected.size()), expected);
  EXPECT_EQ(physical.out.substr(physical.out.size() - 3), "]}\n");
}

TEST(PhysicalModelCli, BadChoicesExitTwoAndWriteNothing) {
  const std::string folder = makeTemporaryFolder();
  {
    std::ofstream shf(folder + "/typo.shf");
    shf << "Cll 10 10 12 2\n";
  }
  const struct {
    std::vector<std::string> args;
    std::string message;
  } cases[] = {
      {{"simulate", "--set", "nucleus=64Zn5"},
       "quorra: Unknown nucleus \"64Zn5\": give an isotope of the table such as 63Cu, 14N or 1H, or an "
       "element "
       "such as Cu for its natural mixture.\n"},
      {{"simulate", "--set", "nucleus=Cx"},
       "quorra: Unknown nucleus \"Cx\": give an isotope of the table such as 63Cu, 14N or 1H, or an element "
       "such "
       "as Cu for its natural mixture.\n"},
      {{"simulate", "--shf", "typo.shf"},
       "quorra: INVALID SHF TABLE: Line 1 of the superhyperfine table names an unknown nucleus \"Cll\": give "
       "a "
       "spin (1/2, 1, ...), an isotope such as 14N or 1H, or an element such as Cl.\n"},
      {{"simulate", "--set", "gStrainY=-1"},
       "quorra: The value of gStrainY must be between 0 and 100: \"-1\".\n"},
      {{"simulate", "--set", "strainCorrelation=2"},
       "quorra: The value of strainCorrelation must be between -1 and 1: \"2\".\n"},
      {{"fields", "--orientation", "0,0", "--set", "microwaveMode=sideways"},
       "quorra: The value of microwaveMode must be exact, perpendicular or parallel: \"sideways\".\n"},
      {{"simulate", "--preset", "physics"}, "quorra: --preset: physics not in {exact,physical}\n"},
  };
  for (const auto& c : cases) {
    const CliResult run = runCli(c.args, folder);
    EXPECT_EQ(run.exitCode, 2) << c.args[2];
    EXPECT_EQ(run.err, c.message);
    EXPECT_EQ(folderEntries(folder), std::vector<std::string>{"typo.shf"});
  }
}

}  // namespace
}  // namespace quorra::testing

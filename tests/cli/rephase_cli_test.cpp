// quorra rephase and quorra convert to the Harrow layout, run as a user runs
// them; their output is read back with the Harrow reader.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <numbers>

#include "../data/reference_json.h"
#include "data/harrow_reader.h"
#include "run_cli.h"

namespace quorra::testing {
namespace {

const std::string kBrukerDir = std::string(QUORRA_TESTDATA_DIR) + "/bruker/";

// A Harrow file of two channels on 201 points from 3.4 to 3.42 T.
std::string writeHarrow(const std::string& folder) {
  const std::string path = folder + "/two.dat";
  std::ofstream out(path, std::ios::binary);
  out << "Source Freq 94.9\r\nITC set at 4.2 K: 4.2\r\n>BEGIN\r\n";
  for (int i = 0; i <= 200; ++i) {
    const double x = (i - 100) / 10.0;
    out << 3.4 + i * 1e-4 << "\t" << 10 / (1 + x * x) << "\t" << 10 * x / (1 + x * x) << "\n";
  }
  return path;
}

TEST(RephaseCli, RotatesBothChannelsAndRotatesBack) {
  const std::string folder = makeTemporaryFolder();
  const std::string input = writeHarrow(folder);
  const HarrowOutcome original = ReadHarrowFile(input);
  ASSERT_TRUE(original.ok);

  CliResult run = runCli({"rephase", input, "--angle", "30", "-o", "r.dat"}, folder);
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.err.find("quorra: 201 points of"), 0u) << run.err;
  const HarrowOutcome rotated = ReadHarrowFile(folder + "/r.dat");
  ASSERT_TRUE(rotated.ok);
  EXPECT_EQ(rotated.channel1.frequency, 94.9);
  EXPECT_EQ(rotated.channel1.temperature, 300);  // not written
  EXPECT_NEAR(rotated.channel1.fieldCentre, 3.41, 1e-12);
  EXPECT_NEAR(rotated.channel1.fieldRange, 0.02, 1e-12);
  const double c = std::cos(std::numbers::pi / 6), s = std::sin(std::numbers::pi / 6);
  const std::vector<double>& x1 = original.channel1.values;
  const std::vector<double>& x2 = original.channel2.values;
  ASSERT_EQ(rotated.channel1.values.size(), 201u);
  for (size_t i = 0; i < 201; ++i) {
    ASSERT_NEAR(rotated.channel1.values[i], c * x1[i] + s * x2[i], 6e-6) << i;
    ASSERT_NEAR(rotated.channel2.values[i], c * x2[i] - s * x1[i], 6e-6) << i;
  }

  run = runCli({"rephase", "r.dat", "--angle", "-30", "-o", "back.dat"}, folder);
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const HarrowOutcome back = ReadHarrowFile(folder + "/back.dat");
  ASSERT_TRUE(back.ok);
  for (size_t i = 0; i < 201; ++i) {
    ASSERT_NEAR(back.channel1.values[i], x1[i], 2e-5) << i;
    ASSERT_NEAR(back.channel2.values[i], x2[i], 2e-5) << i;
  }
}

TEST(RephaseCli, ComplexBrukerTraceTurnedByNinetyDegrees) {
  const std::string folder = makeTemporaryFolder();
  const JsonValue ref = readJsonFile(kBrukerDir + "calib_10dB_RT_9370-9440mT_lin_1G.ref.json");
  const CliResult run =
      runCli({"rephase", kBrukerDir + ref["files"]["data"].text, "--angle", "90", "-o", "c.dat"}, folder);
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const HarrowOutcome out = ReadHarrowFile(folder + "/c.dat");
  ASSERT_TRUE(out.ok);
  EXPECT_NEAR(out.channel1.fieldCentre * 10000, 94050, 1e-6);
  EXPECT_NEAR(out.channel1.fieldRange * 10000, 700, 1e-6);
  EXPECT_NEAR(out.channel1.frequency, ref["frequency_monitor_ghz"].number, 5e-6);
  ASSERT_EQ(out.channel1.values.size(), 2801u);
  // The imaginary part becomes channel 1, the negated real part channel 2.
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(out.channel1.values[i], ref["intensity_imag"]["first5"].items[i].number);
    EXPECT_EQ(out.channel2.values[i], -ref["intensity"]["first5"].items[i].number);
  }
}

TEST(RephaseCli, ConvertWritesTheHarrowLayout) {
  const std::string folder = makeTemporaryFolder();
  // A one-trace file: zeros in channel 1, the trace in channel 2, so that
  // the Harrow loader shows it in blue.
  CliResult run = runCli({"convert", kBrukerDir + "Example1D.spc", "-o", "e.DAT"}, folder);
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const std::string text = readFile(folder + "/e.DAT");
  const JsonValue ref = readJsonFile(kBrukerDir + "Example1D.ref.json");
  char frequencyLine[64];
  std::snprintf(frequencyLine, sizeof frequencyLine, "Source Freq  %10.5lf\r\n", ref["frequency_ghz"].number);
  EXPECT_EQ(text.rfind(std::string("Exp\r\n") + frequencyLine + "Converted from ", 0), 0u)
      << text.substr(0, 80);
  EXPECT_NE(text.find("\r\n\r\n>BEGIN\r\n 0.330500\t 0.00000\t55.78125\n"), std::string::npos);
  const HarrowOutcome one = ReadHarrowFile(folder + "/e.DAT");
  ASSERT_TRUE(one.ok);
  EXPECT_TRUE(one.channel1.values.empty());  // flat, left out
  EXPECT_EQ(one.channel2.values.front(), ref["intensity"]["first5"].items[0].number);
  EXPECT_EQ(one.channel2.values.back(), ref["intensity"]["last5"].items[4].number);
}

TEST(RephaseCli, RefusalsExitTwoAndWriteNothing) {
  const std::string folder = makeTemporaryFolder();
  const std::string input = writeHarrow(folder);
  const auto expectRefused = [&](const std::vector<std::string>& args, const std::string& message) {
    const CliResult run = runCli(args, folder);
    EXPECT_EQ(run.exitCode, 2) << args[1];
    EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
    EXPECT_EQ(folderEntries(folder), std::vector<std::string>{"two.dat"});
  };
  expectRefused(
      {"rephase", kBrukerDir + "strong1.dta", "--angle", "10", "-o", "x.dat"},
      "quorra: " + kBrukerDir +
          "strong1.dta holds one channel; rephasing needs two (a Harrow .dat file or a complex Bruker "
          "file).\n");
  expectRefused({"rephase", input, "--angle", "inf", "-o", "x.dat"},
                "quorra: --angle must be a finite number of degrees.\n");
  expectRefused({"rephase", input, "--angle", "ten", "-o", "x.dat"}, "--angle");
  expectRefused({"rephase", input, "-o", "x.dat"}, "--angle is required");
  expectRefused({"rephase", folder + "/missing.dat", "--angle", "1", "-o", "x.dat"}, "Error opening file");
  expectRefused({"rephase", kBrukerDir + "data_1d.DTA", "--angle", "1", "-o", "x.dat"}, "NOT A FIELD SWEEP");
}

}  // namespace
}  // namespace quorra::testing

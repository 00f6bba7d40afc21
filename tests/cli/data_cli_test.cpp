// quorra info and quorra convert, run as a user runs them, on the shared
// spectrometer files and on written text and Harrow files.

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

#include "../data/reference_json.h"
#include "data/text_spectrum.h"
#include "run_cli.h"

namespace quorra::testing {
namespace {

const std::string kBrukerDir = std::string(QUORRA_TESTDATA_DIR) + "/bruker/";

void writeText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

TEST(DataCli, InfoJsonMatchesTheReferenceValues) {
  for (const char* base : {"99090211", "AcridineDeriv_Irrad_365nm", "EMX_2Dpowersweep", "ESP"}) {
    SCOPED_TRACE(base);
    const JsonValue ref = readJsonFile(kBrukerDir + base + ".ref.json");
    const CliResult run = runCli({"info", "--json", kBrukerDir + ref["files"]["data"].text});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const JsonValue info = JsonParser(run.out).parse();
    EXPECT_EQ(info["format"].text, ref["format"].text);
    EXPECT_EQ(info["points"].number, ref["points"].number);
    EXPECT_EQ(info["traces"].number, ref.has("y_points") ? ref["y_points"].number : 1.0);
    EXPECT_NEAR(info["field_first_gauss"].number, ref["x_first"].number, 1e-9 * ref["x_first"].number);
    EXPECT_NEAR(info["field_last_gauss"].number, ref["x_last"].number, 1e-9 * ref["x_last"].number);
    if (ref.has("frequency_monitor_ghz"))
      EXPECT_EQ(info["frequency_ghz"].number, ref["frequency_monitor_ghz"].number);
    else if (ref.has("frequency_ghz"))
      EXPECT_NEAR(info["frequency_ghz"].number, ref["frequency_ghz"].number,
                  1e-9 * ref["frequency_ghz"].number);
    else
      EXPECT_TRUE(info["frequency_ghz"].isNull());
    const JsonValue& stats = ref.has("first_trace") ? ref["first_trace"] : ref["intensity"];
    EXPECT_EQ(info["min"].number, stats["min"].number);
    EXPECT_EQ(info["max"].number, stats["max"].number);
    EXPECT_NEAR(info["sum"].number, stats["sum"].number, 1e-10 * stats["sum_abs"].number);
    EXPECT_FALSE(info["parameters"].text.empty());
  }

  const CliResult text = runCli({"info", kBrukerDir + "strong1.dta"});
  ASSERT_EQ(text.exitCode, 0) << text.err;
  EXPECT_NE(text.out.find("format       BES3T\npoints       1024\nfield        3375 ... 3425 G\n"),
            std::string::npos)
      << text.out;
  EXPECT_NE(text.out.find("parameters\nJSD 1\nGST 3375.000000\n"), std::string::npos) << text.out;
}

TEST(DataCli, RefusalsExitTwoWithTheMessage) {
  const std::string folder = makeTemporaryFolder();
  CliResult run = runCli({"info", kBrukerDir + "BDPA-1DTimeSweep.DTA"}, folder);
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_EQ(run.out, "");
  EXPECT_NE(run.err.find("NOT A FIELD SWEEP"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("Error reading file: " + kBrukerDir + "BDPA-1DTimeSweep.DTA"), std::string::npos);

  run = runCli({"convert", kBrukerDir + "data_1d.DTA", "-o", "out.txt"}, folder);
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_TRUE(folderEntries(folder).empty());

  run = runCli({"info", folder + "/missing.txt"}, folder);
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_NE(run.err.find("FILE NOT FOUND"), std::string::npos) << run.err;

  writeText(folder + "/equal.dat", ">BEGIN\n5 1 2\n5 3 4\n");  // silently refused by the reader
  run = runCli({"info", folder + "/equal.dat"}, folder);
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_NE(run.err.find("no spectrum could be loaded"), std::string::npos) << run.err;
}

TEST(DataCli, ConvertWritesTheLoadedTraceAsText) {
  const std::string folder = makeTemporaryFolder();
  const CliResult run = runCli({"convert", kBrukerDir + "Example1D.spc", "-o", "example.txt"}, folder);
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(folderEntries(folder), std::vector<std::string>{"example.txt"});
  const std::string text = readFile(folder + "/example.txt");
  EXPECT_EQ(text.substr(0, 11), " 3305.0000 ");
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 512);

  // Read back, it describes the same spectrum at the printed precision.
  const CliResult info = runCli({"info", "--json", folder + "/example.txt"});
  ASSERT_EQ(info.exitCode, 0) << info.err;
  const JsonValue back = JsonParser(info.out).parse();
  const JsonValue ref = readJsonFile(kBrukerDir + "Example1D.ref.json");
  EXPECT_EQ(back["format"].text, "text");
  EXPECT_EQ(back["points"].number, 512);
  EXPECT_NEAR(back["field_first_gauss"].number, 3305.0, 1e-9);
  EXPECT_NEAR(back["field_last_gauss"].number, 3405.0, 1e-9);
  EXPECT_TRUE(back["frequency_ghz"].isNull());
  EXPECT_NEAR(back["max"].number, ref["intensity"]["max"].number, 5e-6 * ref["intensity"]["max"].number);
  EXPECT_EQ(back["parameters"].text, "");

  // A Harrow file: the header is the parameter text, two channels.
  writeText(folder + "/h.dat", "Source Freq 95.0\n>BEGIN\n3400 1 4\n3401 2 5\n3402 3 7\n");
  const CliResult harrow = runCli({"info", "--json", folder + "/h.dat"});
  ASSERT_EQ(harrow.exitCode, 0) << harrow.err;
  const JsonValue h = JsonParser(harrow.out).parse();
  EXPECT_EQ(h["format"].text, "Harrow");
  EXPECT_EQ(h["traces"].number, 2);
  EXPECT_EQ(h["frequency_ghz"].number, 95.0);
  EXPECT_EQ(h["sum"].number, 16.0);
  EXPECT_EQ(h["parameters"].text, "Source Freq 95.0\r\n");
}

}  // namespace
}  // namespace quorra::testing

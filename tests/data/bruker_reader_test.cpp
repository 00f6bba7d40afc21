// The Bruker reader against real spectrometer files (with reference values
// from an independent reader), and its pairing of the picked file with its
// companion. The rules of each format on small files are tested in
// bes3t_reader_test.cpp and esp_reader_test.cpp.

#include "data/bruker_reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "bruker_test_bytes.h"
#include "data/experimental_parameters.h"
#include "reference_json.h"
#include "temp_folder.h"

namespace quorra {
namespace {

using testing::JsonValue;
using testing::TempFolder;
using testing::titles;

const std::string kBrukerDir = std::string(QUORRA_TESTDATA_DIR) + "/bruker/";

void expectRelative(double actual, double expected, const std::string& what) {
  EXPECT_NEAR(actual, expected, 1e-9 * std::max(1.0, std::fabs(expected))) << what;
}

TEST(BrukerReader, SharedFilesMatchTheirReferenceValues) {
  int pairs = 0, refused = 0;
  for (const auto& entry : std::filesystem::directory_iterator(kBrukerDir)) {
    const std::string name = entry.path().filename().string();
    if (name.size() < 9 || name.substr(name.size() - 9) != ".ref.json") continue;
    ++pairs;
    const JsonValue ref = testing::readJsonFile(entry.path().string());
    const std::string picked = kBrukerDir + ref["files"]["data"].text;
    SCOPED_TRACE(picked);
    PreviousGrid previous;
    previous.frequency = 7.5;
    const ReadOutcome outcome = ReadBrukerSpectrum(picked, previous);

    const std::string unit = ref["x_unit"].text;
    if (unit != "G" && unit != "T") {
      ++refused;
      ASSERT_FALSE(outcome.ok);
      ASSERT_EQ(outcome.messages.size(), 1u) << titles(outcome);
      EXPECT_EQ(outcome.messages[0].title, "NOT A FIELD SWEEP");
      EXPECT_EQ(outcome.messages[0].icon, MessageIcon::Stop);
      EXPECT_NE(outcome.messages[0].text.find("in " + unit + ","), std::string::npos)
          << outcome.messages[0].text;
      continue;
    }
    ASSERT_TRUE(outcome.ok) << titles(outcome);
    const ExperimentalSpectrum& s = outcome.spectrum;
    const int points = static_cast<int>(ref["points"].number);
    ASSERT_EQ(static_cast<int>(s.values.size()), points);
    EXPECT_EQ(s.traces, ref.has("y_points") ? static_cast<int>(ref["y_points"].number) : 1);
    expectRelative(s.fieldCentre - s.fieldRange / 2, ref["x_first"].number, "first field");
    expectRelative(s.fieldCentre + s.fieldRange / 2, ref["x_last"].number, "last field");

    if (ref.has("frequency_monitor_ghz")) {
      expectRelative(s.frequency, ref["frequency_monitor_ghz"].number, "FrequencyMon");
    } else if (ref.has("frequency_ghz")) {
      expectRelative(s.frequency, ref["frequency_ghz"].number, "frequency");
    } else {
      EXPECT_FALSE(s.hasFrequency);
      EXPECT_EQ(s.frequency, 7.5);  // kept
    }

    const JsonValue& stats = ref.has("first_trace") ? ref["first_trace"] : ref["intensity"];
    double min = s.values[0], max = s.values[0], sum = 0.0;
    for (double v : s.values) {
      min = std::min(min, v);
      max = std::max(max, v);
      sum += v;
    }
    expectRelative(min, stats["min"].number, "min");
    expectRelative(max, stats["max"].number, "max");
    EXPECT_NEAR(sum, stats["sum"].number, 1e-10 * stats["sum_abs"].number) << "sum";
    for (int i = 0; i < 5; ++i) {
      EXPECT_EQ(s.values[i], stats["first5"].items[i].number) << "value " << i;
      EXPECT_EQ(s.values[points - 5 + i], stats["last5"].items[i].number) << "value " << points - 5 + i;
    }

    if (ref["format"].text == "BES3T") {
      EXPECT_EQ(s.parameterText.rfind("JSD ", 0), 0u);
      const bool complex = ref["data_encoding"]["complex"].items[0].boolean;
      EXPECT_EQ(s.parameterText.find(complexDataNote()) != std::string::npos, complex);
      // The quadrature channel of a complex trace comes with it.
      ASSERT_EQ(s.imaginary.size(), complex ? s.values.size() : 0u);
      if (complex) {
        const JsonValue& imag = ref["intensity_imag"];
        double imagSum = 0.0;
        for (double v : s.imaginary) imagSum += v;
        EXPECT_NEAR(imagSum, imag["sum"].number, 1e-10 * imag["sum_abs"].number);
        for (int i = 0; i < 5; ++i)
          EXPECT_EQ(s.imaginary[i], imag["first5"].items[i].number) << "imaginary " << i;
      }
    }
    EXPECT_EQ(s.parameterText.find(tracesNote(s.traces)) != std::string::npos, s.traces > 1);
  }
  EXPECT_EQ(pairs, 24);
  EXPECT_EQ(refused, 3);  // a time sweep, a pulse time trace and an ENDOR spectrum
}

TEST(BrukerReader, DescriptionSummaryAndParameterFileText) {
  const ReadOutcome dsc = ReadBrukerSpectrum(kBrukerDir + "99090211.dta", PreviousGrid{});
  ASSERT_TRUE(dsc.ok);
  EXPECT_EQ(dsc.spectrum.parameterText,
            "JSD 5\r\nGST 3230.000000\r\nGSI 500.000000\r\nHCF 3480.000000\r\nHSW 500.000000\r\n"
            "MF 9.809631\r\nMP 1.006000\r\nRMA 1.000000\r\nRRG 1000.000000\r\nRCT 327.680000\r\n"
            "RES 1024\r\nJCO 'Experiment'");
  EXPECT_EQ(dsc.spectrum.title, "Experiment");

  // CR-only lines get a line feed; the text ends at its last digit.
  const ReadOutcome par = ReadBrukerSpectrum(kBrukerDir + "100416_wt60min.spc", PreviousGrid{});
  ASSERT_TRUE(par.ok);
  EXPECT_EQ(par.spectrum.parameterText.rfind("JSS  2\r\nADEV  1\r\nVERS  773\r\n", 0), 0u);
  const std::string tail = "RTC  4.096000e+01";
  EXPECT_EQ(par.spectrum.parameterText.substr(par.spectrum.parameterText.size() - tail.size()), tail);
  EXPECT_EQ(par.spectrum.title, "WT Apr10 60min 20K");
  EXPECT_EQ(parameterFileText("A 1\rB x \r\n"), "A 1");
  EXPECT_EQ(parameterFileText("no digits\r"), "");
}

TEST(BrukerReader, MissingFilesAndExtensions) {
  TempFolder folder;
  ReadOutcome outcome = ReadBrukerSpectrum(folder.file("none.dta"), PreviousGrid{});
  ASSERT_EQ(outcome.messages.size(), 1u);
  EXPECT_EQ(outcome.messages[0].text, folder.file("none.dsc"));
  EXPECT_EQ(outcome.messages[0].title, "FILE NOT FOUND");

  folder.write("d.dsc", "XPTS 2\n");
  outcome = ReadBrukerSpectrum(folder.file("d.dta"), PreviousGrid{});
  ASSERT_EQ(outcome.messages.size(), 1u);
  EXPECT_EQ(outcome.messages[0].text, folder.file("d.dta"));
  EXPECT_EQ(outcome.messages[0].title, "FILE NOT FOUND");

  outcome = ReadBrukerSpectrum(folder.file("none.SPC"), PreviousGrid{});
  ASSERT_EQ(outcome.messages.size(), 1u);
  EXPECT_EQ(outcome.messages[0].text, folder.file("none.par"));
  EXPECT_EQ(outcome.messages[0].title, "PARAMETER FILE NOT FOUND");

  // No extension, a dot only at the start, another extension: no message.
  for (const std::string& path : std::vector<std::string>{".dta", "nodot", folder.file("d.txt")}) {
    outcome = ReadBrukerSpectrum(path, PreviousGrid{});
    EXPECT_FALSE(outcome.ok);
    EXPECT_TRUE(outcome.messages.empty()) << path;
  }
}

}  // namespace
}  // namespace quorra

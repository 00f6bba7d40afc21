// The Bruker reader against real spectrometer files (with reference values
// from an independent reader) and against small files that exercise one rule
// each.

#include "data/bruker_reader.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <filesystem>

#include "data/experimental_parameters.h"
#include "reference_json.h"
#include "temp_folder.h"

namespace quorra {
namespace {

using testing::JsonValue;
using testing::TempFolder;

const std::string kBrukerDir = std::string(QUORRA_TESTDATA_DIR) + "/bruker/";

void expectRelative(double actual, double expected, const std::string& what) {
  EXPECT_NEAR(actual, expected, 1e-9 * std::max(1.0, std::fabs(expected))) << what;
}

std::string titles(const ReadOutcome& outcome) {
  std::string text;
  for (const ReadMessage& m : outcome.messages) text += m.title + ": " + m.text + "\n";
  return text;
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
      EXPECT_NE(outcome.messages[0].text.find("in " + unit + ","), std::string::npos) << outcome.messages[0].text;
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
        for (int i = 0; i < 5; ++i) EXPECT_EQ(s.imaginary[i], imag["first5"].items[i].number) << "imaginary " << i;
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

// --- Small files written for one rule each -----------------------------------

// raw as size bytes in the given order.
std::string bytesOf(uint64_t raw, int size, bool bigEndian) {
  std::string bytes;
  for (int i = 0; i < size; ++i) bytes += static_cast<char>((raw >> (8 * (bigEndian ? size - 1 - i : i))) & 0xff);
  return bytes;
}
std::string littleEndian(uint64_t raw, int size) { return bytesOf(raw, size, false); }
std::string bigEndian(uint64_t raw, int size) { return bytesOf(raw, size, true); }
std::string bigEndianDoubles(std::initializer_list<double> values) {
  std::string bytes;
  for (double v : values) bytes += bigEndian(std::bit_cast<uint64_t>(v), 8);
  return bytes;
}

TEST(BrukerReader, DescriptionKeysDefaultsAndFallbacks) {
  TempFolder folder;
  const std::string data = folder.write("a.DTA", bigEndianDoubles({1, 2, 3, 4}));
  PreviousGrid previous;
  previous.fieldCentre = 3300;
  previous.fieldRange = 200;
  previous.frequency = 9.1;

  // XPTS without Resolution; tesla values stay in the text; defaults of the
  // acquisition settings; a companion found with the lower-case extension.
  folder.write("a.dsc", "XPTS\t4\nXMIN\t0.33\nXWID\t0.02\n");
  ReadOutcome outcome = ReadBrukerSpectrum(data, previous);
  ASSERT_TRUE(outcome.ok) << titles(outcome);
  EXPECT_EQ(outcome.spectrum.values, (std::vector<double>{1, 2, 3, 4}));
  EXPECT_DOUBLE_EQ(outcome.spectrum.fieldCentre, 0.34);
  EXPECT_FALSE(outcome.spectrum.hasFrequency);
  EXPECT_EQ(outcome.spectrum.frequency, 9.1);
  EXPECT_EQ(outcome.spectrum.parameterText,
            "JSD 1\r\nGST 0.330000\r\nGSI 0.020000\r\nHCF 0.340000\r\nHSW 0.020000\r\nMF 9.100000\r\n"
            "MP 10.000000\r\nRMA 5.000000\r\nRRG 1000.000000\r\nRCT 10.240000\r\nRES 4\r\nJCO ");

  // Keys match as prefixes; a value that does not convert keeps the previous
  // one (XMIN missing: the previous centre is the start); MWFQ in hertz when
  // there is no FrequencyMon line.
  folder.write("a.dsc", "XWIDTH abc\nResolutionX 4\nMWFQ 9.5e9\nPowers 3\nTITL\t'x y'\r\n");
  outcome = ReadBrukerSpectrum(data, previous);
  ASSERT_TRUE(outcome.ok) << titles(outcome);
  EXPECT_EQ(outcome.spectrum.fieldRange, 200);
  EXPECT_EQ(outcome.spectrum.fieldCentre, 3400);
  EXPECT_EQ(outcome.spectrum.frequency, 9.5);
  EXPECT_NE(outcome.spectrum.parameterText.find("MP 3.000000"), std::string::npos);  // "Power" matched "Powers"
  EXPECT_EQ(outcome.spectrum.title, "x y");

  folder.write("a.dsc", "XMIN 3000\nXWID 100\n");
  outcome = ReadBrukerSpectrum(data, previous);
  ASSERT_EQ(outcome.messages.size(), 1u);
  EXPECT_EQ(outcome.messages[0].text, folder.file("a.dsc"));
  EXPECT_EQ(outcome.messages[0].title, "Resolution unknown");
}

TEST(BrukerReader, DataFormatsOfTheDescription) {
  TempFolder folder;
  const auto read = [&](const std::string& description, const std::string& data) {
    folder.write("b b.DSC", description);
    return ReadBrukerSpectrum(folder.write("b b.dta", data), PreviousGrid{});
  };
  // Little-endian floats, big-endian 16-bit and 8-bit integers.
  std::string floats;
  for (float v : {1.5f, -2.25f, 3.0f}) floats += littleEndian(std::bit_cast<uint32_t>(v), 4);
  ReadOutcome outcome = read("XPTS 3\nBSEQ LIT\nIRFMT F\n", floats);
  ASSERT_TRUE(outcome.ok) << titles(outcome);
  EXPECT_EQ(outcome.spectrum.values, (std::vector<double>{1.5, -2.25, 3.0}));
  outcome = read("XPTS 3\nBSEQ BIG\nIRFMT S\n", bigEndian(0xfffe, 2) + bigEndian(7, 2) + bigEndian(0x8000, 2));
  ASSERT_TRUE(outcome.ok) << titles(outcome);
  EXPECT_EQ(outcome.spectrum.values, (std::vector<double>{-2, 7, -32768}));
  outcome = read("XPTS 2\nIRFMT C\n", std::string("\xff\x05", 2));
  ASSERT_TRUE(outcome.ok) << titles(outcome);
  EXPECT_EQ(outcome.spectrum.values, (std::vector<double>{-1, 5}));

  // 2D: the first of YPTS × ZPTS traces.
  outcome = read("XPTS 2\nYPTS 2\nZPTS 2\n", bigEndianDoubles({1, 2, 3, 4, 5, 6, 7, 8}));
  ASSERT_TRUE(outcome.ok) << titles(outcome);
  EXPECT_EQ(outcome.spectrum.values, (std::vector<double>{1, 2}));
  EXPECT_EQ(outcome.spectrum.traces, 4);

  // Refusals, each with its own message.
  const auto refusal = [&](const std::string& description, const std::string& data) {
    const ReadOutcome refused = read(description, data);
    EXPECT_FALSE(refused.ok);
    return refused.messages.size() == 1 ? refused.messages[0].title : titles(refused);
  };
  EXPECT_EQ(refusal("XPTS 2\nYPTS 3\n", bigEndianDoubles({1, 2, 3, 4, 5})), "DATA FILE TOO SHORT");
  EXPECT_EQ(refusal("XPTS 2\nIRFMT A\n", "12"), "UNKNOWN DATA FORMAT");
  EXPECT_EQ(refusal("XPTS 2\nBSEQ MID\n", bigEndianDoubles({1, 2})), "UNKNOWN DATA FORMAT");
  EXPECT_EQ(refusal("XPTS 2\nIKKF QUAT\n", bigEndianDoubles({1, 2})), "UNKNOWN DATA FORMAT");
  EXPECT_EQ(refusal("XPTS 1\n", bigEndianDoubles({1})), "NO SPECTRUM IN FILE");
  EXPECT_EQ(refusal("XPTS 16777217\n", bigEndianDoubles({1, 2})), "TOO MANY POINTS");
  EXPECT_EQ(refusal("XPTS 2\nXWID nan\n", bigEndianDoubles({1, 2})), "INVALID PARAMETERS");
  EXPECT_EQ(refusal("XPTS 2\n", bigEndianDoubles({4, 4})), "FLAT SPECTRUM");
  EXPECT_EQ(refusal("XPTS 2\nXNAM 'Frequency'\nXUNI 'MHz'\n", bigEndianDoubles({1, 2})), "NOT A FIELD SWEEP");
  EXPECT_NE(read("XPTS 2\nXNAM 'Frequency'\nXUNI 'MHz'\n", "").messages[0].text.find("'Frequency' in MHz"),
            std::string::npos);

  // A point count that is not a whole number in range is refused with its
  // key and value, not replaced by the previous count or cut at the point.
  const std::string points = " is not a whole number from 2 to 16777216.";
  const auto fullRefusal = [&](const std::string& description) {
    const ReadOutcome refused = read(description, bigEndianDoubles({1, 2, 3, 4}));
    EXPECT_FALSE(refused.ok);
    if (refused.messages.size() != 1) return titles(refused);
    const ReadMessage& m = refused.messages[0];
    return m.text + "|" + m.title + (m.icon == MessageIcon::Stop ? "" : "|icon");
  };
  const std::string dsc = folder.file("b b.DSC") + "\nThe number of points ";
  EXPECT_EQ(fullRefusal("XPTS 4.5\n"), dsc + "XPTS \"4.5\"" + points + "|INVALID PARAMETERS");
  EXPECT_EQ(fullRefusal("XPTS\t2147483648\r\n"),
            dsc + "XPTS \"2147483648\"" + points + "|INVALID PARAMETERS");
  EXPECT_EQ(fullRefusal("XPTS\n"), dsc + "XPTS \"\"" + points + "|INVALID PARAMETERS");
  EXPECT_EQ(fullRefusal("Resolution 1e3\nXPTS 4\n"),
            dsc + "Resolution \"1e3\"" + points + "|INVALID PARAMETERS");
  EXPECT_EQ(fullRefusal("Resolution four\nXPTS 4\n"),
            dsc + "Resolution \"four\"" + points + "|INVALID PARAMETERS");
  // XPTS also sizes the data set when Resolution gives the points.
  EXPECT_EQ(fullRefusal("Resolution 4\nXPTS 4x\n"), dsc + "XPTS \"4x\"" + points + "|INVALID PARAMETERS");
  for (const char* accepted :
       {"Resolution         4\r\nXPTS\t4\r\n", "Resolution 4 points\nXPTS 4\n"}) {
    outcome = read(accepted, bigEndianDoubles({1, 2, 3, 4}));
    ASSERT_TRUE(outcome.ok) << accepted << titles(outcome);
    EXPECT_EQ(outcome.spectrum.values.size(), 4u);
  }
}

TEST(BrukerReader, ParameterFileRules) {
  TempFolder folder;
  PreviousGrid previous;
  previous.frequency = 9.1;
  const auto read = [&](const std::string& parameters, const std::string& data) {
    folder.write("c.PAR", parameters);
    return ReadBrukerSpectrum(folder.write("c.spc", data), previous);
  };
  std::string ints;  // 1024 big-endian integers 0 … 1023
  for (uint32_t i = 0; i < 1024; ++i) ints += bigEndian(i, 4);

  // No RES/ANZ: 1024 points; HCF alone: a 50-gauss range round it; "MF" after
  // a longer key ending in MF is taken from the next occurrence.
  ReadOutcome outcome = read("HCF 3400\rRMF 12.5\rMF  9.5\r", ints);
  ASSERT_TRUE(outcome.ok) << titles(outcome);
  EXPECT_EQ(outcome.spectrum.values.size(), 1024u);
  EXPECT_EQ(outcome.spectrum.values[1023], 1023);
  EXPECT_EQ(outcome.spectrum.fieldCentre, 3400);
  EXPECT_EQ(outcome.spectrum.fieldRange, 50);
  EXPECT_EQ(outcome.spectrum.frequency, 9.5);
  // Without a further MF the frequency stays.
  outcome = read("GST 3000\rGSI 100\rEMF 3450\r", ints);
  ASSERT_TRUE(outcome.ok) << titles(outcome);
  EXPECT_EQ(outcome.spectrum.frequency, 9.1);
  EXPECT_EQ(outcome.spectrum.fieldCentre, 3050);
  EXPECT_FALSE(outcome.spectrum.hasFrequency);

  // ANZ wins over RES; DOS selects little-endian floats or doubles by size.
  std::string floats, doubles;
  for (int i = 0; i < 4; ++i) {
    floats += littleEndian(std::bit_cast<uint32_t>(static_cast<float>(i) + 0.5f), 4);
    doubles += littleEndian(std::bit_cast<uint64_t>(i + 0.25), 8);
  }
  outcome = read("DOS  Format\rRES 1024\rANZ 4\rGST 3000\rGSI 10\r", floats);
  ASSERT_TRUE(outcome.ok) << titles(outcome);
  EXPECT_EQ(outcome.spectrum.values, (std::vector<double>{0.5, 1.5, 2.5, 3.5}));
  outcome = read("DOS  Format\rANZ 4\r", doubles);
  ASSERT_TRUE(outcome.ok) << titles(outcome);
  EXPECT_EQ(outcome.spectrum.values, (std::vector<double>{0.25, 1.25, 2.25, 3.25}));

  // Only the first 2000 characters count.
  outcome = read(std::string(1995, '*') + "\rANZ 4\r", ints);
  ASSERT_TRUE(outcome.ok) << titles(outcome);
  EXPECT_EQ(outcome.spectrum.values.size(), 1024u);

  const auto refusal = [&](const std::string& parameters, const std::string& data) {
    const ReadOutcome refused = read(parameters, data);
    EXPECT_FALSE(refused.ok);
    return refused.messages.size() == 1 ? refused.messages[0].title : titles(refused);
  };
  EXPECT_EQ(refusal("ANZ 4\r", doubles), "UNKNOWN DATA FORMAT");  // 8 bytes per point without DOS
  EXPECT_EQ(refusal("ANZ 4\r", "123456789"), "DATA FILE TOO SHORT");
  EXPECT_EQ(refusal("ANZ 4\rJUN s\r", floats), "NOT A FIELD SWEEP");
  EXPECT_EQ(refusal("ANZ 4\rJEX time-sweep\r", floats), "NOT A FIELD SWEEP");
  EXPECT_EQ(refusal("ANZ 1\r", floats), "NO SPECTRUM IN FILE");

  // A number after RES or ANZ that is not a whole number in range is refused
  // with its key; text that is no number at all (the keys are found inside
  // words too) leaves the count as it was, and a bad RES does not matter when
  // ANZ gives the count.
  const auto fullRefusal = [&](const std::string& parameters) {
    const ReadOutcome refused = read(parameters, floats);
    EXPECT_FALSE(refused.ok);
    if (refused.messages.size() != 1) return titles(refused);
    const ReadMessage& m = refused.messages[0];
    return m.text + "|" + m.title + (m.icon == MessageIcon::Stop ? "" : "|icon");
  };
  const std::string par = folder.file("c.PAR") + "\nThe number of points ";
  const std::string points = " is not a whole number from 2 to 16777216.|INVALID PARAMETERS";
  EXPECT_EQ(fullRefusal("DOS\rANZ 4.5\r"), par + "ANZ \"4.5\"" + points);
  EXPECT_EQ(fullRefusal("DOS\rRES 2147483648\r"), par + "RES \"2147483648\"" + points);
  EXPECT_EQ(fullRefusal("DOS\rRES -9999999999\r"), par + "RES \"-9999999999\"" + points);
  for (const char* accepted :
       {"DOS\rRES 4.5\rANZ 4\r", "DOS\rJCO ANZAC\rRES 4\r", "DOS\rANZ x\rRES 4\r"}) {
    outcome = read(accepted, floats);
    ASSERT_TRUE(outcome.ok) << accepted << titles(outcome);
    EXPECT_EQ(outcome.spectrum.values.size(), 4u);
  }
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

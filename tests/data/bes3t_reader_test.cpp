// The BES3T rules (.dta data with a .dsc description) on small files written
// for one rule each; the files are read through the Bruker entry, which pairs
// them.

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <string>
#include <vector>

#include "bruker_test_bytes.h"
#include "data/bruker_reader.h"
#include "temp_folder.h"

namespace quorra {
namespace {

using testing::bigEndian;
using testing::bigEndianDoubles;
using testing::littleEndian;
using testing::TempFolder;
using testing::titles;

TEST(Bes3tReader, DescriptionKeysDefaultsAndFallbacks) {
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
  EXPECT_NE(outcome.spectrum.parameterText.find("MP 3.000000"),
            std::string::npos);  // "Power" matched "Powers"
  EXPECT_EQ(outcome.spectrum.title, "x y");

  folder.write("a.dsc", "XMIN 3000\nXWID 100\n");
  outcome = ReadBrukerSpectrum(data, previous);
  ASSERT_EQ(outcome.messages.size(), 1u);
  EXPECT_EQ(outcome.messages[0].text, folder.file("a.dsc"));
  EXPECT_EQ(outcome.messages[0].title, "Resolution unknown");
}

TEST(Bes3tReader, DataFormatsOfTheDescription) {
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
  outcome =
      read("XPTS 3\nBSEQ BIG\nIRFMT S\n", bigEndian(0xfffe, 2) + bigEndian(7, 2) + bigEndian(0x8000, 2));
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
  for (const char* accepted : {"Resolution         4\r\nXPTS\t4\r\n", "Resolution 4 points\nXPTS 4\n"}) {
    outcome = read(accepted, bigEndianDoubles({1, 2, 3, 4}));
    ASSERT_TRUE(outcome.ok) << accepted << titles(outcome);
    EXPECT_EQ(outcome.spectrum.values.size(), 4u);
  }
}

}  // namespace
}  // namespace quorra

// The ESP/WinEPR rules (.spc data with a .par parameter file) on small files
// written for one rule each; the files are read through the Bruker entry,
// which pairs them.

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
using testing::littleEndian;
using testing::TempFolder;
using testing::titles;

TEST(EspReader, ParameterFileRules) {
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
  for (const char* accepted : {"DOS\rRES 4.5\rANZ 4\r", "DOS\rJCO ANZAC\rRES 4\r", "DOS\rANZ x\rRES 4\r"}) {
    outcome = read(accepted, floats);
    ASSERT_TRUE(outcome.ok) << accepted << titles(outcome);
    EXPECT_EQ(outcome.spectrum.values.size(), 4u);
  }
}

}  // namespace
}  // namespace quorra

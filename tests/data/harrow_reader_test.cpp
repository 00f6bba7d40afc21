// The Harrow .dat reader: header keys, the persistent-field rule, the marker
// in any case, refusals, and that a load creates no file.

#include "data/harrow_reader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "data/text_spectrum.h"
#include "temp_folder.h"

namespace quorra {
namespace {

std::set<std::string> listing(const std::filesystem::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.insert(entry.path().string());
  return names;
}

TEST(HarrowReader, HeaderKeysPersistentFieldAndChannels) {
  testing::TempFolder folder;
  const std::string path = folder.write(
      "run.dat",
      "Harrow run 7\r\nSource Freq 240.000 GHz\nITC set at sample: 4.2 K\nMain Magnet persistent at 12.0 T\n"
      ">begin\n5.0 1.5 -3\n5.1 2.5 -2\n5.2 0.25 -1\n");
  const std::set<std::string> before = listing(folder.path());
  const std::set<std::string> workingBefore = listing(std::filesystem::current_path());
  const HarrowOutcome outcome = ReadHarrowFile(path);
  EXPECT_EQ(listing(folder.path()), before);
  EXPECT_EQ(listing(std::filesystem::current_path()), workingBefore);

  ASSERT_TRUE(outcome.ok);
  for (const ExperimentalSpectrum* channel : {&outcome.channel1, &outcome.channel2}) {
    EXPECT_EQ(channel->format, "Harrow");
    EXPECT_EQ(channel->frequency, 240.0);
    EXPECT_TRUE(channel->hasFrequency);
    EXPECT_EQ(channel->temperature, 4.2);
    EXPECT_EQ(channel->parameterText,
              "Harrow run 7\r\nSource Freq 240.000 GHz\r\nITC set at sample: 4.2 K\r\n"
              "Main Magnet persistent at 12.0 T\r\n");
    // First column in millitesla above the persistent 12 T: 12.0050 … 12.0052 T.
    EXPECT_NEAR(channel->fieldCentre, 12.0051, 1e-12);
    EXPECT_NEAR(channel->fieldRange, 0.0002, 1e-12);
  }
  EXPECT_EQ(outcome.channel1.values, (std::vector<double>{1.5, 2.5, 0.25}));
  EXPECT_EQ(outcome.channel2.values, (std::vector<double>{-3, -2, -1}));

  // Without the keys: frequency 0, temperature 300, the first column as it
  // is written. A flat channel is left out, the other one loaded.
  const HarrowOutcome plain =
      ReadHarrowFile(folder.write("plain.dat", ">BEGIN\n3400 1 7\n3401 2 7\n3402 3 7\n"));
  ASSERT_TRUE(plain.ok);
  EXPECT_FALSE(plain.channel1.hasFrequency);
  EXPECT_EQ(plain.channel1.frequency, 0.0);
  EXPECT_EQ(plain.channel1.temperature, 300.0);
  EXPECT_EQ(plain.channel1.fieldCentre, 3401);
  EXPECT_TRUE(plain.channel2.values.empty());
  EXPECT_EQ(plain.channel1.parameterText, "");
}

TEST(HarrowReader, Refusals) {
  testing::TempFolder folder;
  const auto only = [](const HarrowOutcome& outcome) {
    EXPECT_FALSE(outcome.ok);
    if (outcome.messages.size() != 1) return std::string("?");
    const ReadMessage& m = outcome.messages[0];
    return m.text + "|" + m.title + (m.icon == MessageIcon::Exclamation ? "|!" : "");
  };
  EXPECT_EQ(only(ReadHarrowFile(folder.file("none.dat"))),
            "No such file or directory\n" + folder.file("none.dat") + "|Error opening file|!");
  const std::string noMarker = folder.write("a.dat", "header\n1 2 3\n4 5 6\n");
  EXPECT_EQ(only(ReadHarrowFile(noMarker)),
            noMarker + "\nThe file holds no data lines after a \">BEGIN\" line.|NO DATA IN FILE");
  const std::string cut = folder.write("b.dat", ">BEGIN\n1 2 3\n4 5 x\n7 8 9\n");
  EXPECT_EQ(only(ReadHarrowFile(cut)), cut + "\nThe data end after 1 of 3 points.|INCOMPLETE DATA");
  // Equal fields: refused without a word.
  const HarrowOutcome equal = ReadHarrowFile(folder.write("c.dat", ">BEGIN\n5 1 2\n5 3 4\n"));
  EXPECT_FALSE(equal.ok);
  EXPECT_TRUE(equal.messages.empty());
  // Both channels flat: the text reader's refusal.
  const HarrowOutcome flat = ReadHarrowFile(folder.write("d.dat", ">BEGIN\n5 1 2\n6 1 2\n"));
  ASSERT_EQ(flat.messages.size(), 1u);
  EXPECT_EQ(flat.messages[0].title, "FLAT SPECTRUM");

  // More data lines than a text spectrum may hold: refused as soon as they
  // are counted, before any point is read, so that neither the short last
  // line nor the equal fields are looked at.
  std::string many = "header\n>BEGIN\n";
  for (int i = 0; i < kMaxTextDataLines; ++i) many += "5 1 2\n";
  const std::string limit = folder.write("e.dat", many);
  EXPECT_TRUE(ReadHarrowFile(limit).messages.empty());  // all fields equal: silent
  const std::string over = folder.write("f.dat", many + "5 1\n5 1 x\n");
  EXPECT_EQ(only(ReadHarrowFile(over)), "Too many points|RESOLUTION>200000");
}

}  // namespace
}  // namespace quorra

// The load, save and parameter-text commands on the state, through the
// scripted seam: what a load installs, what every refusal says, and that a
// refused load (including hundreds of damaged copies of the shared
// spectrometer files) leaves the state exactly as it was.

#include "app/data_commands.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "../data/temp_folder.h"
#include "support/scripted_ui.h"

namespace quorra {
namespace {

using testing::ScriptedUserInterface;

const std::string kBrukerDir = std::string(QUORRA_TESTDATA_DIR) + "/bruker/";

using Folder = testing::TempFolder;
using testing::readBytes;

// Everything a load may change, compared bit for bit (NaN included).
struct StateSnapshot {
  std::vector<uint64_t> numbers;
  std::vector<double> arrays;
  std::string texts;

  explicit StateSnapshot(CEprWindow& w) {
    const SpinParameters& s = w.spin;
    for (double v : {s.fieldCentre,  s.fieldRange,    s.fieldStart,
                     s.fieldEnd,     s.fullStart,     s.fullEnd,
                     s.fieldStep,    s.frequency,     s.experimentalFrequency,
                     s.temperature,  s.lastRange,     s.lastCentre,
                     w.red.max,      w.red.min,       w.blue.max,
                     w.blue.min,     w.view.blue.max, w.view.blue.min,
                     w.view.red.max, w.view.red.min,  w.view.dataStart,
                     w.view.dataEnd, w.view.frequency})
      numbers.push_back(std::bit_cast<uint64_t>(v));
    for (long v : {long(s.points), long(s.pointsInArrays), long(s.capacity), long(w.flags.bluePresent),
                   long(w.flags.redPresent), long(w.flags.histogramReady), long(w.flags.lineShapeReady),
                   long(w.view.activeTrace), long(w.view.pointCount), long(w.view.blue.values != nullptr),
                   long(w.view.red.values != nullptr)})
      numbers.push_back(static_cast<uint64_t>(v));
    arrays.assign(w.blueValues(), w.blueValues() + s.points);
    arrays.insert(arrays.end(), w.redValues(), w.redValues() + s.points);
    arrays.insert(arrays.end(), w.fieldAxis(), w.fieldAxis() + s.points);
    texts = w.experimentalParameterText + "|" + w.currentFileName;
  }
  bool operator==(const StateSnapshot& other) const {
    return numbers == other.numbers && texts == other.texts && arrays.size() == other.arrays.size() &&
           std::memcmp(arrays.data(), other.arrays.data(), arrays.size() * sizeof(double)) == 0;
  }
};

TEST(DataCommands, BrukerLoadInstallsTraceGridAndFrequency) {
  ScriptedUserInterface ui;
  CEprWindow w(ui);
  const std::string path = kBrukerDir + "99090211.dta";
  ui.filePaths = {std::nullopt, path};
  EXPECT_FALSE(LoadBrukerSpectrum(w).loaded);  // Cancel
  const LoadReport report = LoadBrukerSpectrum(w);
  ASSERT_EQ(ui.fileRequests.size(), 2u);
  EXPECT_EQ(ui.fileRequests[0].filter, "Bruker Files dta, spc |*.dta; *.spc||");
  EXPECT_EQ(ui.fileRequests[0].defaultExtension, "dta");
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_TRUE(report.loaded);
  EXPECT_EQ(report.format, "BES3T");
  EXPECT_EQ(w.spin.points, 1024);
  EXPECT_DOUBLE_EQ(w.spin.fieldStart, 3230.0);
  EXPECT_DOUBLE_EQ(w.spin.fieldEnd, 3730.0);
  EXPECT_DOUBLE_EQ(w.fieldAxis()[1023], 3730.0);
  EXPECT_EQ(w.spin.experimentalFrequency, 9.809631);
  EXPECT_EQ(w.spin.frequency, 9.809631);
  EXPECT_TRUE(w.flags.bluePresent);
  EXPECT_EQ(w.currentFileName, path);
  EXPECT_EQ(w.experimentalParameterText.rfind("JSD 5\r\n", 0), 0u);

  // A grid in tesla becomes gauss; the text keeps the file's values.
  Folder folder;
  std::string data;
  for (double v : {1.0, 3.0, 2.0}) {
    const uint64_t raw = std::bit_cast<uint64_t>(v);
    for (int i = 7; i >= 0; --i) data += static_cast<char>((raw >> (8 * i)) & 0xff);
  }
  folder.write("t.DSC", "XPTS 3\nXMIN 0.33\nXWID 0.02\nXUNI 'T'\nFrequencyMon 34.1 GHz\n");
  LoadBrukerPath(w, folder.write("t.dta", data));
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_DOUBLE_EQ(w.spin.fieldCentre, 3400.0);
  EXPECT_DOUBLE_EQ(w.spin.fieldRange, 200.0);
  EXPECT_EQ(w.spin.frequency, 34.1);
  EXPECT_NE(w.experimentalParameterText.find("HCF 0.340000"), std::string::npos);
}

TEST(DataCommands, RefusedBrukerLoadsReportAndChangeNothing) {
  ScriptedUserInterface ui;
  CEprWindow w(ui);
  LoadBrukerPath(w, kBrukerDir + "strong1.dta");
  ASSERT_TRUE(w.flags.bluePresent);
  const StateSnapshot before(w);

  const std::string timeSweep = kBrukerDir + "BDPA-1DTimeSweep.DTA";
  LoadBrukerPath(w, timeSweep);
  ASSERT_EQ(ui.messages.size(), 2u);
  EXPECT_EQ(
      ui.messages[0].text,
      kBrukerDir +
          "BDPA-1DTimeSweep.DSC\nThe x axis of the file is 'Time' in s, not a magnetic field in G or T.");
  EXPECT_EQ(ui.messages[0].title, "NOT A FIELD SWEEP");
  EXPECT_EQ(ui.messages[1].text, timeSweep);
  EXPECT_EQ(ui.messages[1].title, "Error reading file");
  EXPECT_EQ(ui.messages[1].icon, MessageIcon::Stop);
  EXPECT_TRUE(StateSnapshot(w) == before);

  ui.clear();
  LoadBrukerPath(w, kBrukerDir + "loncke_endor.spc");
  ASSERT_EQ(ui.messages.size(), 2u);
  EXPECT_EQ(
      ui.messages[0].text,
      kBrukerDir +
          "loncke_endor.par\nThe x axis of the file is 'ENDOR' in MHz, not a magnetic field in G or T.");
  EXPECT_TRUE(StateSnapshot(w) == before);

  ui.clear();
  LoadBrukerPath(w, kBrukerDir + "strong1.txt");  // not a Bruker extension: only the general report
  EXPECT_EQ(ui.lastMessage(), kBrukerDir + "strong1.txt|Error reading file");
  EXPECT_TRUE(StateSnapshot(w) == before);
}

// Damaged copies of every shared pair: cut short, with bytes changed, with
// key values replaced by nonsense. Each loads or is refused with a message,
// and a refusal leaves the state bit for bit as it was.
TEST(DataCommands, DamagedSharedFilesLoadOrChangeNothing) {
  ScriptedUserInterface ui;
  CEprWindow w(ui);
  LoadBrukerPath(w, kBrukerDir + "99090211.dta");
  std::memcpy(w.redValues(), w.blueValues(), sizeof(double) * w.spin.points);
  w.flags.redPresent = true;

  uint64_t seed = 0x9e3779b97f4a7c15ull;
  const auto random = [&seed](uint64_t n) {
    seed = seed * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<size_t>((seed >> 33) % n);
  };
  const std::vector<std::string> keys = {
      "XPTS", "YPTS", "Resolution", "XMIN", "XWID", "IRFMT", "IKKF", "BSEQ", "XUNI", "ANZ", "RES",
      "SSX",  "SSY",  "REY",        "GST",  "GSI",  "HCF",   "HSW",  "MF",   "DOS",  "JUN", "FrequencyMon"};
  const std::vector<std::string> nonsense = {"0",     "-7",   "1", "99999999", "2147483647", "1e308", "nan",
                                             "D,D,D", "CPLX", "",  "'mT'",     "LIT",        "x"};
  const std::string palette("0123456789-+.eE \t\n\r'\0\xff,", 24);

  Folder folder;
  int variants = 0, loaded = 0;
  for (const auto& entry : std::filesystem::directory_iterator(kBrukerDir)) {
    const std::string name = entry.path().filename().string();
    if (name.size() < 9 || name.substr(name.size() - 9) != ".ref.json") continue;
    const std::string base = name.substr(0, name.size() - 9);
    std::string textName, dataName;
    for (const auto& file : std::filesystem::directory_iterator(kBrukerDir)) {
      const std::string other = file.path().filename().string();
      if (other.rfind(base + ".", 0) != 0 || other.size() != base.size() + 4) continue;
      const std::string ext = other.substr(base.size() + 1);
      if (ext == "dta" || ext == "DTA" || ext == "spc" || ext == "SPC") dataName = other;
      if (ext == "dsc" || ext == "DSC" || ext == "par" || ext == "PAR") textName = other;
    }
    ASSERT_FALSE(textName.empty() || dataName.empty()) << base;
    const std::string text = readBytes(kBrukerDir + textName);
    const std::string data = readBytes(kBrukerDir + dataName);

    for (int variant = 0; variant < 16; ++variant) {
      std::string t = text, d = data;
      if (variant < 3) {
        t.resize(t.size() * (variant == 0 ? 1 : variant == 1 ? 2 : 9) / (variant == 2 ? 10 : 4));
      } else if (variant < 6) {
        d.resize(variant == 3 ? 0 : variant == 4 ? d.size() / 2 : d.size() - 1);
      } else if (variant < 10) {
        for (int k = 0, changes = 1 + static_cast<int>(random(4)); k < changes; ++k)
          t[random(t.size())] = palette[random(palette.size())];
      } else if (variant < 12) {
        for (int k = 0; k < 16; ++k) d[random(d.size())] = static_cast<char>(random(256));
      } else {
        // Replace the value of a key line by nonsense.
        const std::string& key = keys[random(keys.size())];
        size_t at = t.find("\n" + key);
        if (at == std::string::npos) at = t.find("\r" + key);
        if (at != std::string::npos) {
          const size_t valueStart = at + 1 + key.size();
          const size_t lineEnd = t.find_first_of("\r\n", valueStart);
          t.replace(valueStart, lineEnd == std::string::npos ? std::string::npos : lineEnd - valueStart,
                    " " + nonsense[random(nonsense.size())]);
        } else {
          t.insert(0, key + " " + nonsense[random(nonsense.size())] + "\n");
        }
      }
      folder.write(textName, t);
      const std::string picked = folder.write(dataName, d);
      SCOPED_TRACE(base + " variant " + std::to_string(variant));

      ui.clear();
      const StateSnapshot before(w);
      const LoadReport report = LoadBrukerPath(w, picked);
      ++variants;
      if (report.loaded) {
        ++loaded;
        EXPECT_TRUE(ui.messages.empty());
        EXPECT_TRUE(w.flags.bluePresent);
        EXPECT_EQ(w.currentFileName, picked);
      } else {
        ASSERT_FALSE(ui.messages.empty());
        EXPECT_EQ(ui.messages.back().title, "Error reading file");
        EXPECT_TRUE(StateSnapshot(w) == before);
      }
    }
  }
  EXPECT_EQ(variants, 24 * 16);
  EXPECT_GT(loaded, 24);              // damage that misses what the reader uses
  EXPECT_LT(loaded, variants - 100);  // truncations and nonsense are refused
}

TEST(DataCommands, TextSaveAndLoadRoundTrip) {
  ScriptedUserInterface ui;
  CEprWindow w(ui);
  Folder folder;
  const std::string path = folder.file("blue.txt");

  EXPECT_FALSE(SaveBlueSpectrumAsText(w));
  EXPECT_EQ(ui.lastMessage(), "There is no experimental spectrum|NOTHING TO SAVE");
  EXPECT_EQ(ui.messages.back().icon, MessageIcon::Stop);
  ui.clear();
  EXPECT_FALSE(SaveRedSpectrumAsText(w));
  EXPECT_EQ(ui.lastMessage(), "There is no simulated spectrum|NOTHING TO SAVE");
  ui.clear();

  LoadBrukerPath(w, kBrukerDir + "Aminoxyl_radical_a.DTA");
  const std::string parameters = w.experimentalParameterText;
  ui.filePaths = {path};
  ASSERT_TRUE(SaveBlueSpectrumAsText(w));
  EXPECT_EQ(ui.fileRequests.back().filter, "Text files (*.txt)|*.txt|All files (*.*)|*.*||");
  EXPECT_TRUE(ui.fileRequests.back().overwritePrompt);
  EXPECT_EQ(w.currentFileName, path);
  const std::string saved = readBytes(path);
  EXPECT_EQ(std::count(saved.begin(), saved.end(), '\n'), 1500);

  // An existing file is replaced only after "Yes".
  ui.filePaths = {path};
  ui.answers = {MessageResult::No};
  std::ofstream(path) << "keep me";
  EXPECT_FALSE(SaveBlueSpectrumAsText(w));
  EXPECT_EQ(ui.lastMessage(), "Overwrite existing file?|FILE EXISTS");
  EXPECT_EQ(ui.messages.back().buttons, MessageButtons::YesNo);
  EXPECT_EQ(readBytes(path), "keep me");
  ui.clear();
  ui.filePaths = {path};
  ui.answers = {MessageResult::Yes};
  ASSERT_TRUE(SaveBlueSpectrumAsText(w));
  EXPECT_EQ(readBytes(path), saved);

  // A file that cannot be written: the system's reason, the old target intact.
  ui.clear();
  const std::string missingFolder = folder.file("no/such/folder.txt");
  ui.filePaths = {missingFolder};
  EXPECT_FALSE(SaveBlueSpectrumAsText(w));
  EXPECT_EQ(ui.lastMessage(), "No such file or directory\n" + missingFolder + "|FILE NOT SAVED");
  EXPECT_EQ(ui.messages.back().icon, MessageIcon::Information);
  EXPECT_EQ(w.currentFileName, path);

  // Reading it back gives the same grid and values at the printed precision.
  ScriptedUserInterface ui2;
  CEprWindow back(ui2);
  ui2.filePaths = {path};
  const LoadReport report = LoadTextSpectrum(back);
  EXPECT_EQ(ui2.fileRequests[0].filter, "Text files (*.txt,*.asc)|*.txt; *.asc|All files (*.*)|*.*||");
  ASSERT_TRUE(report.loaded);
  EXPECT_TRUE(ui2.messages.empty());
  EXPECT_EQ(back.spin.points, 1500);
  EXPECT_NEAR(back.spin.fieldStart, w.spin.fieldStart, 5e-5);
  EXPECT_NEAR(back.spin.fieldEnd, w.spin.fieldEnd, 5e-5);
  for (int i = 0; i < 1500; ++i)
    ASSERT_NEAR(back.blueValues()[i], w.blueValues()[i], 5e-6 * std::fabs(w.blueValues()[i])) << i;
  EXPECT_EQ(back.spin.experimentalFrequency, 0.0);  // no "freq=" line
  EXPECT_EQ(back.spin.frequency, 0.0);
  EXPECT_EQ(back.spin.temperature, 300.0);
  EXPECT_EQ(back.currentFileName, path);
  EXPECT_EQ(back.experimentalParameterText, "");

  // A text load keeps the parameter text of the last Bruker load; a refused
  // one changes nothing.
  LoadTextPath(w, path);
  EXPECT_EQ(w.experimentalParameterText, parameters);
  const StateSnapshot before(w);
  ui.clear();
  LoadTextPath(w, folder.write("one.txt", "freq=9.9\ntemp=5\n3400 1\n"));
  EXPECT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].title, "NO SPECTRUM IN FILE");
  EXPECT_TRUE(StateSnapshot(w) == before);
}

TEST(DataCommands, HarrowLoadPutsChannelsInRedAndBlue) {
  ScriptedUserInterface ui;
  CEprWindow w(ui);
  Folder folder;
  const std::string path = folder.write("h.dat",
                                        "Source Freq 240.0\nITC set at T: 4.2\nMain Magnet persistent at "
                                        "12.0\n>BEGIN\n5.0 1 -1\n5.5 3 -2\n6.0 2 -4\n");
  ui.filePaths = {path};
  const LoadReport report = LoadHarrowFile(w);
  EXPECT_EQ(ui.fileRequests[0].filter, "Harrow's Files (*.dat )|*.dat|All files (*.*)|*.*||");
  EXPECT_EQ(ui.fileRequests[0].defaultExtension, "dat");
  ASSERT_TRUE(report.loaded);
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_TRUE(w.flags.redPresent && w.flags.bluePresent);
  EXPECT_EQ(std::vector<double>(w.redValues(), w.redValues() + 3), (std::vector<double>{1, 3, 2}));
  EXPECT_EQ(std::vector<double>(w.blueValues(), w.blueValues() + 3), (std::vector<double>{-1, -2, -4}));
  EXPECT_NEAR(w.spin.fieldStart, 120050.0, 1e-6);  // 12.005 T
  EXPECT_NEAR(w.spin.fieldEnd, 120060.0, 1e-6);
  EXPECT_EQ(w.spin.frequency, 240.0);
  EXPECT_EQ(w.spin.temperature, 4.2);
  EXPECT_EQ(w.experimentalParameterText,
            "Source Freq 240.0\r\nITC set at T: 4.2\r\nMain Magnet persistent at 12.0\r\n");
  EXPECT_EQ(w.currentFileName, path);
  w.DeleteRedSpectrum();
  EXPECT_TRUE(w.flags.bluePresent);

  // A refused file changes nothing.
  const StateSnapshot before(w);
  LoadHarrowPath(w, folder.write("bad.dat", "no marker\n1 2 3\n"));
  EXPECT_EQ(ui.messages.size(), 1u);
  EXPECT_TRUE(StateSnapshot(w) == before);
}

TEST(DataCommands, ExperimentalParametersNeedABlueTrace) {
  ScriptedUserInterface ui;
  CEprWindow w(ui);
  EXPECT_FALSE(ShowExperimentalParameters(w));
  EXPECT_EQ(ui.lastMessage(), "No experimental spectrum is available|NO PARAMETERS TO SHOW");
  EXPECT_EQ(ui.messages.back().icon, MessageIcon::Stop);
  LoadBrukerPath(w, kBrukerDir + "winepr.spc");
  EXPECT_EQ(ShowExperimentalParameters(w).value_or(""), w.experimentalParameterText);
  EXPECT_EQ(w.experimentalParameterText.rfind("DOS  Format\r\nANZ 2048\r\n", 0), 0u);
  ui.clear();
  w.DeleteBlueSpectrum();
  EXPECT_FALSE(ShowExperimentalParameters(w));
  EXPECT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(w.currentFileName, "");
}

}  // namespace
}  // namespace quorra

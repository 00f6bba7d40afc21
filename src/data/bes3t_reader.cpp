#include "data/bes3t_reader.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string_view>
#include <vector>

#include "data/bruker_common.h"
#include "data/experimental_parameters.h"
#include "data/number_text.h"
#include "data/text_helpers.h"
#include "data/text_lines.h"

namespace quorra {

using namespace bruker;  // binary samples and refusals both Bruker formats share

namespace {

constexpr size_t kDescriptionLine = 80;          // characters of a description line read at a time
constexpr uint64_t kDescriptionBytes = 1 << 24;  // a description file is a few kilobytes

// a·b, saturated at UINT64_MAX.
uint64_t saturatedProduct(uint64_t a, uint64_t b) {
  if (a != 0 && b > UINT64_MAX / a) return UINT64_MAX;
  return a * b;
}

bool itemTypeFromCode(std::string_view code, ItemType& type) {
  if (code == "D")
    type = ItemType::Float64;
  else if (code == "F")
    type = ItemType::Float32;
  else if (code == "I")
    type = ItemType::Int32;
  else if (code == "S")
    type = ItemType::Int16;
  else if (code == "C")
    type = ItemType::Int8;
  else
    return false;
  return true;
}

// A key of the description as the summary reads it: the first line that
// begins with the key's characters, the value after the key and one
// separator. found tells whether such a line exists; value changes only
// when the text converts.
struct DescriptionKeys {
  std::string_view text;

  std::string_view valueText(std::string_view key, bool& found) const {
    const std::string_view piece = findPieceStartingWith(text, key, kDescriptionLine, found);
    return found ? piece.substr(std::min(key.size() + 1, piece.size())) : std::string_view();
  }
  bool readDouble(std::string_view key, double& value) const {
    bool found = false;
    const std::string_view rest = valueText(key, found);
    if (found) scanDouble(rest, value);
    return found;
  }
  bool readInt(std::string_view key, int& value) const {
    bool found = false;
    const std::string_view rest = valueText(key, found);
    if (found) scanInt(rest, value);
    return found;
  }
};

struct Bes3tLayout {
  bool bigEndian = true;
  ItemType firstItem = ItemType::Float64;
  ItemType firstImaginaryItem = ItemType::Float64;  // of a complex first channel
  int recordSize = 8;                               // bytes per point over all channels and parts
  bool complex = false;                             // the first channel is complex
  uint64_t xpts = 0, ypts = 1, zpts = 1;
};

// The data layout from BSEQ, IKKF, IRFMT, IIFMT and XPTS/YPTS/ZPTS. False with
// a message for anything that is not understood.
bool readBes3tLayout(std::string_view text, const std::string& dscPath, int points, Bes3tLayout& layout,
                     ReadOutcome& outcome) {
  bool found = false;
  const std::string_view order = keyedLineValue(text, "BSEQ", kDescriptionLine, found);
  if (found && order != "BIG" && order != "LIT") {
    outcome.refuse(dscPath + "\nThe byte order BSEQ " + std::string(order) + " is not understood.",
                   "UNKNOWN DATA FORMAT");
    return false;
  }
  layout.bigEndian = !found || order == "BIG";

  const std::string_view kinds = keyedLineValue(text, "IKKF", kDescriptionLine, found);
  const std::vector<std::string_view> channels =
      found ? commaList(kinds) : std::vector<std::string_view>{"REAL"};
  bool formatsFound = false;
  const std::string_view realText = keyedLineValue(text, "IRFMT", kDescriptionLine, formatsFound);
  const std::vector<std::string_view> realFormats =
      formatsFound ? commaList(realText) : std::vector<std::string_view>{"D"};
  const std::string_view imagText = keyedLineValue(text, "IIFMT", kDescriptionLine, found);
  const std::vector<std::string_view> imagFormats = found ? commaList(imagText) : realFormats;

  layout.recordSize = 0;
  for (size_t c = 0; c < channels.size(); ++c) {
    const bool complex = channels[c] == "CPLX";
    if (!complex && channels[c] != "REAL") {
      outcome.refuse(dscPath + "\nThe data kind IKKF " + std::string(kinds) + " is not understood.",
                     "UNKNOWN DATA FORMAT");
      return false;
    }
    ItemType real{}, imaginary{};
    const std::string_view realCode = realFormats[std::min(c, realFormats.size() - 1)];
    const std::string_view imagCode = imagFormats[std::min(c, imagFormats.size() - 1)];
    if (!itemTypeFromCode(realCode, real) || (complex && !itemTypeFromCode(imagCode, imaginary))) {
      outcome.refuse(
          dscPath + "\nThe item format IRFMT " + std::string(realText) + " is not one of D, F, I, S and C.",
          "UNKNOWN DATA FORMAT");
      return false;
    }
    if (c == 0) {
      layout.firstItem = real;
      layout.firstImaginaryItem = imaginary;
      layout.complex = complex;
    }
    layout.recordSize += itemSize(real) + (complex ? itemSize(imaginary) : 0);
  }

  const auto count = [&](const char* key, uint64_t fallback) {
    const std::string_view value = keyedLineValue(text, key, kDescriptionLine, found);
    int n = 0;
    return found && scanInt(value, n) && n > 0 ? static_cast<uint64_t>(n) : fallback;
  };
  // XPTS sizes the data set even when Resolution gives the points.
  const std::string_view xpts = keyedLineValue(text, "XPTS", kDescriptionLine, found);
  int xptsValue = 0;
  if (found && !scanWholeInt(xpts, xptsValue)) {
    refusePointsValue(outcome, dscPath, "XPTS", xpts);
    return false;
  }
  layout.xpts = count("XPTS", static_cast<uint64_t>(std::max(points, 0)));
  layout.ypts = count("YPTS", 1);
  layout.zpts = count("ZPTS", 1);
  return true;
}

}  // namespace

ReadOutcome ReadBes3tSpectrum(const std::string& path, const std::string& dscPath,
                              const PreviousGrid& previous) {
  ReadOutcome outcome;
  ExperimentalSpectrum& spectrum = outcome.spectrum;
  spectrum.format = "BES3T";
  spectrum.descriptionPath = dscPath;
  std::string description;
  if (!readDescriptionFile(outcome, dscPath, kDescriptionBytes, "FILE NOT FOUND", description))
    return outcome;
  const DescriptionKeys keys{description};

  double start = previous.fieldCentre;
  keys.readDouble("XMIN", start);
  double range = previous.fieldRange;
  keys.readDouble("XWID", range);
  const double centre = start + range / 2;

  double frequency = previous.frequency;
  spectrum.hasFrequency = keys.readDouble("FrequencyMon", frequency);
  if (!spectrum.hasFrequency) {
    bool found = false;
    const std::string_view hertz = keyedLineValue(description, "MWFQ", kDescriptionLine, found);
    double value = 0.0;
    if (found && scanDouble(hertz, value)) {
      frequency = value / 1e9;
      spectrum.hasFrequency = true;
    }
  }

  int points = previous.points;
  bool found = false;
  std::string_view pointsKey = "Resolution";
  std::string_view pointsText = keys.valueText(pointsKey, found);
  if (!found) {
    pointsKey = "XPTS";
    pointsText = keys.valueText(pointsKey, found);
  }
  if (!found) {
    outcome.refuse(dscPath, "Resolution unknown");
    return outcome;
  }
  if (!scanWholeInt(pointsText, points)) {
    refusePointsValue(outcome, dscPath, pointsKey, pointsText);
    return outcome;
  }

  DescriptionSummary summary;
  keys.readInt("NbScansDone", summary.scans);
  keys.readDouble("Power", summary.power);
  double modulation = 0.0005, gain = 60.0, conversion = 0.01024;
  keys.readDouble("B0MA", modulation);
  keys.readDouble("RCAG", gain);
  keys.readDouble("SPTP", conversion);
  bool titled = false;
  const std::string_view titleText = keys.valueText("TITL", titled);
  if (titled) summary.title = std::string(withoutLineBreak(titleText));

  // A trace whose x axis is a time, a frequency or anything else but a field
  // cannot share the simulation's field grid.
  const std::string_view unit = unquoted(keyedLineValue(description, "XUNI", kDescriptionLine, found));
  if (found && !isFieldUnit(unit)) {
    refuseAxis(outcome, dscPath, unquoted(keyedLineValue(description, "XNAM", kDescriptionLine, found)),
               unit);
    return outcome;
  }
  Bes3tLayout layout;
  if (!readBes3tLayout(description, dscPath, points, layout, outcome)) return outcome;
  if (refuseGrid(outcome, dscPath, points, start, range, frequency)) return outcome;

  uint64_t size = 0;
  if (!dataFileSize(outcome, path, size)) return outcome;
  const uint64_t records =
      std::max(static_cast<uint64_t>(points),
               saturatedProduct(saturatedProduct(layout.xpts, layout.ypts), layout.zpts));
  const uint64_t promised = saturatedProduct(records, static_cast<uint64_t>(layout.recordSize));
  if (size < promised) {
    outcome.refuse(path + "\nThe data file holds " + std::to_string(size) +
                       " bytes; its description promises " +
                       (promised == UINT64_MAX ? std::string("more") : std::to_string(promised)) + ".",
                   "DATA FILE TOO SHORT");
    return outcome;
  }
  if (samplesRefused(
          readFirstItems(path, points, layout.recordSize, layout.firstItem, layout.bigEndian, spectrum.values,
                         layout.complex ? &spectrum.imaginary : nullptr, layout.firstImaginaryItem),
          path, outcome))
    return outcome;

  summary.sweepStart = start;
  summary.sweepWidth = range;
  summary.fieldCentre = centre;
  summary.frequency = frequency;
  summary.modulationAmplitude = modulation * 10000;
  summary.receiverGain = std::pow(10.0, gain / 20);
  summary.conversionTime = conversion * 1000;
  summary.points = points;
  spectrum.parameterText = formatDescriptionSummary(summary);
  spectrum.traces =
      static_cast<int>(std::min<uint64_t>(saturatedProduct(layout.ypts, layout.zpts), INT32_MAX));
  if (spectrum.traces > 1) spectrum.parameterText += tracesNote(spectrum.traces);
  if (layout.complex) spectrum.parameterText += complexDataNote();
  spectrum.title = std::string(unquoted(summary.title));
  acceptGrid(outcome, centre, range, frequency);
  return outcome;
}

}  // namespace quorra

#include "data/esp_reader.h"

#include <algorithm>
#include <cstdint>
#include <string_view>

#include "data/bruker_common.h"
#include "data/experimental_parameters.h"
#include "data/number_text.h"
#include "data/text_helpers.h"
#include "data/text_lines.h"

namespace quorra {

using namespace bruker;  // binary samples and refusals both Bruker formats share

namespace {

constexpr uint64_t kParameterBytes = 2000;  // bytes of a parameter file that are read

// True when text, after white space, begins as a number does: a digit,
// possibly after a sign and a decimal point.
bool startsNumber(std::string_view text) {
  size_t p = 0;
  while (p < text.size() && isWhiteSpace(text[p])) ++p;
  if (p < text.size() && (text[p] == '+' || text[p] == '-')) ++p;
  if (p < text.size() && text[p] == '.') ++p;
  return p < text.size() && isAsciiDigit(text[p]);
}

// The value of a key found anywhere in the parameter text: parsed from three
// characters after the start of its first occurrence.
bool parDouble(const std::string& text, size_t at, double& value) {
  return scanDouble(std::string_view(text).substr(std::min(at + 3, text.size())), value);
}

}  // namespace

ReadOutcome ReadEspSpectrum(const std::string& path, const std::string& parPath,
                            const PreviousGrid& previous) {
  ReadOutcome outcome;
  ExperimentalSpectrum& spectrum = outcome.spectrum;
  spectrum.format = "ESP";
  spectrum.descriptionPath = parPath;
  std::string raw;
  if (!readDescriptionFile(outcome, parPath, kParameterBytes, "PARAMETER FILE NOT FOUND", raw))
    return outcome;
  const std::string text = parameterFileText(raw);
  // The keys this reader adds (units, experiment, 2D layout, comment) are
  // looked up line by line in the whole text read, including what follows
  // its last digit.
  const std::string lines = parameterFileLines(raw);
  const bool dosLayout = text.find("DOS") != std::string::npos;

  // ANZ gives the points, else RES, else 1024. The keys are found anywhere,
  // inside words too, so a key followed by no number leaves the count as it
  // is; a number must be whole.
  int points = 1024;
  for (const char* key : {"ANZ", "RES"}) {
    const size_t at = text.find(key);
    if (at == std::string::npos) continue;
    const std::string_view value = std::string_view(text).substr(std::min(at + 3, text.size()));
    if (!startsNumber(value)) continue;
    if (!scanWholeInt(value, points)) {
      refusePointsValue(outcome, parPath, key, value);
      return outcome;
    }
    break;
  }

  double centre = previous.fieldCentre, range = 50.0;
  if (const size_t gst = text.find("GST"); gst != std::string::npos) {
    double start = previous.fieldCentre - previous.fieldRange / 2;
    parDouble(text, gst, start);
    if (const size_t gsi = text.find("GSI"); gsi != std::string::npos) {
      range = previous.fieldRange;
      parDouble(text, gsi, range);
    }
    centre = start + range / 2;
  } else {
    if (const size_t hcf = text.find("HCF"); hcf != std::string::npos) parDouble(text, hcf, centre);
    if (const size_t hsw = text.find("HSW"); hsw != std::string::npos) {
      range = previous.fieldRange;
      parDouble(text, hsw, range);
    }
  }

  // "MF": a letter before the first occurrence makes it the tail of a longer
  // key ("RMF", "EMF"); the next occurrence is then taken untested.
  double frequency = previous.frequency;
  size_t mf = text.find("MF");
  if (mf != std::string::npos && mf > 0 && isAsciiLetter(text[mf - 1])) mf = text.find("MF", mf + 3);
  if (mf != std::string::npos) spectrum.hasFrequency = parDouble(text, mf, frequency);

  bool found = false;
  std::string_view unit = keyedLineValue(lines, "JUN", SIZE_MAX, found);
  if (!found) unit = keyedLineValue(lines, "XXUN", SIZE_MAX, found);
  bool experimentFound = false;
  const std::string_view experiment = keyedLineValue(lines, "JEX", SIZE_MAX, experimentFound);
  const bool fieldExperiment = !experimentFound || containsIgnoringCase(experiment, "field");
  if ((found && !isFieldUnit(unit)) || !fieldExperiment) {
    refuseAxis(outcome, parPath, experimentFound ? experiment : std::string_view(), found ? unit : "G");
    return outcome;
  }
  if (refuseGrid(outcome, parPath, points, centre, range, frequency)) return outcome;

  // 2D sets: SSX points per trace (or RES when only REY says there are
  // several); the data set is `points` samples long in every case.
  int tracePoints = points;
  int ssx = 0, rey = 0, res = 0;
  const bool hasSsx = scanInt(keyedLineValue(lines, "SSX", SIZE_MAX, found), ssx) && found;
  const bool hasRey = scanInt(keyedLineValue(lines, "REY", SIZE_MAX, found), rey) && found;
  const bool hasRes = scanInt(keyedLineValue(lines, "RES", SIZE_MAX, found), res) && found;
  if (hasSsx && ssx >= 2 && ssx <= points)
    tracePoints = ssx;
  else if (hasRey && rey > 1 && hasRes && res >= 2 && res <= points)
    tracePoints = res;
  spectrum.traces = points / tracePoints;

  uint64_t size = 0;
  if (!dataFileSize(outcome, path, size)) return outcome;
  const uint64_t bytesPerPoint = size / static_cast<uint64_t>(points);
  if (bytesPerPoint < 4) {
    outcome.refuse(path + "\nThe spectrum file holds " + std::to_string(size) +
                       " bytes, less than 4 for each of its " + std::to_string(points) + " points.",
                   "DATA FILE TOO SHORT");
    return outcome;
  }
  if (!(bytesPerPoint == 4 || (dosLayout && bytesPerPoint == 8))) {
    outcome.refuse(path + "\nThe spectrum file holds " + std::to_string(bytesPerPoint) +
                       " bytes per point; 4 were expected" + (dosLayout ? " (or 8 in DOS format)." : "."),
                   "UNKNOWN DATA FORMAT");
    return outcome;
  }
  const ItemType item = !dosLayout           ? ItemType::Int32
                        : bytesPerPoint == 4 ? ItemType::Float32
                                             : ItemType::Float64;
  if (samplesRefused(readFirstItems(path, tracePoints, static_cast<int>(bytesPerPoint), item, !dosLayout,
                                    spectrum.values),
                     path, outcome))
    return outcome;

  spectrum.parameterText = text;
  if (spectrum.traces > 1) spectrum.parameterText += tracesNote(spectrum.traces);
  spectrum.title = std::string(keyedLineValue(lines, "JCO", SIZE_MAX, found));
  acceptGrid(outcome, centre, range, frequency);
  return outcome;
}

}  // namespace quorra

#include "data/bruker_reader.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>
#include <vector>

#include "data/experimental_parameters.h"
#include "data/file_access.h"
#include "data/number_text.h"
#include "data/text_helpers.h"
#include "data/text_lines.h"

namespace quorra {

namespace {

constexpr size_t kDescriptionLine = 80;       // characters of a description line read at a time
constexpr uint64_t kParameterBytes = 2000;    // bytes of a parameter file that are read
constexpr uint64_t kDescriptionBytes = 1 << 24;  // a description file is a few kilobytes

// --- Binary samples ----------------------------------------------------------

enum class ItemType { Float64, Float32, Int32, Int16, Int8 };

int itemSize(ItemType type) {
  switch (type) {
    case ItemType::Float64: return 8;
    case ItemType::Float32:
    case ItemType::Int32: return 4;
    case ItemType::Int16: return 2;
    case ItemType::Int8: return 1;
  }
  return 8;
}

uint64_t loadUnsigned(const unsigned char* bytes, int size, bool bigEndian) {
  uint64_t value = 0;
  for (int i = 0; i < size; ++i) {
    const int shift = 8 * (bigEndian ? size - 1 - i : i);
    value |= static_cast<uint64_t>(bytes[i]) << shift;
  }
  return value;
}

double decodeItem(const unsigned char* bytes, ItemType type, bool bigEndian) {
  const uint64_t raw = loadUnsigned(bytes, itemSize(type), bigEndian);
  switch (type) {
    case ItemType::Float64: return std::bit_cast<double>(raw);
    case ItemType::Float32: return std::bit_cast<float>(static_cast<uint32_t>(raw));
    case ItemType::Int32: return static_cast<int32_t>(static_cast<uint32_t>(raw));
    case ItemType::Int16: return static_cast<int16_t>(static_cast<uint16_t>(raw));
    case ItemType::Int8: return static_cast<int8_t>(static_cast<uint8_t>(raw));
  }
  return 0.0;
}

enum class DataRead { Ok, Unreadable, NoMemory };

// Reads `count` records of `recordSize` bytes from the start of the data file
// and decodes the first item of each, a block of records at a time; with
// imaginary, also the item of imaginaryType that follows it.
DataRead readFirstItems(const std::string& path, int count, int recordSize, ItemType type, bool bigEndian,
                        std::vector<double>& values, std::vector<double>* imaginary = nullptr,
                        ItemType imaginaryType = ItemType::Float64) {
  try {
    values.resize(static_cast<size_t>(count));
    if (imaginary != nullptr) imaginary->resize(static_cast<size_t>(count));
  } catch (const std::bad_alloc&) {
    values = {};
    if (imaginary != nullptr) *imaginary = {};
    return DataRead::NoMemory;
  }
  std::unique_ptr<std::FILE, decltype(&std::fclose)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!file) return DataRead::Unreadable;
  unsigned char block[65536];
  const int recordsPerBlock = static_cast<int>(sizeof block) / recordSize;
  for (int first = 0; first < count; first += recordsPerBlock) {
    const int records = std::min(recordsPerBlock, count - first);
    const size_t bytes = static_cast<size_t>(records) * static_cast<size_t>(recordSize);
    if (std::fread(block, 1, bytes, file.get()) != bytes) return DataRead::Unreadable;
    for (int i = 0; i < records; ++i) {
      const unsigned char* record = block + static_cast<size_t>(i) * recordSize;
      values[static_cast<size_t>(first + i)] = decodeItem(record, type, bigEndian);
      if (imaginary != nullptr)
        (*imaginary)[static_cast<size_t>(first + i)] = decodeItem(record + itemSize(type), imaginaryType, bigEndian);
    }
  }
  return DataRead::Ok;
}

// Reports a failed read of the data file.
bool dataReadRefused(DataRead result, const std::string& path, ReadOutcome& outcome) {
  if (result == DataRead::NoMemory) outcome.refuse("Not enough memory", "Temporary array not created");
  if (result == DataRead::Unreadable) outcome.refuse(path, "FILE NOT FOUND");
  return result != DataRead::Ok;
}

// a·b·c, saturated at UINT64_MAX.
uint64_t saturatedProduct(uint64_t a, uint64_t b) {
  if (a != 0 && b > UINT64_MAX / a) return UINT64_MAX;
  return a * b;
}

bool allEqual(const std::vector<double>& values) {
  for (double v : values)
    if (!(v == values.front())) return false;
  return true;
}

void refuseFlat(ReadOutcome& outcome, const std::string& path) {
  outcome.refuse(path + "\nAll intensities of the spectrum are equal: there is nothing to show.", "FLAT SPECTRUM");
}

// A spectrum needs two points; more than 2^24 (the grid's five arrays would
// take 640 MB) is taken for a damaged description rather than allocated.
constexpr int kMaxPoints = 1 << 24;

bool refusePointCount(ReadOutcome& outcome, const std::string& path, int points) {
  if (points < 2)
    outcome.refuse(path + "\nThe file describes " + std::to_string(points) + " points; a spectrum needs at least two.",
                   "NO SPECTRUM IN FILE");
  else if (points > kMaxPoints)
    outcome.refuse(path + "\nThe file describes " + std::to_string(points) + " points, more than the " +
                       std::to_string(kMaxPoints) + " a spectrum may hold.",
                   "TOO MANY POINTS");
  return points < 2 || points > kMaxPoints;
}

// A point count must be a whole number: a fraction, an exponent, letters or
// a value beyond the int range are taken for a damaged file, not cut at the
// point or replaced by the previous count. The message shows the key and the
// word that follows it.
void refusePointsValue(ReadOutcome& outcome, const std::string& path, std::string_view key,
                       std::string_view text) {
  constexpr size_t kShownChars = 40;
  size_t begin = 0;
  while (begin < text.size() && isWhiteSpace(text[begin])) ++begin;
  size_t end = begin;
  while (end < text.size() && !isWhiteSpace(text[end]) && end - begin < kShownChars) ++end;
  outcome.refuse(path + "\nThe number of points " + std::string(key) + " \"" +
                     std::string(text.substr(begin, end - begin)) + "\" is not a whole number from 2 to " +
                     std::to_string(kMaxPoints) + ".",
                 "INVALID PARAMETERS");
}

// True when text, after white space, begins as a number does: a digit,
// possibly after a sign and a decimal point.
bool startsNumber(std::string_view text) {
  size_t p = 0;
  while (p < text.size() && isWhiteSpace(text[p])) ++p;
  if (p < text.size() && (text[p] == '+' || text[p] == '-')) ++p;
  if (p < text.size() && text[p] == '.') ++p;
  return p < text.size() && isAsciiDigit(text[p]);
}

void refuseAxis(ReadOutcome& outcome, const std::string& path, std::string_view name, std::string_view unit) {
  std::string axis;
  if (!name.empty()) {
    axis += '\'';
    axis.append(name);
    axis += "' ";
  }
  axis += "in ";
  axis.append(unit);
  outcome.refuse(path + "\nThe x axis of the file is " + axis + ", not a magnetic field in G or T.",
                 "NOT A FIELD SWEEP");
}

bool isFieldUnit(std::string_view unit) { return unit == "G" || unit == "T"; }

bool itemTypeFromCode(std::string_view code, ItemType& type) {
  if (code == "D") type = ItemType::Float64;
  else if (code == "F") type = ItemType::Float32;
  else if (code == "I") type = ItemType::Int32;
  else if (code == "S") type = ItemType::Int16;
  else if (code == "C") type = ItemType::Int8;
  else return false;
  return true;
}

// --- Description file (.dsc) -------------------------------------------------

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
  int recordSize = 8;     // bytes per point over all channels and parts
  bool complex = false;   // the first channel is complex
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
  const std::vector<std::string_view> channels = found ? commaList(kinds) : std::vector<std::string_view>{"REAL"};
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
      outcome.refuse(dscPath + "\nThe item format IRFMT " + std::string(realText) +
                         " is not one of D, F, I, S and C.",
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

ReadOutcome readDescriptionPair(const std::string& path, const std::string& base, const PreviousGrid& previous) {
  ReadOutcome outcome;
  ExperimentalSpectrum& spectrum = outcome.spectrum;
  spectrum.format = "BES3T";
  const std::string dscPath = findCompanionFile(base, "dsc");
  spectrum.descriptionPath = dscPath;
  std::string description, error;
  if (!readFileBytes(dscPath, description, error, kDescriptionBytes)) {
    outcome.refuse(dscPath, "FILE NOT FOUND");
    return outcome;
  }
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
    refuseAxis(outcome, dscPath, unquoted(keyedLineValue(description, "XNAM", kDescriptionLine, found)), unit);
    return outcome;
  }
  Bes3tLayout layout;
  if (!readBes3tLayout(description, dscPath, points, layout, outcome)) return outcome;
  if (refusePointCount(outcome, dscPath, points)) return outcome;
  if (!std::isfinite(start) || !std::isfinite(range) || !std::isfinite(frequency)) {
    outcome.refuse(dscPath + "\nThe field axis or the frequency of the file is not a finite number.",
                   "INVALID PARAMETERS");
    return outcome;
  }

  uint64_t size = 0;
  if (!regularFileSize(path, size, error)) {
    outcome.refuse(path, "FILE NOT FOUND");
    return outcome;
  }
  const uint64_t records =
      std::max(static_cast<uint64_t>(points), saturatedProduct(saturatedProduct(layout.xpts, layout.ypts), layout.zpts));
  const uint64_t promised = saturatedProduct(records, static_cast<uint64_t>(layout.recordSize));
  if (size < promised) {
    outcome.refuse(path + "\nThe data file holds " + std::to_string(size) + " bytes; its description promises " +
                       (promised == UINT64_MAX ? std::string("more") : std::to_string(promised)) + ".",
                   "DATA FILE TOO SHORT");
    return outcome;
  }
  if (dataReadRefused(readFirstItems(path, points, layout.recordSize, layout.firstItem, layout.bigEndian,
                                     spectrum.values, layout.complex ? &spectrum.imaginary : nullptr,
                                     layout.firstImaginaryItem),
                      path, outcome))
    return outcome;
  if (allEqual(spectrum.values)) {
    refuseFlat(outcome, path);
    return outcome;
  }

  summary.sweepStart = start;
  summary.sweepWidth = range;
  summary.fieldCentre = centre;
  summary.frequency = frequency;
  summary.modulationAmplitude = modulation * 10000;
  summary.receiverGain = std::pow(10.0, gain / 20);
  summary.conversionTime = conversion * 1000;
  summary.points = points;
  spectrum.parameterText = formatDescriptionSummary(summary);
  spectrum.traces = static_cast<int>(std::min<uint64_t>(saturatedProduct(layout.ypts, layout.zpts), INT32_MAX));
  if (spectrum.traces > 1) spectrum.parameterText += tracesNote(spectrum.traces);
  if (layout.complex) spectrum.parameterText += complexDataNote();
  spectrum.setsParameterText = true;
  spectrum.title = std::string(unquoted(summary.title));
  spectrum.fieldCentre = centre;
  spectrum.fieldRange = range;
  spectrum.frequency = frequency;
  outcome.ok = true;
  return outcome;
}

// --- Parameter file (.par) ---------------------------------------------------

// The value of a key found anywhere in the parameter text: parsed from three
// characters after the start of its first occurrence.
bool parDouble(const std::string& text, size_t at, double& value) {
  return scanDouble(std::string_view(text).substr(std::min(at + 3, text.size())), value);
}

ReadOutcome readParameterPair(const std::string& path, const std::string& base, const PreviousGrid& previous) {
  ReadOutcome outcome;
  ExperimentalSpectrum& spectrum = outcome.spectrum;
  spectrum.format = "ESP";
  const std::string parPath = findCompanionFile(base, "par");
  spectrum.descriptionPath = parPath;
  std::string raw, error;
  if (!readFileBytes(parPath, raw, error, kParameterBytes)) {
    outcome.refuse(parPath, "PARAMETER FILE NOT FOUND");
    return outcome;
  }
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
  if (mf != std::string::npos && mf > 0 && isAsciiLetter(text[mf - 1]))
    mf = text.find("MF", mf + 3);
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
  if (refusePointCount(outcome, parPath, points)) return outcome;
  if (!std::isfinite(centre) || !std::isfinite(range) || !std::isfinite(frequency)) {
    outcome.refuse(parPath + "\nThe field axis or the frequency of the file is not a finite number.",
                   "INVALID PARAMETERS");
    return outcome;
  }

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
  if (!regularFileSize(path, size, error)) {
    outcome.refuse(path, "FILE NOT FOUND");
    return outcome;
  }
  const uint64_t bytesPerPoint = size / static_cast<uint64_t>(points);
  if (bytesPerPoint < 4) {
    outcome.refuse(path + "\nThe spectrum file holds " + std::to_string(size) + " bytes, less than 4 for each of its " +
                       std::to_string(points) + " points.",
                   "DATA FILE TOO SHORT");
    return outcome;
  }
  if (!(bytesPerPoint == 4 || (dosLayout && bytesPerPoint == 8))) {
    outcome.refuse(path + "\nThe spectrum file holds " + std::to_string(bytesPerPoint) +
                       " bytes per point; 4 were expected" + (dosLayout ? " (or 8 in DOS format)." : "."),
                   "UNKNOWN DATA FORMAT");
    return outcome;
  }
  const ItemType item = !dosLayout ? ItemType::Int32 : bytesPerPoint == 4 ? ItemType::Float32 : ItemType::Float64;
  if (dataReadRefused(readFirstItems(path, tracePoints, static_cast<int>(bytesPerPoint), item, !dosLayout,
                                     spectrum.values),
                      path, outcome))
    return outcome;
  if (allEqual(spectrum.values)) {
    refuseFlat(outcome, path);
    return outcome;
  }

  spectrum.parameterText = text;
  if (spectrum.traces > 1) spectrum.parameterText += tracesNote(spectrum.traces);
  spectrum.setsParameterText = true;
  spectrum.title = std::string(keyedLineValue(lines, "JCO", SIZE_MAX, found));
  spectrum.fieldCentre = centre;
  spectrum.fieldRange = range;
  spectrum.frequency = frequency;
  outcome.ok = true;
  return outcome;
}

}  // namespace

ReadOutcome ReadBrukerSpectrum(const std::string& path, const PreviousGrid& previous) {
  // The extension follows the last dot, searched back to the second character.
  size_t dot = std::string::npos;
  for (size_t i = path.size(); i-- > 1;) {
    if (path[i] == '.') {
      dot = i;
      break;
    }
  }
  if (dot == std::string::npos) return {};
  const std::string base = path.substr(0, dot);
  const std::string_view extension = std::string_view(path).substr(dot + 1);
  if (equalsIgnoringCase(extension, "dta")) return readDescriptionPair(path, base, previous);
  if (equalsIgnoringCase(extension, "spc")) return readParameterPair(path, base, previous);
  return {};
}

}  // namespace quorra

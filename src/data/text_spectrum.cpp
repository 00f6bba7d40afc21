#include "data/text_spectrum.h"

#include <climits>
#include <cmath>
#include <memory>
#include <new>

#include "data/file_access.h"
#include "data/number_text.h"
#include "data/text_helpers.h"
#include "data/text_lines.h"
#include "data/text_spectrum_resample.h"

namespace quorra {

namespace {

constexpr size_t kDataPiece = 79;    // characters of a data line read at a time
constexpr size_t kHeaderPiece = 80;  // characters of a line searched for a header key
constexpr size_t kMarkerPiece = 99;  // characters of a line read while looking for a marker

// The value of the first line that begins with key ("freq=" ...), read right
// after it; false when there is no such line or no finite number follows.
bool headerValue(std::string_view content, std::string_view key, double& value) {
  bool found = false;
  const std::string_view piece = findPieceStartingWith(content, key, kHeaderPiece, found);
  double parsed = 0.0;
  if (!found || !scanDouble(piece.substr(key.size()), parsed) || !std::isfinite(parsed)) return false;
  value = parsed;
  return true;
}

// Reads one data line: three or more fields are an index, a field and an
// intensity, two fields a field and an intensity. Lines whose numbers do not
// convert to finite values are not data.
bool dataLine(std::string_view piece, double& field, double& intensity) {
  if (piece.size() < 3) return false;
  const int fields = countFields(piece);
  TextScanner scanner(piece);
  int index = 0;
  bool converted = false;
  if (fields >= 3)
    converted = scanner.scanInt(index) && scanner.scanDouble(field) && scanner.scanDouble(intensity);
  else if (fields == 2)
    converted = scanner.scanDouble(field) && scanner.scanDouble(intensity);
  return converted && std::isfinite(field) && std::isfinite(intensity);
}

}  // namespace

int CountDataLines(std::string_view content, int minFields, std::string_view marker,
                   std::string* collectedText, int maxFields, int stopAt) {
  size_t position = 0;
  if (!marker.empty() && !SkipToMarker(content, position, marker, collectedText)) return 0;
  LineReader reader(content, position);
  std::string_view piece;
  int count = 0;
  while (count < stopAt && reader.next(kDataPiece, piece)) {
    const int fields = countFields(piece);
    if (fields >= minFields && fields <= maxFields) ++count;
  }
  return count;
}

bool SkipToMarker(std::string_view content, size_t& position, std::string_view marker,
                  std::string* collectedText) {
  if (collectedText != nullptr) collectedText->clear();
  LineReader reader(content, position);
  std::string_view piece;
  while (reader.next(kMarkerPiece, piece)) {
    const std::string_view line = withoutLineBreak(piece);
    if (startsWithIgnoringCase(line, marker)) {
      position = reader.position();
      return true;
    }
    if (collectedText != nullptr) {
      collectedText->append(line);
      collectedText->append("\r\n");
    }
  }
  if (collectedText != nullptr) collectedText->clear();
  position = content.size();
  return false;
}

ReadOutcome ReadTextSpectrum(const std::string& path) {
  std::string content, error;
  if (!readFileBytes(path, content, error)) {
    ReadOutcome outcome;
    outcome.refuse(path, "FILE NOT FOUND");
    return outcome;
  }
  return parseTextSpectrum(content, path);
}

ReadOutcome parseTextSpectrum(std::string_view content, const std::string& path) {
  ReadOutcome outcome;
  ExperimentalSpectrum& spectrum = outcome.spectrum;
  spectrum.format = "text";

  // Work arrays for every line that may be accepted (lines of four and more
  // fields included), one more than the limit so that an excess is seen.
  const int candidates = CountDataLines(content, 2, {}, nullptr, INT_MAX, kMaxTextDataLines + 1);
  const size_t capacity = static_cast<size_t>(std::max(candidates, 1));
  std::unique_ptr<double[]> fields(new (std::nothrow) double[capacity]);
  std::unique_ptr<double[]> intensities(new (std::nothrow) double[capacity]);
  if (!fields || !intensities) {
    outcome.refuse("Not enough memory", "Temporary array not created");
    return outcome;
  }

  spectrum.frequency = 0.0;
  spectrum.hasFrequency = headerValue(content, "freq=", spectrum.frequency);
  double shift = 0.0;
  headerValue(content, "hister=", shift);
  spectrum.temperature = 300.0;
  spectrum.hasTemperature = headerValue(content, "temp=", spectrum.temperature);

  LineReader reader(content);
  std::string_view piece;
  int k = 0;
  while (reader.next(kDataPiece, piece)) {
    double field = 0.0, intensity = 0.0;
    if (!dataLine(piece, field, intensity)) continue;
    if (k >= candidates || k >= kMaxTextDataLines) {
      outcome.refuse("Too many points", "RESOLUTION>200000");
      return outcome;
    }
    fields[k] = field + shift;
    intensities[k] = intensity;
    ++k;
  }
  if (k < 2) {
    outcome.refuse(path + "\nThe file holds fewer than two lines of field and intensity.",
                   "NO SPECTRUM IN FILE");
    return outcome;
  }

  // Sign: the end with the larger magnitude decides (the last one on a tie).
  double first = fields[0], last = fields[k - 1];
  const double decisive = std::fabs(first) > std::fabs(last) ? first : last;
  if (decisive < 0) {
    for (int i = 0; i < k; ++i) fields[i] = -fields[i];
    first = -first;
    last = -last;
  }
  double range = last - first;
  const double centre = (first + last) / 2;
  if (range == 0 || !std::isfinite(range) || !std::isfinite(centre)) {
    outcome.refuse(path + "\nThe first and the last field of the file span no finite range.",
                   "NO FIELD RANGE");
    return outcome;
  }

  // Order: a file recorded downwards is turned round.
  if (first > last) {
    for (int i = 0, j = k - 1; i < j; ++i, --j) {
      std::swap(fields[i], fields[j]);
      std::swap(intensities[i], intensities[j]);
    }
    range = -range;
  }

  spectrum.values.resize(static_cast<size_t>(k));
  if (!resampleOntoGrid(fields.get(), intensities.get(), k, spectrum.values.data())) {
    outcome.refuse("Not enough memory", "Temporary array not created");
    return outcome;
  }
  bool flat = true;
  for (double v : spectrum.values) flat = flat && v == spectrum.values.front();
  if (flat) {
    outcome.refuse(path + "\nAll intensities of the spectrum are equal: there is nothing to show.",
                   "FLAT SPECTRUM");
    return outcome;
  }
  spectrum.fieldCentre = centre;
  spectrum.fieldRange = range;
  outcome.ok = true;
  return outcome;
}

}  // namespace quorra

#include "data/harrow_reader.h"

#include <initializer_list>
#include <string_view>

#include "data/file_access.h"
#include "data/number_text.h"
#include "data/text_lines.h"
#include "data/text_spectrum.h"

namespace quorra {

namespace {

constexpr std::string_view kMarker = ">BEGIN";
constexpr size_t kHeaderPiece = 80;  // characters of a line searched for a header key

const std::string_view kFrequencyKey = "Source Freq ";
const std::string_view kTemperatureKey = "ITC set at ";
const std::string_view kPersistentKey = "Main Magnet persistent at ";

// The number read from the given character of the first line beginning with
// key; false without such a line or number.
bool keyValueFrom(std::string_view content, std::string_view key, size_t from, double& value) {
  bool found = false;
  const std::string_view piece = findPieceStartingWith(content, key, kHeaderPiece, found);
  return found && from <= piece.size() && scanDouble(piece.substr(from), value);
}

// The temperature follows the first colon after the key, searched from the
// 13th character on.
bool temperatureValue(std::string_view content, double& value) {
  bool found = false;
  const std::string_view piece = findPieceStartingWith(content, kTemperatureKey, kHeaderPiece, found);
  if (!found || piece.size() <= 12) return false;
  const size_t colon = piece.find(':', 12);
  return colon != std::string_view::npos && scanDouble(piece.substr(colon + 1), value);
}

}  // namespace

std::string harrowChannelText(double frequency, double temperature, const std::vector<double>& fields,
                              const std::vector<double>& intensities) {
  std::string text = "freq=";
  appendFixed(text, frequency, 5, 12);
  text += "\ntemp=";
  appendFixed(text, temperature, 3, 8);
  text += '\n';
  text.reserve(text.size() + fields.size() * 32);
  for (size_t i = 0; i < fields.size(); ++i) {
    appendFixed(text, fields[i], 6);
    text += " \t";
    appendGeneral(text, intensities[i], 7, 13);
    text += '\n';
  }
  return text;
}

HarrowOutcome ReadHarrowFile(const std::string& path) {
  HarrowOutcome outcome;
  std::string content, error;
  if (!readFileBytes(path, content, error)) {
    outcome.messages.push_back({error + "\n" + path, "Error opening file", MessageIcon::Exclamation});
    return outcome;
  }

  // The points are counted up to one past the text reader's limit, and a
  // file beyond it is refused before anything is allocated for its points:
  // three arrays and two channel texts would otherwise grow with the file.
  std::string header;
  const int n = CountDataLines(content, 3, kMarker, &header, 3, kMaxTextDataLines + 1);
  double frequency = 0.0, temperature = 300.0, persistent = 0.0;
  const bool hasFrequency = keyValueFrom(content, kFrequencyKey, 12, frequency);
  if (!hasFrequency) frequency = 0.0;
  const bool hasTemperature = temperatureValue(content, temperature);
  if (!hasTemperature) temperature = 300.0;
  if (!keyValueFrom(content, kPersistentKey, 26, persistent)) persistent = 0.0;

  if (n == 0) {
    outcome.messages.push_back({path + "\nThe file holds no data lines after a \">BEGIN\" line.",
                                "NO DATA IN FILE", MessageIcon::Stop});
    return outcome;
  }
  if (n > kMaxTextDataLines) {
    outcome.messages.push_back({"Too many points", "RESOLUTION>200000", MessageIcon::Stop});
    return outcome;
  }

  size_t position = 0;
  SkipToMarker(content, position, kMarker, nullptr);
  TextScanner scanner(std::string_view(content).substr(position));
  std::vector<double> fields(static_cast<size_t>(n)), first(static_cast<size_t>(n)),
      second(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) {
    if (!scanner.scanDouble(fields[i]) || !scanner.scanDouble(first[i]) || !scanner.scanDouble(second[i])) {
      outcome.messages.push_back(
          {path + "\nThe data end after " + std::to_string(i) + " of " + std::to_string(n) + " points.",
           "INCOMPLETE DATA", MessageIcon::Stop});
      return outcome;
    }
    if (persistent != 0) fields[i] = fields[i] / 1000 + persistent;
  }

  bool allEqual = true;
  for (double field : fields) allEqual = allEqual && field == fields.front();
  if (allEqual) return outcome;  // nothing to show, and nothing to say

  ReadOutcome channel1 = parseTextSpectrum(harrowChannelText(frequency, temperature, fields, first), path);
  ReadOutcome channel2 = parseTextSpectrum(harrowChannelText(frequency, temperature, fields, second), path);
  // A flat channel is left out (its values stay empty) as long as the other
  // one can be shown; every other refusal of the text reader refuses the file.
  const auto isFlat = [](const ReadOutcome& channel) {
    return !channel.ok && channel.messages.size() == 1 && channel.messages.front().title == "FLAT SPECTRUM";
  };
  for (const ReadOutcome* channel : {&channel1, &channel2}) {
    if (!channel->ok && (!isFlat(*channel) || (isFlat(channel1) && isFlat(channel2)))) {
      outcome.messages = channel->messages;
      return outcome;
    }
  }
  if (!channel1.ok) channel1.spectrum.values.clear();
  if (!channel2.ok) channel2.spectrum.values.clear();
  outcome.channel1 = std::move(channel1.spectrum);
  outcome.channel2 = std::move(channel2.spectrum);
  for (ExperimentalSpectrum* channel : {&outcome.channel1, &outcome.channel2}) {
    channel->format = "Harrow";
    channel->traces = 2;
    channel->setsParameterText = true;
    channel->parameterText = header;
    channel->descriptionPath = path;
    channel->hasFrequency = hasFrequency;
    channel->hasTemperature = hasTemperature;
  }
  outcome.ok = true;
  return outcome;
}

}  // namespace quorra

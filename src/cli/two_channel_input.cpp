#include "cli/two_channel_input.h"

#include "cli/cli_support.h"
#include "cli/console_ui.h"
#include "data/bruker_reader.h"
#include "data/harrow_reader.h"
#include "data/spectrum_file_kind.h"
#include "data/text_spectrum.h"

namespace quorra::cli {

namespace {

int refuse(const std::string& path, const std::vector<ReadMessage>& messages) {
  if (messages.empty()) return fail(kExitUsage, "no spectrum could be loaded from " + path + ".");
  ConsoleUserInterface console;
  UserInterface& ui = console;
  for (const ReadMessage& message : messages) ui.messageBox(message.text, message.title, message.icon);
  return kExitUsage;
}

// The grid of a reader's spectrum in gauss: a grid centred below 50 is in
// tesla, as the state takes it.
void fillGrid(const ExperimentalSpectrum& s, TwoChannelSpectrum& out) {
  double centre = s.fieldCentre, range = s.fieldRange;
  convertTeslaGridToGauss(centre, range);
  const size_t n = s.values.size();
  out.fields.resize(n);
  for (size_t i = 0; i < n; ++i)
    out.fields[i] = centre - range / 2 + static_cast<double>(i) * range / (n - 1.0);
  out.frequency = s.hasFrequency ? s.frequency : 0.0;
}

}  // namespace

std::string singleLine(std::string text) {
  for (char& c : text)
    if (c == '\r' || c == '\n') c = ' ';
  return text;
}

int readTwoChannels(const std::string& path, TwoChannelSpectrum& out) {
  const SpectrumFileKind kind = spectrumFileKind(path);
  if (kind == SpectrumFileKind::Harrow) {
    HarrowOutcome outcome = ReadHarrowFile(path);
    if (!outcome.ok) return refuse(path, outcome.messages);
    std::vector<double>& first = outcome.channel1.values;
    std::vector<double>& second = outcome.channel2.values;
    fillGrid(first.empty() ? outcome.channel2 : outcome.channel1, out);
    out.twoChannels = !first.empty() && !second.empty();
    if (out.twoChannels) {
      out.channel1 = std::move(first);
      out.channel2 = std::move(second);
    } else {  // the reader left a flat column out
      out.channel1.assign(out.fields.size(), 0.0);
      out.channel2 = std::move(first.empty() ? second : first);
    }
    return kExitOk;
  }
  ReadOutcome outcome = kind == SpectrumFileKind::Bes3t || kind == SpectrumFileKind::Esp
                            ? ReadBrukerSpectrum(path, PreviousGrid{})
                            : ReadTextSpectrum(path);
  if (!outcome.ok) return refuse(path, outcome.messages);
  ExperimentalSpectrum& s = outcome.spectrum;
  fillGrid(s, out);
  out.twoChannels = !s.imaginary.empty();
  if (out.twoChannels) {
    out.channel1 = std::move(s.values);
    out.channel2 = std::move(s.imaginary);
  } else {
    out.channel1.assign(out.fields.size(), 0.0);
    out.channel2 = std::move(s.values);
  }
  return kExitOk;
}

}  // namespace quorra::cli

#pragma once
// Reader of the ".dat" files of a high-field spectrometer: a free-text header,
// a ">BEGIN" marker line (any case), then triples of field and two intensity
// channels. The header becomes the experimental parameter text; the keys
// "Source Freq " (GHz), "ITC set at " (kelvin, after a colon) and "Main Magnet
// persistent at " (tesla) are looked up anywhere in the file. With a
// persistent main field M the first column is the sweep field in millitesla
// relative to it. Each channel is written in the text spectrum format and
// read back by the text reader, in memory, so both channels get the text
// reader's sign rule, ordering and resampling, and no file is created. A
// file of more data lines than a text spectrum may hold is refused as soon
// as they are counted, with the text reader's message.

#include <string>
#include <vector>

#include "data/experimental_spectrum.h"

namespace quorra {

struct HarrowOutcome {
  bool ok = false;
  ExperimentalSpectrum channel1;      // first intensity column: the red trace
  ExperimentalSpectrum channel2;      // second intensity column: the blue trace
  std::vector<ReadMessage> messages;  // empty for a silent refusal (all fields equal)
};

HarrowOutcome ReadHarrowFile(const std::string& path);

// The channel text the reader parses: "freq=%12.5lf\ntemp=%8.3lf\n", then
// "%lf \t%13.7lg\n" per point.
std::string harrowChannelText(double frequency, double temperature, const std::vector<double>& fields,
                              const std::vector<double>& intensities);

}  // namespace quorra

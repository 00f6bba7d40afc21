#pragma once
// A spectrum file read as two channels on one field grid in gauss, for the
// commands that write the two-channel Harrow layout: a Harrow .dat file
// gives its two intensity columns, a complex Bruker trace its real and
// imaginary parts. A file of one trace (a real Bruker trace, a text
// spectrum) gives zeros in channel 1 and the trace in channel 2, as the
// acquisition window saves a lone experimental spectrum; so does a Harrow
// file whose other column is flat (the Harrow reader leaves such a column
// out).

#include <string>
#include <vector>

namespace quorra::cli {

struct TwoChannelSpectrum {
  std::vector<double> fields;    // gauss
  std::vector<double> channel1;  // first intensity column / real part
  std::vector<double> channel2;  // second intensity column / imaginary part
  double frequency = 0.0;        // GHz; 0 when the file gives none
  bool twoChannels = false;      // the file really holds two channels
};

// Reads path, chosen by its extension as the desktop program's loaders
// choose. Returns kExitOk, or reports the reader's messages on stderr and
// returns kExitUsage.
int readTwoChannels(const std::string& path, TwoChannelSpectrum& spectrum);

// text with its line breaks made blanks, for one line of a file header.
std::string singleLine(std::string text);

}  // namespace quorra::cli

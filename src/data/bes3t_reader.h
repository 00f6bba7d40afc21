#pragma once
// Reader of BES3T pairs: binary data (.dta) with a description file (.dsc,
// one key and value per line). Byte order (BSEQ BIG/LIT), item type (IRFMT
// D, F, I, S, C), real or complex channels (IKKF) and 2D sets (XPTS × YPTS ×
// ZPTS) come from the description; the real part of the first channel of the
// first trace is loaded, and its imaginary part beside it when the channel
// is complex. Files whose x axis is not a magnetic field, point counts
// (Resolution, XPTS) that are not whole numbers, data files shorter than the
// description promises and unknown data formats are refused with a message;
// nothing is guessed.

#include <string>

#include "data/experimental_spectrum.h"

namespace quorra {

// Reads the data file path with its description dscPath. On success the
// spectrum holds the points, the grid in the file's units, the frequency
// (the previous one when the file has none) and a summary of the
// description as the parameter text; on failure the messages explain why.
ReadOutcome ReadBes3tSpectrum(const std::string& path, const std::string& dscPath,
                              const PreviousGrid& previous);

}  // namespace quorra

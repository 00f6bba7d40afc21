#pragma once
// Reader of Bruker spectrometer files, chosen by the extension of the picked
// file (in any case):
// - .dta: binary data with a BES3T description file .dsc (one key and value
//   per line). Byte order (BSEQ BIG/LIT), item type (IRFMT D, F, I, S, C),
//   real or complex channels (IKKF) and 2D sets (XPTS × YPTS × ZPTS) come from
//   the description; the real part of the first channel of the first trace
//   is loaded, and its imaginary part beside it when the channel is complex.
// - .spc: binary data with an ESP/WinEPR parameter file .par. Without "DOS"
//   in the parameter text the samples are big-endian 32-bit integers, with it
//   little-endian 32-bit floats or 64-bit doubles, decided by the file size.
//   Of a 2D set (SSX/SSY, or REY > 1) the first trace is loaded.
// The companion file is looked for with the lower-case extension first, then
// with any case of it in the same folder. Files whose x axis is not a
// magnetic field, point counts (Resolution, XPTS, ANZ, RES) that are not
// whole numbers, data files shorter than the description promises and
// unknown data formats are refused with a message; nothing is guessed.

#include <string>

#include "data/experimental_spectrum.h"

namespace quorra {

// Reads the pair of the picked .dta or .spc file. On success the spectrum
// holds the points, the grid in the file's units, the frequency (the previous
// one when the file has none) and the parameter text. On failure the
// messages explain why (a path without a dta/spc extension gets none).
ReadOutcome ReadBrukerSpectrum(const std::string& path, const PreviousGrid& previous);

}  // namespace quorra

#pragma once
// Reader of Bruker spectrometer files, chosen by the extension of the picked
// file (in any case): a .dta file is read with its BES3T description .dsc
// (bes3t_reader.h), a .spc file with its ESP/WinEPR parameter file .par
// (esp_reader.h). The companion file is looked for with the lower-case
// extension first, then with any case of it in the same folder.

#include <string>

#include "data/experimental_spectrum.h"

namespace quorra {

// Reads the pair of the picked .dta or .spc file. On success the spectrum
// holds the points, the grid in the file's units, the frequency (the previous
// one when the file has none) and the parameter text. On failure the
// messages explain why (a path without a dta/spc extension gets none).
ReadOutcome ReadBrukerSpectrum(const std::string& path, const PreviousGrid& previous);

}  // namespace quorra

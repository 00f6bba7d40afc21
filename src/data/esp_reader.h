#pragma once
// Reader of ESP/WinEPR pairs: binary data (.spc) with a parameter file
// (.par). Without "DOS" in the parameter text the samples are big-endian
// 32-bit integers, with it little-endian 32-bit floats or 64-bit doubles,
// decided by the file size. Of a 2D set (SSX/SSY, or REY > 1) the first
// trace is loaded. Files whose x axis is not a magnetic field, point counts
// (ANZ, RES) that are not whole numbers, data files too short for their
// points and unknown data formats are refused with a message; nothing is
// guessed.

#include <string>

#include "data/experimental_spectrum.h"

namespace quorra {

// Reads the data file path with its parameter file parPath. On success the
// spectrum holds the points, the grid in the file's units, the frequency
// (the previous one when the file has none) and the parameter text; on
// failure the messages explain why.
ReadOutcome ReadEspSpectrum(const std::string& path, const std::string& parPath,
                            const PreviousGrid& previous);

}  // namespace quorra

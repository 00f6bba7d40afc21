#pragma once
// Plain-text spectra, the program's interchange format. Reading: header lines
// "freq=" (GHz), "hister=" (a field shift in gauss) and "temp=" (kelvin)
// anywhere in the file, and data lines of two fields (field, intensity) or
// three and more (index, field, intensity). Fields may be in gauss or tesla,
// ascending or descending, negative, unevenly spaced: the reader turns them
// into an ascending uniform grid and resamples the intensities onto it.
// Writing: see text_spectrum_format.h.

#include <climits>
#include <string>
#include <string_view>

#include "data/experimental_spectrum.h"

namespace quorra {

inline constexpr int kMaxTextDataLines = 200000;

// Reads the text spectrum in path. Refusals: the file cannot be read, no
// memory for the work arrays, more than 200000 data lines, fewer than two
// data lines, a zero or infinite field range, or equal intensities.
ReadOutcome ReadTextSpectrum(const std::string& path);

// The same for a text held in memory; path names it in the messages.
ReadOutcome parseTextSpectrum(std::string_view content, const std::string& path);

// Counts the lines (pieces of at most 79 characters) that hold between
// minFields and maxFields white-space separated fields. With a marker, only
// the lines after the marker line count (0 without a marker line), and
// collectedText receives the lines before it, as SkipToMarker collects them.
// Counting stops when the count reaches stopAt: a caller that refuses more
// than a limit need not read past it.
int CountDataLines(std::string_view content, int minFields, std::string_view marker = {},
                   std::string* collectedText = nullptr, int maxFields = 3, int stopAt = INT_MAX);

// From position on, reads lines of at most 99 characters until one begins
// with marker (compared without regard to case); position then points after
// that line and the result is true. Every other line is appended to
// collectedText (emptied first) without its line break, followed by "\r\n".
// Without a marker line collectedText is emptied and the result is false.
bool SkipToMarker(std::string_view content, size_t& position, std::string_view marker,
                  std::string* collectedText);

}  // namespace quorra

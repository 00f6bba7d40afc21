#pragma once
// The ".dat" layout of the high-field spectrometer as the acquisition window
// writes it, byte for byte:
//   the header text, ending in CR LF;
//   "Source Freq  %10.5lf\r\n" with the frequency in GHz;
//   the comment text, ending in CR LF;
//   "\r\n>BEGIN\r\n";
//   one row "%9.6lf\t%8.5lf\t%8.5lf\n" per point: the field in tesla and the
//   two channels.
// The temperature is not written: read back, it is 300 K.

#include <string>
#include <string_view>

namespace quorra {

// text, with CR LF appended unless it ends with a line feed (an empty text
// becomes one empty line).
std::string withFinalLineBreak(std::string_view text);

// The whole file. fields are in gauss; channel1 is the red trace, channel2
// the blue one.
std::string formatHarrowFile(std::string_view header, double frequency, std::string_view comment,
                             const double* fields, const double* channel1, const double* channel2, int count);

}  // namespace quorra

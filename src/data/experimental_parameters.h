#pragma once
// The experimental parameter text: the listing of the acquisition settings of
// the last experimental file that the "Show experimental parameters" command
// displays. A description file (.dsc) yields a summary in the key names of a
// parameter file; a parameter file (.par) is shown as its own text.

#include <string>
#include <string_view>

namespace quorra {

// Acquisition settings taken from a description file, in the file's units
// except where noted.
struct DescriptionSummary {
  int scans = 1;                     // NbScansDone
  double sweepStart = 0.0;           // XMIN (gauss or tesla)
  double sweepWidth = 0.0;           // XWID
  double fieldCentre = 0.0;          // XMIN + XWID/2
  double frequency = 0.0;            // GHz
  double power = 10.0;               // mW
  double modulationAmplitude = 5.0;  // gauss (B0MA × 10000)
  double receiverGain = 1000.0;      // linear (10^(RCAG/20))
  double conversionTime = 10.24;     // ms (SPTP × 1000)
  int points = 0;
  std::string title;  // the TITL line's text, empty without one
};

// "JSD %d\r\nGST %lf\r\nGSI %lf\r\nHCF %lf\r\nHSW %lf\r\nMF %lf\r\nMP %lf\r\n
// RMA %lf\r\nRRG %lf\r\nRCT %lf\r\nRES %d\r\nJCO %s", without a final line
// break.
std::string formatDescriptionSummary(const DescriptionSummary& summary);

// A parameter file's text as it is shown and searched: a line feed after
// every carriage return, and everything after the last decimal digit cut off.
std::string parameterFileText(std::string_view raw);
// The same text with its line feeds inserted but nothing cut off.
std::string parameterFileLines(std::string_view raw);

// The note a loader appends when it loaded part of a file: the first of
// several traces, or the real part of complex data.
std::string tracesNote(int traces);
std::string complexDataNote();

}  // namespace quorra

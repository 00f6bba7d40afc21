#pragma once
// The commands that bring experimental spectra in and take traces out:
// "Load Bruker spectrum", "Load spectrum as text", "Load Harrow's file",
// "Save Red/Blue spectrum as a text file" and "Show experimental
// parameters". A load reads into scratch storage and installs the result
// only when the whole file was accepted, so a refused file leaves the traces,
// the grid, the frequency, the parameter text and currentFileName as they
// were. Refusals are reported through the seam.

#include <optional>
#include <string>

#include "app/ceprwindow.h"

namespace quorra {

// What a load leaves besides the state: for reports such as the command
// line's "info".
struct LoadReport {
  bool loaded = false;
  std::string format;         // "BES3T", "ESP", "text" or "Harrow"
  int traces = 0;             // traces (Harrow: channels) in the file
  bool hasFrequency = false;  // the file gave a microwave frequency
  std::string title;
  std::string descriptionPath;  // the description or parameter file read with the data
};

// Command 1000: file dialog, then LoadBrukerPath.
LoadReport LoadBrukerSpectrum(CEprWindow& w);
// Reads a .dta/.dsc or .spc/.par pair into the blue trace, the grid, the
// experimental frequency and the parameter text, then InstallExperimentalTrace
// and ApplyParameters. A refusal shows the reader's message (if any) and then
// the path under "Error reading file".
LoadReport LoadBrukerPath(CEprWindow& w, const std::string& path);

// Command 1010: file dialog, then LoadTextPath. The desktop program opens the
// Parameters dialog afterwards in every case, so that the user can check the
// frequency and the grid.
LoadReport LoadTextSpectrum(CEprWindow& w);
// Reads a text spectrum into the blue trace, the grid, the experimental
// frequency (0 without "freq=") and the temperature (300 without "temp="),
// then InstallExperimentalTrace. The field axis follows at the next
// ApplyParameters; the parameter text is not changed.
LoadReport LoadTextPath(CEprWindow& w, const std::string& path);

// Command 1020: file dialog, then LoadHarrowPath.
LoadReport LoadHarrowFile(CEprWindow& w);
// Reads a Harrow .dat file: the first channel becomes the red trace, the
// second the blue one, on the grid of the file's fields; the header becomes
// the parameter text. A flat channel is left out.
LoadReport LoadHarrowPath(CEprWindow& w, const std::string& path);

// Loads any supported file as the matching command does, chosen by its
// extension: .dta and .spc as Bruker, .dat as Harrow, anything else as text.
LoadReport LoadExperimentalFile(CEprWindow& w, const std::string& path);

// Asks "Overwrite existing file?" (Yes/No) when path names an existing file;
// true when it does not exist or may be replaced.
bool ConfirmOverwrite(UserInterface& ui, const std::string& path);

// Commands 1040 and 1050: write the red or the blue trace as a text spectrum
// after the save dialog, asking before an existing file is replaced. The file
// is written beside the target and renamed over it, so a failed save leaves
// the old file intact. True when the file was written.
bool SaveRedSpectrumAsText(CEprWindow& w);
bool SaveBlueSpectrumAsText(CEprWindow& w);

// Command 1030: the experimental parameter text to show, or nothing (with a
// message) when there is no experimental spectrum.
std::optional<std::string> ShowExperimentalParameters(CEprWindow& w);

}  // namespace quorra

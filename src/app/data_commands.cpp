#include "app/data_commands.h"

#include <algorithm>
#include <cstdio>

#include "data/atomic_file.h"
#include "data/bruker_reader.h"
#include "data/harrow_reader.h"
#include "data/spectrum_file_kind.h"
#include "data/text_spectrum.h"
#include "data/text_spectrum_format.h"

namespace quorra {

namespace {

void showMessages(CEprWindow& w, const std::vector<ReadMessage>& messages) {
  for (const ReadMessage& message : messages) w.ui().messageBox(message.text, message.title, message.icon);
}

LoadReport reportOf(const ExperimentalSpectrum& spectrum) {
  return {true,           spectrum.format,         spectrum.traces, spectrum.hasFrequency,
          spectrum.title, spectrum.descriptionPath};
}

// Writes an accepted spectrum into the blue values and the grid. The arrays
// were made to hold it before.
void writeBlueTrace(CEprWindow& w, const ExperimentalSpectrum& spectrum) {
  std::copy(spectrum.values.begin(), spectrum.values.end(), w.blueValues());
  w.spin.fieldCentre = spectrum.fieldCentre;
  w.spin.fieldRange = spectrum.fieldRange;
  w.spin.fieldStep = spectrum.fieldRange / (static_cast<double>(spectrum.values.size()) - 1);
  w.spin.experimentalFrequency = spectrum.frequency;
}

std::optional<std::string> openDialog(CEprWindow& w, const char* filter, const char* extension) {
  FileDialogRequest request;
  request.filter = filter;
  request.defaultExtension = extension;
  return w.ui().openFileDialog(request);
}

bool fileExists(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "r");
  if (file == nullptr) return false;
  std::fclose(file);
  return true;
}

bool saveTraceAsText(CEprWindow& w, bool present, const double* values, const char* missingText) {
  if (!present) {
    w.ui().messageBox(missingText, "NOTHING TO SAVE", MessageIcon::Stop);
    return false;
  }
  FileDialogRequest request;
  request.filter = "Text files (*.txt)|*.txt|All files (*.*)|*.*||";
  request.defaultExtension = "txt";
  request.overwritePrompt = true;
  const std::optional<std::string> path = w.ui().saveFileDialog(request);
  if (!path) return false;
  if (!ConfirmOverwrite(w.ui(), *path)) return false;
  const std::string error = writeFileAtomically(
      *path,
      formatTextSpectrum(values, w.spin.points, w.spin.fieldCentre, w.spin.fieldRange, w.spin.fieldStep));
  if (!error.empty()) {
    w.ui().messageBox(error + "\n" + *path, "FILE NOT SAVED", MessageIcon::Information);
    return false;
  }
  w.currentFileName = *path;
  return true;
}

}  // namespace

bool ConfirmOverwrite(UserInterface& ui, const std::string& path) {
  return !fileExists(path) || ui.messageBox("Overwrite existing file?", "FILE EXISTS", MessageIcon::Stop,
                                            MessageButtons::YesNo) == MessageResult::Yes;
}

LoadReport LoadBrukerSpectrum(CEprWindow& w) {
  const std::optional<std::string> path = openDialog(w, "Bruker Files dta, spc |*.dta; *.spc||", "dta");
  if (!path) return {};
  return LoadBrukerPath(w, *path);
}

LoadReport LoadBrukerPath(CEprWindow& w, const std::string& path) {
  const PreviousGrid previous{w.spin.fieldCentre, w.spin.fieldRange, w.spin.experimentalFrequency,
                              w.spin.points};
  const ReadOutcome outcome = ReadBrukerSpectrum(path, previous);
  if (!outcome.ok) {
    showMessages(w, outcome.messages);
    w.ui().messageBox(path, "Error reading file", MessageIcon::Stop);
    return {};
  }
  const ExperimentalSpectrum& spectrum = outcome.spectrum;
  if (!w.EnsureArrayCapacity(static_cast<int>(spectrum.values.size()))) {
    if (spectrum.format == "BES3T")
      w.ui().messageBox(spectrum.descriptionPath, "Arrays not allocated", MessageIcon::Stop);
    w.ui().messageBox(path, "Error reading file", MessageIcon::Stop);
    return {};
  }
  writeBlueTrace(w, spectrum);
  w.experimentalParameterText = spectrum.parameterText;
  w.currentFileName = path;
  w.InstallExperimentalTrace();
  w.ApplyParameters();
  return reportOf(spectrum);
}

LoadReport LoadTextSpectrum(CEprWindow& w) {
  const std::optional<std::string> path =
      openDialog(w, "Text files (*.txt,*.asc)|*.txt; *.asc|All files (*.*)|*.*||", "txt");
  if (!path) return {};
  return LoadTextPath(w, *path);
}

LoadReport LoadTextPath(CEprWindow& w, const std::string& path) {
  const ReadOutcome outcome = ReadTextSpectrum(path);
  if (!outcome.ok) {
    showMessages(w, outcome.messages);
    return {};
  }
  const ExperimentalSpectrum& spectrum = outcome.spectrum;
  if (!w.EnsureArrayCapacity(static_cast<int>(spectrum.values.size()))) return {};
  writeBlueTrace(w, spectrum);
  w.spin.temperature = spectrum.temperature;
  w.currentFileName = path;
  w.InstallExperimentalTrace();
  return reportOf(spectrum);
}

LoadReport LoadHarrowFile(CEprWindow& w) {
  const std::optional<std::string> path =
      openDialog(w, "Harrow's Files (*.dat )|*.dat|All files (*.*)|*.*||", "dat");
  if (!path) return {};
  return LoadHarrowPath(w, *path);
}

LoadReport LoadHarrowPath(CEprWindow& w, const std::string& path) {
  const HarrowOutcome outcome = ReadHarrowFile(path);
  if (!outcome.ok) {
    showMessages(w, outcome.messages);
    return {};
  }
  const ExperimentalSpectrum& first = outcome.channel1;
  const ExperimentalSpectrum& second = outcome.channel2;
  const ExperimentalSpectrum& shown = second.values.empty() ? first : second;
  if (!w.EnsureArrayCapacity(static_cast<int>(shown.values.size()))) return {};
  if (!first.values.empty()) {
    writeBlueTrace(w, first);
    w.InstallExperimentalTrace();
    w.TransferBlueToRed();
  } else {
    w.flags.redPresent = false;
    w.showTrace(CChildView::kRed, false);
  }
  if (!second.values.empty()) {
    writeBlueTrace(w, second);
    w.InstallExperimentalTrace();
  }
  w.spin.temperature = shown.temperature;
  w.experimentalParameterText = shown.parameterText;
  w.currentFileName = path;
  w.ApplyParameters();
  return reportOf(shown);
}

LoadReport LoadExperimentalFile(CEprWindow& w, const std::string& path) {
  switch (spectrumFileKind(path)) {
    case SpectrumFileKind::Bes3t:
    case SpectrumFileKind::Esp:
      return LoadBrukerPath(w, path);
    case SpectrumFileKind::Harrow:
      return LoadHarrowPath(w, path);
    case SpectrumFileKind::Text:
      break;
  }
  return LoadTextPath(w, path);
}

bool SaveRedSpectrumAsText(CEprWindow& w) {
  return saveTraceAsText(w, w.flags.redPresent, w.redValues(), "There is no simulated spectrum");
}

bool SaveBlueSpectrumAsText(CEprWindow& w) {
  return saveTraceAsText(w, w.flags.bluePresent, w.blueValues(), "There is no experimental spectrum");
}

std::optional<std::string> ShowExperimentalParameters(CEprWindow& w) {
  if (!w.flags.bluePresent) {
    w.ui().messageBox("No experimental spectrum is available", "NO PARAMETERS TO SHOW", MessageIcon::Stop);
    return std::nullopt;
  }
  return w.experimentalParameterText;
}

}  // namespace quorra

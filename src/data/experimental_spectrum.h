#pragma once
// What a reader of an experimental file hands to the loaders: the intensities
// on a uniform field grid and the acquisition parameters, or the messages
// that explain why the file was refused. Readers never touch the simulation
// state, so a refused file changes nothing.

#include <string>
#include <vector>

#include "engine/message_sink.h"

namespace quorra {

struct ReadMessage {
  std::string text;
  std::string title;
  MessageIcon icon = MessageIcon::Stop;
};

struct ExperimentalSpectrum {
  std::string format;          // "BES3T", "ESP", "text" or "Harrow"
  std::vector<double> values;  // intensities at fieldCentre − fieldRange/2 + i·fieldRange/(n − 1)
  // The imaginary part of values when the file's trace is complex (the
  // quadrature channel of the detector); empty otherwise.
  std::vector<double> imaginary;
  // Grid as the file gives it: gauss, or tesla when the centre is below 50
  // (the state converts such a grid to gauss when it installs the trace).
  double fieldCentre = 0.0;
  double fieldRange = 0.0;
  bool hasFrequency = false;  // the file gave a microwave frequency
  double frequency = 0.0;     // GHz; the previous value when the file has none
  bool hasTemperature = false;
  double temperature = 300.0;  // kelvin
  bool setsParameterText = false;
  std::string parameterText;    // lines separated by CR LF
  std::string title;            // the file's own title or comment, if any
  int traces = 1;               // traces in the file; the first one is loaded
  std::string descriptionPath;  // the description or parameter file that was read
};

// A grid centred below 50 is in tesla: centre and range become gauss.
inline void convertTeslaGridToGauss(double& centre, double& range) {
  if (centre < 50) {
    centre *= 10000;
    range *= 10000;
  }
}

struct ReadOutcome {
  bool ok = false;
  ExperimentalSpectrum spectrum;
  std::vector<ReadMessage> messages;  // the reader's own reports, in order

  void refuse(std::string text, std::string title, MessageIcon icon = MessageIcon::Stop) {
    ok = false;
    messages.push_back({std::move(text), std::move(title), icon});
  }
};

// Values from the simulation state that a reader keeps when the file does not
// replace them.
struct PreviousGrid {
  double fieldCentre = 3000.0;  // gauss
  double fieldRange = 6000.0;   // gauss
  double frequency = 9.0;       // GHz, the experimental frequency
  int points = 65536;
};

}  // namespace quorra

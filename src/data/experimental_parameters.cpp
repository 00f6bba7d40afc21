#include "data/experimental_parameters.h"

#include "data/number_text.h"

namespace quorra {

std::string formatDescriptionSummary(const DescriptionSummary& s) {
  std::string text;
  const auto line = [&text](const char* key, double value) {
    text += key;
    appendFixed(text, value, 6);
    text += "\r\n";
  };
  text += "JSD ";
  appendInt(text, s.scans);
  text += "\r\n";
  line("GST ", s.sweepStart);
  line("GSI ", s.sweepWidth);
  line("HCF ", s.fieldCentre);
  line("HSW ", s.sweepWidth);
  line("MF ", s.frequency);
  line("MP ", s.power);
  line("RMA ", s.modulationAmplitude);
  line("RRG ", s.receiverGain);
  line("RCT ", s.conversionTime);
  text += "RES ";
  appendInt(text, s.points);
  text += "\r\nJCO ";
  text += s.title;
  return text;
}

std::string parameterFileLines(std::string_view raw) {
  std::string text;
  text.reserve(raw.size() * 2);
  for (char c : raw) {
    text += c;
    if (c == '\r') text += '\n';
  }
  return text;
}

std::string parameterFileText(std::string_view raw) {
  std::string text = parameterFileLines(raw);
  const size_t lastDigit = text.find_last_of("0123456789");
  text.resize(lastDigit == std::string::npos ? 0 : lastDigit + 1);
  return text;
}

std::string tracesNote(int traces) {
  std::string text = "\r\nTraces in the file: ";
  appendInt(text, traces);
  text += "; the first is loaded";
  return text;
}

std::string complexDataNote() {
  return "\r\nComplex data: the real part of the first channel is loaded";
}

}  // namespace quorra

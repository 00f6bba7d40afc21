#include "data/harrow_writer.h"

#include "data/number_text.h"

namespace quorra {

std::string withFinalLineBreak(std::string_view text) {
  std::string out(text);
  if (out.empty() || out.back() != '\n') out += "\r\n";
  return out;
}

std::string formatHarrowFile(std::string_view header, double frequency, std::string_view comment,
                             const double* fields, const double* channel1, const double* channel2,
                             int count) {
  std::string text = withFinalLineBreak(header);
  text += "Source Freq  ";
  appendFixed(text, frequency, 5, 10);
  text += "\r\n";
  text += withFinalLineBreak(comment);
  text += "\r\n>BEGIN\r\n";
  text.reserve(text.size() + static_cast<size_t>(count > 0 ? count : 0) * 32);
  for (int i = 0; i < count; ++i) {
    appendFixed(text, fields[i] / 10000, 6, 9);
    text += '\t';
    appendFixed(text, channel1[i], 5, 8);
    text += '\t';
    appendFixed(text, channel2[i], 5, 8);
    text += '\n';
  }
  return text;
}

}  // namespace quorra

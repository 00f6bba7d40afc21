#pragma once
// JSON values as the --json outputs of the command line and the fit report
// write them.

#include <string>

namespace quorra {

// The shortest text that reads back as the same double; null when it is not
// finite (JSON has no NaN or infinity).
std::string jsonNumber(double value);

// A JSON string. Bytes that are not UTF-8 (old parameter files use 8-bit
// code pages) are taken as Latin-1.
std::string jsonString(const std::string& text);

}  // namespace quorra

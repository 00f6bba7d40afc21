// Parameters set by name as --set NAME=VALUE does: one setting per line of
// the input, split at the first '=', applied in order until one is refused;
// then the check every command makes before it computes, and every value
// read back by name.

#include <string_view>

#include "app/ceprwindow.h"
#include "app/parameter_names.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quorra;
  SilentUserInterface ui;
  CEprWindow window(ui);
  std::string_view rest = fuzz::asText(data, size);
  while (!rest.empty()) {
    const size_t end = rest.find('\n');
    const std::string_view setting = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    const size_t equals = setting.find('=');
    if (equals == std::string_view::npos || equals == 0) break;
    const std::string problem =
        setParameter(window, std::string(setting.substr(0, equals)), std::string(setting.substr(equals + 1)));
    if (!problem.empty()) break;
  }
  window.CheckParameters();
  for (const ParameterName& name : parameterNames()) parameterValue(window, name.name);
  return 0;
}

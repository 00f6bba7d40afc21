// An ESP/WinEPR pair as the Bruker loader reads it: the input is the
// parameter text (.par), the separator line, then the binary data (.spc);
// both go to files and the data file is loaded into a fresh state.

#include "app/ceprwindow.h"
#include "app/data_commands.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quorra;
  const auto [parameters, values] = fuzz::splitPair(data, size);
  const fuzz::InputFolder folder;
  folder.write("fuzz.par", parameters);
  const std::string path = folder.write("fuzz.spc", values);
  SilentUserInterface ui;
  CEprWindow window(ui);
  LoadBrukerPath(window, path);
  return 0;
}

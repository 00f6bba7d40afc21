// A BES3T pair as the Bruker loader reads it: the input is the description
// text (.dsc), the separator line, then the binary data (.dta); both go to
// files and the data file is loaded into a fresh state.

#include "app/ceprwindow.h"
#include "app/data_commands.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quorra;
  const auto [description, values] = fuzz::splitPair(data, size);
  const fuzz::InputFolder folder;
  folder.write("fuzz.dsc", description);
  const std::string path = folder.write("fuzz.dta", values);
  SilentUserInterface ui;
  CEprWindow window(ui);
  LoadBrukerPath(window, path);
  return 0;
}

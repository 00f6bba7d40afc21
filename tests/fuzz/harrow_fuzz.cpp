// A Harrow .dat file as its loader reads it: the input is the file, loaded
// into a fresh state (both channels, the red and the blue trace).

#include "app/ceprwindow.h"
#include "app/data_commands.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quorra;
  const fuzz::InputFolder folder;
  const std::string path = folder.write("fuzz.dat", fuzz::asText(data, size));
  SilentUserInterface ui;
  CEprWindow window(ui);
  LoadHarrowPath(window, path);
  return 0;
}

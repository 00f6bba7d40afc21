// The text typed into the "Levels at field" box ("FIELD THETA PHI"): read,
// and when it holds three finite numbers, the levels of the default spin
// system computed and listed there.

#include "app/ceprwindow.h"
#include "app/levels_commands.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quorra;
  SilentUserInterface ui;
  CEprWindow window(ui);
  LevelsAtField(window, std::string(fuzz::asText(data, size)));
  return 0;
}

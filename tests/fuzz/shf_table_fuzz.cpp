// The superhyperfine table as typed or read with --shf: parsed, and when it
// is accepted, checked with the other parameters as before a simulation.

#include <cstdlib>

#include "app/ceprwindow.h"
#include "engine/shf_table.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quorra;
  const std::string text(fuzz::asText(data, size));
  const ShfParseResult table = parseShfTable(text);
  if (!table.ok()) return 0;
  // What an accepted table promises the engine.
  if (table.sets.size() > static_cast<size_t>(kMaxShfSets)) std::abort();
  for (const ShfSet& set : table.sets)
    if (set.twoIs <= 0 || set.atoms < 0 || set.atoms * set.twoIs > kMaxShfTwoIAtoms) std::abort();
  SilentUserInterface ui;
  CEprWindow window(ui);
  window.shfText = text;
  window.CheckParameters();
  return 0;
}

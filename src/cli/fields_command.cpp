// quorra fields: the resonance fields of one orientation as the engine
// records them, to check a spectrum against.

#include <cstdio>

#include "app/ceprwindow.h"
#include "app/crystal_commands.h"
#include "cli/cli_support.h"
#include "cli/commands.h"
#include "cli/console_ui.h"

namespace quorra::cli {

namespace {

struct FieldsOptions {
  ParameterOptions parameters;
  std::string orientation;
  bool json = false;
};

int runFields(const FieldsOptions& options) {
  ConsoleUserInterface ui;
  CEprWindow window(ui);
  const std::string problem = applyParameterOptions(window, options.parameters);
  if (!problem.empty()) return fail(kExitUsage, problem);
  double theta = 0, phi = 0;
  if (!parseAngles(options.orientation, theta, phi))
    return fail(kExitUsage, "--orientation expects THETA,PHI in degrees, got \"" + options.orientation + "\".");
  if (!window.CheckParameters()) return kExitUsage;

  singleCrystal(window, theta, phi);
  if (options.json) std::printf("[");
  bool first = true;
  for (const Transition& t : window.crystalTransitions) {
    if (options.json) {
      std::printf("%s\n  {\"field\": %.4f, \"probability\": %.10g, \"levels\": [%d, %d]}", first ? "" : ",",
                  t.field, t.probability, t.upper, t.lower);
    } else {
      std::printf("%.4f %.6E %d %d\n", t.field, t.probability, t.upper, t.lower);
    }
    first = false;
  }
  if (options.json) std::printf("%s]\n", first ? "" : "\n");
  return kExitOk;
}

}  // namespace

void addFieldsCommand(CLI::App& app, int& exitCode) {
  static FieldsOptions options;
  CLI::App* command = app.add_subcommand(
      "fields",
      "Print the resonance fields of one orientation as the engine records them, one line each:\n"
      "field in gauss (4 decimals), transition probability, and the two level numbers (1 = highest).");
  command->add_option("--orientation", options.orientation, "Field direction THETA,PHI in degrees")
      ->type_name("THETA,PHI")
      ->required();
  command->add_flag("--json", options.json, "Print a JSON array of {field, probability, levels}");
  addParameterOptions(*command, options.parameters);
  command->callback([&exitCode] { exitCode = runFields(options); });
}

}  // namespace quorra::cli

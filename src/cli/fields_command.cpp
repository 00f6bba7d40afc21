// quorra fields: the resonance fields of one orientation as the engine
// records them, to check a spectrum against.

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
  double theta = 0, phi = 0;
  if (const int code = readParametersAndAngles(window, options.parameters, "--orientation",
                                               options.orientation, theta, phi))
    return code;
  if (!window.CheckParameters()) return kExitUsage;
  if (!singleCrystal(window, theta, phi))
    return fail(kExitFailed, "the resonance fields could not all be computed; none printed.");
  printTransitions(window.crystalTransitions, options.json, &window);
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

// quorra: the command line of the EPR simulator. It runs the same state
// owner and engine as the desktop program, without a window.

#include <CLI/CLI.hpp>

#include "cli/cli_support.h"
#include "cli/cluster.h"
#include "cli/commands.h"
#include "cli/console_ui.h"
#include "cli/plot_output.h"

namespace {

using namespace quorra::cli;

// The subcommand of the command line: its first word that is not an option.
std::string subcommandOf(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    if (argv[i][0] != '-') return argv[i];
  return {};
}

int run(int argc, char** argv) {
  // Under an MPI launcher only the commands that share their work among the
  // processes run; any other would do the same work N times, writing the
  // same files.
  const std::string subcommand = subcommandOf(argc, argv);
  if (clusterSize() > 1 && !subcommand.empty() && subcommand != "simulate" && subcommand != "fit" &&
      subcommand != "batch") {
    if (clusterRank() == 0)
      fail(kExitUsage, "quorra " + subcommand +
                           " runs in one process: only simulate, fit and batch share their work among the "
                           "processes of an MPI run.");
    return kExitUsage;
  }
  ConsoleUserInterface::installSignalHandlers();
  CLI::App app{
      "quorra: exact simulation of EPR spectra of one electron spin (S = 1/2) coupled to one nucleus\n"
      "(I = 1/2 ... 7) and up to 20 sets of equivalent superhyperfine nuclei, by diagonalisation of\n"
      "the spin Hamiltonian. Fields in gauss, frequencies in GHz, angles in degrees.",
      "quorra"};
  app.require_subcommand(1);
  app.set_help_all_flag("--help-all", "Show the help of every subcommand");

  int exitCode = kExitOk;
  addSimulateCommand(app, exitCode);
  addFieldsCommand(app, exitCode);
  addInfoCommand(app, exitCode);
  addConvertCommand(app, exitCode);
  addPlotCommand(app, exitCode);
  addCrystalCommand(app, exitCode);
  addRotateCommand(app, exitCode);
  addRoadmapCommand(app, exitCode);
  addLevelsCommand(app, exitCode);
  addRephaseCommand(app, exitCode);
  addFitCommand(app, exitCode);
  addBatchCommand(app, exitCode);
  // Every help ends with the exit codes.
  app.footer(exitCodeHelp());
  for (CLI::App* command : app.get_subcommands([](CLI::App*) { return true; })) {
    const std::string own = command->get_footer();
    command->footer(own.empty() ? exitCodeHelp() : own + "\n\n" + exitCodeHelp());
  }

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    return fail(kExitUsage, e.what());
  }
  return exitCode;
}

}  // namespace

int main(int argc, char** argv) {
  startClusterRun(argc, argv);
  const int code = run(argc, argv);
  finishClusterRun();
  return code;
}

#pragma once
// What the subcommands share: parameter options (--set, --shf), angle pairs,
// loading a measured spectrum, exit codes and the one-line error report.

#include <CLI/CLI.hpp>
#include <string>
#include <vector>

#include "app/data_commands.h"

namespace quorra {
class CEprWindow;
struct Transition;
}  // namespace quorra

namespace quorra::cli {

class ConsoleUserInterface;

// One meaning per code; exitCodeHelp() says them in every --help.
enum ExitCode : int {
  kExitOk = 0,
  kExitFailed = 1,         // the computation gave no result; nothing written
  kExitUsage = 2,          // bad command line, parameters or input file; nothing written
  kExitWrite = 3,          // an output file could not be written (full disk, no such folder, ...)
  kExitInterrupted = 130,  // stopped by SIGINT (Ctrl-C); nothing written
  kExitTerminated = 143,   // stopped by SIGTERM; nothing written
};

// The exit codes as the help footers list them.
std::string exitCodeHelp();

// "cannot write PATH: REASON" on stderr; returns kExitWrite.
int failWrite(const std::string& path, const std::string& reason);

struct ParameterOptions {
  std::vector<std::string> settings;  // NAME=VALUE
  std::string shfFile;
  std::string preset = "exact";  // exact, or physical: the physical model's usual choices before --set
  std::string grid;              // exact or adaptive: the powder grid (before any --set)
  std::string tolerance;         // the adaptive grid's tolerance (before any --set)
};

// Adds --set NAME=VALUE (repeatable) and --shf FILE to a subcommand, and a
// footer listing every settable name with its unit and default.
void addParameterOptions(CLI::App& command, ParameterOptions& options);

// Applies the options to the window. Returns an empty string, or one line
// saying what is wrong.
std::string applyParameterOptions(CEprWindow& window, const ParameterOptions& options);

// Reads "THETA,PHI" (degrees). False when it is not two finite numbers.
bool parseAngles(const std::string& text, double& theta, double& phi);

// Says message (say(): "quorra: message" on stderr) and returns code.
int fail(int code, const std::string& message);

// Applies the parameter options to window and reads the angle pair given to
// option (for example "--orientation"). Returns kExitOk, or reports the
// problem and returns kExitUsage.
int readParametersAndAngles(CEprWindow& window, const ParameterOptions& parameters, const std::string& option,
                            const std::string& angles, double& theta, double& phi);

// Loads path into window as the load commands do. When nothing was loaded
// (report.loaded false) the reason has been said: the loader's own messages
// or one line.
LoadReport loadMeasuredFile(CEprWindow& window, const ConsoleUserInterface& ui, const std::string& path);

// Transitions on stdout, one per line: field in gauss with 4 decimals, the
// probability, the two level numbers; with json, a JSON array of
// {field, probability, levels}, and when window's physical model is not the
// exact one, the object {"model": {every choice}, "transitions": that array}.
void printTransitions(const std::vector<Transition>& transitions, bool json,
                      const CEprWindow* window = nullptr);

}  // namespace quorra::cli

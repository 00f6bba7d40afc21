#include "cli/cli_support.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "app/ceprwindow.h"
#include "app/parameter_names.h"
#include "cli/command_record.h"
#include "cli/console_ui.h"
#include "data/shf_table_file.h"
#include "engine/resonance_solver.h"

namespace quorra::cli {

namespace {

std::string parameterTable() {
  ConsoleUserInterface ui;
  const CEprWindow defaults(ui);
  std::string text =
      "Parameters (--set NAME=VALUE), with unit, default and the values taken (a parenthesis leaves its end "
      "out):\n";
  char line[192];
  for (const ParameterName& p : parameterNames()) {
    std::snprintf(line, sizeof line, "  %-16s %-18s %-10s %-21s %s\n", p.name, *p.unit ? p.unit : "-",
                  parameterValue(defaults, p.name).c_str(), parameterRangeText(p.name).c_str(), p.meaning);
    text += line;
  }
  text +=
      "\nThe superhyperfine table (--shf FILE) has one line per set of equivalent nuclei:\n"
      "spin (1/2 style or an integer) or a nucleus (14N, 1H, or an element such as Cl for its natural\n"
      "mixture), Ax, Ay, Az in gauss, number of atoms; at most 20 lines.\n"
      "\nThe physical model (names from microwaveMode on) is off by default: every spectrum is then the\n"
      "classic one. A nucleus by name takes spin and gn from the isotope table; for an element the A\n"
      "values given are those of its most abundant isotope with a spin, and scale with gn for the others.";
  return text;
}

}  // namespace

std::string exitCodeHelp() {
  return "Exit status: 0 done; 1 the computation gave no result; 2 bad command line, parameters or input\n"
         "file; 3 an output file could not be written; 130 interrupted by Ctrl-C (SIGINT); 143 stopped by\n"
         "SIGTERM. Output files are written under a temporary name that replaces them only when complete.";
}

int failWrite(const std::string& path, const std::string& reason) {
  return fail(kExitWrite, "cannot write " + path + ": " + reason);
}

void addParameterOptions(CLI::App& command, ParameterOptions& options) {
  command.add_option("--set", options.settings, "Set a parameter, NAME=VALUE (repeatable; names below)")
      ->type_name("NAME=VALUE")
      ->allow_extra_args(false);
  command.add_option("--shf", options.shfFile, "Read the superhyperfine table from FILE")->type_name("FILE");
  command
      .add_option(
          "--preset", options.preset,
          "exact (the classic model) or physical: microwaveMode=perpendicular, constants=codata2018,\n"
          "nuclearZeemanSign=physical, populations=1, sweepFactor=1, betweenPoints=1 (before any --set)")
      ->check(CLI::IsMember({"exact", "physical"}))
      ->capture_default_str();
  command
      .add_option(
          "--grid", options.grid,
          "Powder grid: exact (the thetaStep x phiStep grid, the default) or adaptive (a coarse grid\n"
          "over the part of the sphere the symmetry leaves, interpolated and refined until two\n"
          "successive spectra differ by at most --tolerance of the peak-to-peak height)")
      ->type_name("exact|adaptive");
  command.add_option("--tolerance", options.tolerance, "Adaptive grid: the tolerance (default 1e-3)")
      ->type_name("X");
  command.footer(parameterTable());
}

std::string applyParameterOptions(CEprWindow& window, const ParameterOptions& options) {
  if (const std::string problem = applyPreset(window, options.preset); !problem.empty()) return problem;
  if (!options.grid.empty())
    if (const std::string problem = setParameter(window, "grid", options.grid); !problem.empty())
      return problem;
  if (!options.tolerance.empty())
    if (const std::string problem = setParameter(window, "tolerance", options.tolerance); !problem.empty())
      return problem;
  for (const std::string& setting : options.settings) {
    const size_t equals = setting.find('=');
    if (equals == std::string::npos || equals == 0)
      return "--set expects NAME=VALUE, got \"" + setting + "\".";
    const std::string problem = setParameter(window, setting.substr(0, equals), setting.substr(equals + 1));
    if (!problem.empty()) return problem;
  }
  if (!options.shfFile.empty()) {
    std::string table, problem;
    if (!readShfTableFile(options.shfFile, table, problem)) return problem;
    window.shfText = table;
  }
  return {};
}

bool parseAngles(const std::string& text, double& theta, double& phi) {
  const size_t comma = text.find(',');
  if (comma == std::string::npos) return false;
  const std::string first = text.substr(0, comma), second = text.substr(comma + 1);
  char* end = nullptr;
  theta = std::strtod(first.c_str(), &end);
  if (end == first.c_str() || *end != '\0' || !std::isfinite(theta)) return false;
  phi = std::strtod(second.c_str(), &end);
  return end != second.c_str() && *end == '\0' && std::isfinite(phi);
}

LoadReport loadMeasuredFile(CEprWindow& window, const ConsoleUserInterface& ui, const std::string& path) {
  LoadReport report = LoadExperimentalFile(window, path);
  if (!report.loaded && ui.messageCount() == 0)
    fail(kExitUsage, "no spectrum could be loaded from " + path + ".");
  return report;
}

int fail(int code, const std::string& message) {
  say(message);
  return code;
}

int readParametersAndAngles(CEprWindow& window, const ParameterOptions& parameters, const std::string& option,
                            const std::string& angles, double& theta, double& phi) {
  const std::string problem = applyParameterOptions(window, parameters);
  if (!problem.empty()) return fail(kExitUsage, problem);
  if (!parseAngles(angles, theta, phi))
    return fail(kExitUsage, option + " expects THETA,PHI in degrees, got \"" + angles + "\".");
  return kExitOk;
}

namespace {
// Every choice of the physical model and the values it reads, as one JSON
// object; names and values as --set takes them.
std::string physicalModelJson(const CEprWindow& window) {
  static const char* const texts[] = {"microwaveMode", "constants", "nuclearZeemanSign", "nucleus",
                                      "lineProfile"};
  static const char* const numbers[] = {
      "populations", "temperature", "sweepFactor",       "betweenPoints", "mDependentWidths", "mFactor0",
      "mFactor1",    "mFactor2",    "gStrainX",          "gStrainY",      "gStrainZ",         "AStrainX",
      "AStrainY",    "AStrainZ",    "strainCorrelation", "lorentzWidth"};
  std::string json = "{";
  for (const char* name : texts)
    json += std::string(json.size() > 1 ? ", " : "") + "\"" + name + "\": \"" + parameterValue(window, name) +
            "\"";
  for (const char* name : numbers) json += std::string(", \"") + name + "\": " + parameterValue(window, name);
  return json + "}";
}
}  // namespace

void printTransitions(const std::vector<Transition>& transitions, bool json, const CEprWindow* window) {
  // With the physical model the array goes into an object beside the model's
  // choices; the exact model's output stays the bare array.
  const bool withModel = json && window != nullptr && !window->model.exact();
  if (withModel) std::printf("{\"model\": %s,\n\"transitions\": ", physicalModelJson(*window).c_str());
  if (json) std::printf("[");
  bool first = true;
  for (const Transition& t : transitions) {
    if (json) {
      std::printf("%s\n  {\"field\": %.4f, \"probability\": %.10g, \"levels\": [%d, %d]}", first ? "" : ",",
                  t.field, t.probability, t.upper, t.lower);
    } else {
      std::printf("%.4f %.6E %d %d\n", t.field, t.probability, t.upper, t.lower);
    }
    first = false;
  }
  if (json) std::printf("%s]%s\n", first ? "" : "\n", withModel ? "}" : "");
}

}  // namespace quorra::cli

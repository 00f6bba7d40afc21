#pragma once
// The report of a fit, as JSON (what `quorra fit -o` writes and `--from`
// reads back) and as plain text: every varied parameter with its start,
// bounds, value, standard error and 95 % interval, the correlation matrix,
// χ², the residual RMS, the number of simulations, the time, the experiments
// with their linear parts, and every fixed setting, so that the fit can be
// repeated. The command line and the desktop program write the same bytes.

#include <string>
#include <utility>
#include <vector>

#include "fit/fitter.h"

namespace quorra::fit {

// Name and value text (as --set takes it) of every parameter of the table.
using SettingTexts = std::vector<std::pair<std::string, std::string>>;

// Every parameter of the table as it stands in window.
SettingTexts settingTexts(const CEprWindow& window);

// "lm", "simplex" or "global".
std::string methodName(Method method);

// The report as JSON. shfText is the superhyperfine table the fit used, empty
// when it used none given.
std::string reportJson(const std::vector<Experiment>& experiments, const std::vector<VariedParameter>& varied,
                       const ModelSettings& settings, const FitOptions& options, const FitResult& result,
                       const SettingTexts& fixed, const std::string& shfText);

// The table of results: a line per varied parameter (value, error, 95 %
// interval, or why there is no error) and a line with χ², the relative
// residual RMS, the simulations and the time.
std::string resultTable(const std::vector<VariedParameter>& varied, const FitResult& result);

// The report as plain text: the method and the experiments, the table of
// results, the correlation matrix and the fit's window and baseline.
std::string reportText(const std::vector<Experiment>& experiments, const std::vector<VariedParameter>& varied,
                       const ModelSettings& settings, const FitOptions& options, const FitResult& result);

}  // namespace quorra::fit

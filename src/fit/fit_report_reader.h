#pragma once
// Reads a fit report (fit_report.h) back into what repeating the fit needs:
// the experiments, the varied parameters with their bounds and starts, the
// method, the window, the baseline and every fixed setting.

#include <cstdint>
#include <string>
#include <vector>

#include "fit/fit_report.h"

namespace quorra::fit {

struct ReportRequest {
  std::vector<std::string> experiments;  // paths as the report names them
  std::vector<VariedParameter> varied;
  ModelSettings settings;
  Method method = Method::LevenbergMarquardt;
  int starts = FitOptions().starts;
  uint64_t seed = FitOptions().seed;
  SettingTexts fixed;   // in the report's order
  std::string shfText;  // empty: none was given
};

// Reads the report text of the file path (which messages name). Every
// setting must be one the parameter table takes. An empty string, or one
// sentence saying why the text is not a fit report.
std::string readReport(const std::string& text, const std::string& path, ReportRequest& request);

// Puts the report's fixed settings and its superhyperfine table into a
// state (they were checked by readReport).
void applyReportSettings(CEprWindow& window, const ReportRequest& request);

}  // namespace quorra::fit

#include "fit/fit_report.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>

#include "app/parameter_names.h"
#include "data/json_text.h"

namespace quorra::fit {

namespace {

// printf into a string.
[[gnu::format(printf, 2, 3)]] void appendf(std::string& out, const char* format, ...) {
  va_list args, again;
  va_start(args, format);
  va_copy(again, args);
  const int length = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  if (length > 0) {
    const size_t end = out.size();
    out.resize(end + static_cast<size_t>(length) + 1);
    std::vsnprintf(out.data() + end, static_cast<size_t>(length) + 1, format, again);
    out.resize(end + static_cast<size_t>(length));
  }
  va_end(again);
}

std::string jsonInterval(double from, double to) {
  std::string text = "[";
  text += jsonNumber(from);
  text += ", ";
  text += jsonNumber(to);
  return text + "]";
}

}  // namespace

SettingTexts settingTexts(const CEprWindow& window) {
  SettingTexts texts;
  for (const ParameterName& p : parameterNames()) texts.emplace_back(p.name, parameterValue(window, p.name));
  return texts;
}

std::string methodName(Method method) {
  return method == Method::Simplex ? "simplex" : method == Method::Global ? "global" : "lm";
}

std::string reportJson(const std::vector<Experiment>& experiments, const std::vector<VariedParameter>& varied,
                       const ModelSettings& settings, const FitOptions& options, const FitResult& result,
                       const SettingTexts& fixed, const std::string& shfText) {
  std::string json = "{\n  \"program\": \"quorra\",\n  \"version\": \"" QUORRA_VERSION_TEXT "\",\n";
  json += "  \"method\": \"" + methodName(options.method) + "\",\n";
  if (options.method == Method::Global)
    json += "  \"starts\": " + std::to_string(options.starts) +
            ",\n  \"seed\": " + std::to_string(options.seed) + ",\n";
  json += "  \"parameters\": {";
  for (size_t j = 0; j < varied.size(); ++j) {
    const ParameterResult& r = result.parameters[j];
    json += std::string(j ? ",\n" : "\n") + "    " + jsonString(varied[j].name) +
            ": {\"start\": " + jsonNumber(varied[j].start) + ", \"low\": " + jsonNumber(varied[j].low) +
            ", \"high\": " + jsonNumber(varied[j].high) + ", \"value\": " + jsonNumber(r.value) +
            ", \"error\": " + jsonNumber(r.error) + ", \"interval\": " +
            (std::isfinite(r.error) ? jsonInterval(r.intervalLow, r.intervalHigh) : "null") +
            ", \"at_bound\": " + (r.atBound ? "true" : "false") + "}";
  }
  json += "\n  },\n  \"correlation\": ";
  if (result.correlation.empty()) {
    json += "null";
  } else {
    json += "[";
    for (size_t a = 0; a < result.correlation.size(); ++a) {
      json += a ? ",\n    [" : "\n    [";
      for (size_t b = 0; b < result.correlation[a].size(); ++b)
        json += (b ? ", " : "") + jsonNumber(result.correlation[a][b]);
      json += "]";
    }
    json += "\n  ]";
  }
  json += ",\n  \"chi2\": " + jsonNumber(result.sumOfSquares) +
          ",\n  \"residual_rms_relative\": " + jsonNumber(result.residualRms / result.peakToPeak) +
          ",\n  \"degrees_of_freedom\": " + std::to_string(result.degreesOfFreedom) +
          ",\n  \"simulations\": " + std::to_string(result.simulations) +
          ",\n  \"seconds\": " + jsonNumber(result.seconds) +
          ",\n  \"stopped\": " + (result.stopped ? "true" : "false") +
          ",\n  \"singular\": " + (result.singular ? "true" : "false") + ",\n  \"experiments\": [";
  for (size_t e = 0; e < experiments.size(); ++e) {
    json += std::string(e ? ",\n" : "\n") + "    {\"path\": " + jsonString(experiments[e].path) +
            ", \"frequency_ghz\": " +
            (experiments[e].hasFrequency ? jsonNumber(experiments[e].frequency) : std::string("null")) +
            ", \"scale\": " + jsonNumber(result.linear[e].scale) + ", \"baseline\": [";
    for (size_t k = 0; k < result.linear[e].baseline.size(); ++k)
      json += (k ? ", " : "") + jsonNumber(result.linear[e].baseline[k]);
    json += "]}";
  }
  json +=
      "\n  ],\n  \"baseline_order\": " + std::to_string(settings.baselineOrder) + ",\n  \"window\": " +
      (settings.hasWindow ? jsonInterval(settings.window.from, settings.window.to) : std::string("null")) +
      ",\n  \"exclude\": [";
  for (size_t k = 0; k < settings.excluded.size(); ++k)
    json += (k ? ", " : "") + jsonInterval(settings.excluded[k].from, settings.excluded[k].to);
  json += "]";
  // Only a frequency the settings fix is said: each experiment's own is the rule.
  if (settings.fixedFrequency) json += ",\n  \"fixed_frequency\": true";
  json += ",\n  \"settings\": {";
  for (size_t k = 0; k < fixed.size(); ++k)
    json += std::string(k ? ",\n" : "\n") + "    " + jsonString(fixed[k].first) + ": " +
            jsonString(fixed[k].second);
  json += "\n  },\n  \"shf\": " + jsonString(shfText) + "\n}\n";
  return json;
}

std::string resultTable(const std::vector<VariedParameter>& varied, const FitResult& result) {
  std::string text;
  appendf(text, "%-16s %16s %14s %35s\n", "parameter", "value", "error", "95 % interval");
  for (size_t j = 0; j < varied.size(); ++j) {
    const ParameterResult& r = result.parameters[j];
    if (std::isfinite(r.error))
      appendf(text, "%-16s %16.8g %14.4g   [%15.8g, %15.8g]\n", varied[j].name.c_str(), r.value, r.error,
              r.intervalLow, r.intervalHigh);
    else
      appendf(text, "%-16s %16.8g %14s   %s\n", varied[j].name.c_str(), r.value, "-",
              r.atBound        ? "at its bound"
              : result.stopped ? "stopped"
                               : "not determined");
  }
  appendf(text, "chi2 %.8g, residual RMS %.4g of the peak-to-peak height, %ld simulations, %.2f s\n",
          result.sumOfSquares, result.residualRms / result.peakToPeak, result.simulations, result.seconds);
  return text;
}

std::string reportText(const std::vector<Experiment>& experiments, const std::vector<VariedParameter>& varied,
                       const ModelSettings& settings, const FitOptions& options, const FitResult& result) {
  std::string text = "Fit by quorra " QUORRA_VERSION_TEXT ", method " + methodName(options.method);
  if (options.method == Method::Global)
    appendf(text, ", %d starts, seed %llu", options.starts, static_cast<unsigned long long>(options.seed));
  text += result.stopped ? " (stopped before convergence)\n" : "\n";
  for (const Experiment& e : experiments) {
    text += "experiment " + e.path;
    if (e.hasFrequency) appendf(text, ", %.6g GHz", e.frequency);
    text += "\n";
  }
  appendf(text, "baseline order %d", settings.baselineOrder);
  if (settings.hasWindow) appendf(text, ", window %.8g to %.8g G", settings.window.from, settings.window.to);
  for (const FieldInterval& range : settings.excluded)
    appendf(text, ", excluded %.8g to %.8g G", range.from, range.to);
  text += "\n\n" + resultTable(varied, result);
  appendf(text, "%d degrees of freedom\n", result.degreesOfFreedom);
  for (size_t e = 0; e < result.linear.size(); ++e) {
    appendf(text, "experiment %zu: scale %.8g, baseline", e + 1, result.linear[e].scale);
    for (double c : result.linear[e].baseline) appendf(text, " %.6g", c);
    text += "\n";
  }
  if (result.singular) text += "The fitted points do not determine every parameter: no errors given.\n";
  if (!result.correlation.empty()) {
    // Columns as wide as the longest name, rows led by the names.
    int width = 8, nameWidth = 16;
    for (const VariedParameter& p : varied) {
      width = std::max(width, static_cast<int>(p.name.size()));
      nameWidth = std::max(nameWidth, static_cast<int>(p.name.size()));
    }
    text += "\ncorrelation\n";
    appendf(text, "%-*s", nameWidth, "");
    for (const VariedParameter& p : varied) appendf(text, " %*s", width, p.name.c_str());
    text += "\n";
    for (size_t a = 0; a < result.correlation.size(); ++a) {
      appendf(text, "%-*s", nameWidth, varied[a].name.c_str());
      for (double c : result.correlation[a])
        if (std::isfinite(c))
          appendf(text, " %*.4f", width, c);
        else
          appendf(text, " %*s", width, "-");
      text += "\n";
    }
  }
  return text;
}

}  // namespace quorra::fit

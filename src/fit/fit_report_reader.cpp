#include "fit/fit_report_reader.h"

#include <algorithm>
#include <nlohmann/json.hpp>

#include "app/parameter_names.h"
#include "app/silent_user_interface.h"

namespace quorra::fit {

namespace {

// Objects keep the report's order: the varied parameters are fitted in it.
using Json = nlohmann::ordered_json;

// Line and column (from 1) of a byte offset (from 1, as the parser counts).
std::string position(const std::string& text, size_t byte) {
  const size_t end = std::min(byte > 0 ? byte - 1 : 0, text.size());
  const size_t line =
      1 + static_cast<size_t>(std::count(text.begin(), text.begin() + static_cast<long>(end), '\n'));
  const size_t lineStart = text.rfind('\n', end == 0 ? 0 : end - 1);
  const size_t column = lineStart == std::string::npos || end == 0 ? end + 1 : end - lineStart;
  return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

bool isInterval(const Json& value) {
  return value.is_array() && value.size() == 2 && value[0].is_number() && value[1].is_number();
}

FieldInterval interval(const Json& value) {
  return {value[0].get<double>(), value[1].get<double>()};
}

// The reasons a report is refused; each becomes "PATH is not a fit report: REASON.".
std::string missing(const char* key, const char* what) {
  return std::string("\"") + key + "\" is missing or not " + what;
}

std::string readJson(const Json& report, ReportRequest& request) {
  if (!report.is_object() || !report.contains("program") || report["program"] != "quorra" ||
      !report.contains("parameters"))
    return "it was not written by quorra fit";

  const Json& method = report.contains("method") ? report["method"] : Json();
  if (method == "lm")
    request.method = Method::LevenbergMarquardt;
  else if (method == "simplex")
    request.method = Method::Simplex;
  else if (method == "global")
    request.method = Method::Global;
  else
    return missing("method", "lm, simplex or global");
  if (request.method == Method::Global) {
    if (!report.contains("starts") || !report["starts"].is_number_unsigned() || report["starts"] < 1 ||
        report["starts"] > 1000000)
      return missing("starts", "a count of starts");
    if (!report.contains("seed") || !report["seed"].is_number_unsigned()) return missing("seed", "a seed");
    request.starts = report["starts"].get<int>();
    request.seed = report["seed"].get<uint64_t>();
  }

  const Json& parameters = report["parameters"];
  if (!parameters.is_object() || parameters.empty()) return missing("parameters", "an object of parameters");
  for (const auto& [name, p] : parameters.items()) {
    if (!p.is_object() || !p.contains("start") || !p.contains("low") || !p.contains("high") ||
        !p["start"].is_number() || !p["low"].is_number() || !p["high"].is_number())
      return "the parameter " + name + " lacks a start, low or high number";
    request.varied.push_back(
        {name, p["low"].get<double>(), p["high"].get<double>(), p["start"].get<double>()});
  }

  if (!report.contains("experiments") || !report["experiments"].is_array() || report["experiments"].empty())
    return missing("experiments", "a list of experiments");
  for (const Json& e : report["experiments"]) {
    if (!e.is_object() || !e.contains("path") || !e["path"].is_string())
      return "an experiment lacks its \"path\"";
    request.experiments.push_back(e["path"].get<std::string>());
  }

  ModelSettings& settings = request.settings;
  if (!report.contains("baseline_order") || !report["baseline_order"].is_number_unsigned() ||
      report["baseline_order"] > 3)
    return missing("baseline_order", "0, 1, 2 or 3");
  settings.baselineOrder = report["baseline_order"].get<int>();
  if (!report.contains("window") || !(report["window"].is_null() || isInterval(report["window"])))
    return missing("window", "null or [FROM, TO]");
  settings.hasWindow = !report["window"].is_null();
  if (settings.hasWindow) settings.window = interval(report["window"]);
  if (!report.contains("exclude") || !report["exclude"].is_array() ||
      !std::all_of(report["exclude"].begin(), report["exclude"].end(), isInterval))
    return missing("exclude", "a list of [FROM, TO]");
  for (const Json& range : report["exclude"]) settings.excluded.push_back(interval(range));
  if (report.contains("fixed_frequency")) {
    if (!report["fixed_frequency"].is_boolean()) return missing("fixed_frequency", "true or false");
    settings.fixedFrequency = report["fixed_frequency"].get<bool>();
  }

  if (!report.contains("settings") || !report["settings"].is_object())
    return missing("settings", "an object of settings");
  for (const auto& [name, value] : report["settings"].items()) {
    if (!value.is_string()) return "the setting " + name + " is not a text";
    request.fixed.emplace_back(name, value.get<std::string>());
  }
  if (!report.contains("shf") || !report["shf"].is_string()) return missing("shf", "a text");
  request.shfText = report["shf"].get<std::string>();
  return {};
}

}  // namespace

std::string readReport(const std::string& text, const std::string& path, ReportRequest& request) {
  request = ReportRequest();
  Json report;
  try {
    report = Json::parse(text);
  } catch (const Json::parse_error& error) {
    return path + " is not a fit report: it is not valid JSON (" + position(text, error.byte) + ").";
  }
  if (const std::string reason = readJson(report, request); !reason.empty()) {
    request = ReportRequest();
    return path + " is not a fit report: " + reason + ".";
  }
  // Every setting must be one this program takes.
  SilentUserInterface ui;
  CEprWindow window(ui);
  for (const auto& [name, value] : request.fixed)
    if (const std::string problem = setParameter(window, name, value); !problem.empty()) {
      request = ReportRequest();
      return "The fit report " + path + " holds a setting this program does not take: " + problem;
    }
  return {};
}

void applyReportSettings(CEprWindow& window, const ReportRequest& request) {
  for (const auto& [name, value] : request.fixed) setParameter(window, name, value);
  if (!request.shfText.empty()) window.shfText = request.shfText;
}

}  // namespace quorra::fit

#include "cli/batch_jobs.h"

#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

#include "data/json_text.h"

namespace quorra::cli {

namespace {

bool idCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '_' ||
         c == '-';
}

// An id names a folder: no separator, nothing hidden, never "." or "..".
bool validId(const std::string& id) {
  if (id.empty() || id.front() == '.') return false;
  for (const char c : id)
    if (!idCharacter(c)) return false;
  return true;
}

// The text an option takes for a JSON value: a string as it is, a number as
// written; anything else is not an option's value.
bool optionText(const Json& value, std::string& text) {
  if (value.is_string()) {
    text = value.get<std::string>();
    return true;
  }
  if (value.is_number()) {
    text = value.dump();
    return true;
  }
  return false;
}

bool fileExists(const std::string& path) {
  struct stat status;
  return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

// A CSV field, quoted when it holds a separator, a quote or a line break.
std::string csvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

struct OutputOption {
  const char* name;
  const char* defaultName;  // written by every job of the command; empty: only when asked for
};

constexpr OutputOption kSimulateOutputs[] = {{"output", "spectrum.txt"}, {"plot", ""}};
constexpr OutputOption kFitOutputs[] = {{"report", "report.json"}, {"spectrum", "fit.txt"}, {"plot", ""}};

}  // namespace

std::string readJobs(const std::string& path, std::vector<BatchJob>& jobs) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return "cannot read " + path + ": " + std::strerror(errno) + ".";
  std::map<std::string, int> lineOfId;
  std::string text;
  for (int line = 1; std::getline(in, text); ++line) {
    if (!text.empty() && text.back() == '\r') text.pop_back();
    if (text.find_first_not_of(" \t") == std::string::npos) continue;
    const std::string where = path + ":" + std::to_string(line) + ": ";
    BatchJob job;
    job.line = line;
    job.job = Json::parse(text, nullptr, false);
    if (job.job.is_discarded() || !job.job.is_object()) return where + "a job must be one JSON object.";
    const auto id = job.job.find("id");
    if (id == job.job.end() || !id->is_string() || !validId(id->get<std::string>()))
      return where + "\"id\" must be text of letters, digits, '.', '_' and '-' that does not start with '.'.";
    job.id = id->get<std::string>();
    if (const auto [earlier, added] = lineOfId.emplace(job.id, line); !added)
      return where + "the id \"" + job.id + "\" is that of line " + std::to_string(earlier->second) + " too.";
    jobs.push_back(std::move(job));
  }
  if (in.bad()) return "cannot read " + path + ": " + std::strerror(errno) + ".";
  if (jobs.empty()) return path + " holds no job.";
  return {};
}

std::string jobArguments(const Json& job, const std::string& folder, std::vector<std::string>& args) {
  for (const auto& [key, value] : job.items())
    if (key != "id" && key != "simulate" && key != "fit")
      return "Unknown key \"" + key + "\": a job has an \"id\" and a \"simulate\" or a \"fit\".";
  const bool simulate = job.contains("simulate");
  if (simulate == job.contains("fit")) return "A job has either a \"simulate\" or a \"fit\".";
  const std::string command = simulate ? "simulate" : "fit";
  const Json& options = job[command];
  if (!options.is_object()) return "\"" + command + "\" must be an object of the command's options.";

  const auto outputs =
      simulate ? std::vector<OutputOption>(std::begin(kSimulateOutputs), std::end(kSimulateOutputs))
               : std::vector<OutputOption>(std::begin(kFitOutputs), std::end(kFitOutputs));
  args = {command};
  std::vector<std::string> files;
  std::vector<std::string> given;
  for (const auto& [key, value] : options.items()) {
    std::vector<std::string> texts;
    for (const Json& item : value.is_array() ? value : Json::array({value})) {
      std::string text;
      if (!optionText(item, text))
        return "The value of \"" + key + "\" must be a string, a number or an array of them.";
      texts.push_back(text);
    }
    if (!simulate && key == "experiments") {
      files = texts;
      continue;
    }
    bool output = false;
    for (const OutputOption& o : outputs) output = output || key == o.name;
    if (output) {
      for (std::string& text : texts) {
        if (text.empty() || text == "." || text == ".." || text == "job.json" ||
            text.find('/') != std::string::npos)
          return "\"" + key +
                 "\" names a file in the job's folder: a name without '/' other than job.json, "
                 "got \"" +
                 text + "\".";
        text = folder + "/" + text;
      }
      given.push_back(key);
    }
    for (const std::string& text : texts) args.push_back("--" + key + "=" + text);
  }
  for (const OutputOption& o : outputs)
    if (*o.defaultName && std::find(given.begin(), given.end(), o.name) == given.end())
      args.push_back(std::string("--") + o.name + "=" + folder + "/" + o.defaultName);
  // After "--" every argument is a file, whatever it starts with.
  args.push_back("--");
  args.insert(args.end(), files.begin(), files.end());
  return {};
}

std::string jobsText(const std::vector<BatchJob>& jobs) {
  std::string text;
  for (const BatchJob& job : jobs) text += job.job.dump() + "\n";
  return text;
}

std::vector<BatchJob> fitAllJobs(const std::vector<std::string>& files, const Json& fitOptions) {
  std::vector<BatchJob> jobs;
  std::map<std::string, int> uses;
  for (const std::string& file : files) {
    const size_t slash = file.find_last_of('/');
    std::string id = file.substr(slash == std::string::npos ? 0 : slash + 1);
    if (const size_t dot = id.find_last_of('.'); dot != std::string::npos && dot > 0) id.resize(dot);
    for (char& c : id)
      if (!idCharacter(c)) c = '_';
    if (id.empty() || id.front() == '.') id.insert(id.begin(), '_');
    const int use = ++uses[id];
    if (use > 1) id.append("-").append(std::to_string(use));
    BatchJob job;
    job.line = static_cast<int>(jobs.size()) + 1;
    job.id = id;
    Json options = {{"experiments", Json::array({file})}};
    for (const auto& [key, value] : fitOptions.items()) options[key] = value;
    job.job = {{"id", id}, {"fit", options}};
    jobs.push_back(std::move(job));
  }
  return jobs;
}

std::string jobReportText(const BatchJob& job, const std::vector<std::string>& args,
                          const JobResult& result) {
  Json report = {{"program", "quorra"},     {"version", QUORRA_VERSION_TEXT}, {"id", job.id},
                 {"status", result.status}, {"exit_code", result.exitCode},   {"seconds", result.seconds}};
  Json values = Json::object();
  for (const auto& [name, value] : result.record.values) values[name] = value;  // NaN is written null
  report["values"] = values;
  report["messages"] = result.record.messages;
  report["files"] = result.files;
  report["arguments"] = args;
  report["job"] = job.job;
  return report.dump(2) + "\n";
}

bool jobResultFromReport(const Json& report, JobResult& result) {
  if (!report.is_object()) return false;
  const auto value = [&report](const char* key) { return report.contains(key) ? report[key] : Json(); };
  const Json status = value("status"), files = value("files"), values = value("values"),
             messages = value("messages");
  if (!status.is_string() || !files.is_array() || !values.is_object() || !messages.is_array() ||
      !value("exit_code").is_number_integer() || !value("seconds").is_number())
    return false;
  JobResult read;
  read.status = status.get<std::string>();
  read.exitCode = value("exit_code").get<int>();
  read.seconds = value("seconds").get<double>();
  for (const Json& file : files) {
    if (!file.is_string()) return false;
    read.files.push_back(file.get<std::string>());
  }
  for (const auto& [name, number] : values.items())
    read.record.values.emplace_back(name, number.is_number() ? number.get<double>() : NAN);
  for (const Json& message : messages)
    if (message.is_string()) read.record.messages.push_back(message.get<std::string>());
  result = std::move(read);
  return true;
}

bool readFinishedJob(const std::string& reportPath, const std::string& folder, const BatchJob& job,
                     bool retryFailed, JobResult& result) {
  std::ifstream in(reportPath, std::ios::binary);
  if (!in) return false;
  std::stringstream text;
  text << in.rdbuf();
  const Json report = Json::parse(text.str(), nullptr, false);
  JobResult read;
  if (report.is_discarded() || !jobResultFromReport(report, read) || !report.contains("job") ||
      report["job"] != job.job)
    return false;
  if (read.status != "ok" && (read.status != "failed" || retryFailed)) return false;
  for (const std::string& file : read.files)
    if (!fileExists(folder + "/" + file)) return false;
  result = std::move(read);
  return true;
}

std::string summaryCsv(const std::vector<BatchJob>& jobs, const std::vector<JobResult>& results) {
  std::vector<std::string> names;
  for (const JobResult& result : results)
    for (const auto& [name, value] : result.record.values)
      if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
  std::string csv = "id,command,status,exit_code,seconds";
  for (const std::string& name : names) csv.append(",").append(csvField(name));
  csv += ",message\n";
  for (size_t j = 0; j < jobs.size(); ++j) {
    const JobResult& result = results[j];
    const bool ran = result.status != "pending";
    char seconds[32] = "";
    if (ran) std::snprintf(seconds, sizeof seconds, "%.2f", result.seconds);
    const char* command = jobs[j].job.contains("simulate") ? "simulate"
                          : jobs[j].job.contains("fit")    ? "fit"
                                                           : "";
    csv += jobs[j].id + "," + command + "," + result.status + "," +
           (ran ? std::to_string(result.exitCode) : "") + "," + seconds;
    for (const std::string& name : names) {
      std::string text;
      for (const auto& [key, value] : result.record.values)
        if (key == name && std::isfinite(value)) text = jsonNumber(value);
      csv += "," + text;
    }
    std::string message;
    for (const std::string& line : result.record.messages) message += (message.empty() ? "" : " ") + line;
    csv.append(",").append(csvField(message)).append("\n");
  }
  return csv;
}

}  // namespace quorra::cli

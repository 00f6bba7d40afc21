#pragma once
// The jobs of quorra batch: reading the jobs file (JSON lines), turning a
// job into the argument list of its command, the jobs of --fit-all, and the
// per-job report and the summary table written into the output folder.
//
// A job is one line {"id": ID, "simulate": {...}} or {"id": ID, "fit": {...}}.
// The object of the command holds its options by their long names: "set":
// ["gz=2.1"] is --set gz=2.1, an array repeats the option, a number stands
// for its text, and "experiments" are the measured files of a fit. Output
// names (simulate: output, plot; fit: report, spectrum, plot) are file
// names inside the job's own folder OUTDIR/ID.

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli/command_record.h"

namespace quorra::cli {

using Json = nlohmann::ordered_json;

struct BatchJob {
  int line = 0;  // in the jobs file, from 1
  std::string id;
  Json job;  // the line as read
};

// Reads the jobs file. Blank lines are skipped; every other line must be a
// JSON object with an "id" of its own (letters, digits, '.', '_', '-', not
// starting with '.'). Returns an empty string, or one line saying what is
// wrong and where.
std::string readJobs(const std::string& path, std::vector<BatchJob>& jobs);

// The command line of a job, its command's name first, with every output in
// folder. Returns an empty string, or one line saying what is wrong with the
// job.
std::string jobArguments(const Json& job, const std::string& folder, std::vector<std::string>& args);

// The text of a jobs file.
std::string jobsText(const std::vector<BatchJob>& jobs);

// One fit job per file: its id is the file's name without the extension
// (characters other than letters, digits, '.', '_' and '-' made '_', and a
// number added where two would be the same), its options those given.
std::vector<BatchJob> fitAllJobs(const std::vector<std::string>& files, const Json& fitOptions);

// What became of a job.
struct JobResult {
  std::string status = "pending";  // ok, failed, interrupted, pending (not run yet)
  int exitCode = 0;
  double seconds = 0;
  CommandRecord record;
  std::vector<std::string> files;  // written into the job's folder, beside job.json
};

// The job's report, OUTDIR/ID/job.json.
std::string jobReportText(const BatchJob& job, const std::vector<std::string>& args, const JobResult& result);

// The result a job report holds; false when it is not one.
bool jobResultFromReport(const Json& report, JobResult& result);

// Reads a report written earlier: true, with result filled in, when it is a
// report of this very job that ended with status ok (or failed, unless
// retryFailed) and every file it names is still in folder.
bool readFinishedJob(const std::string& reportPath, const std::string& folder, const BatchJob& job,
                     bool retryFailed, JobResult& result);

// The summary table: one row per job with id, command, status, exit code,
// seconds, the key values (a column for each name any job gave) and its
// messages.
std::string summaryCsv(const std::vector<BatchJob>& jobs, const std::vector<JobResult>& results);

}  // namespace quorra::cli

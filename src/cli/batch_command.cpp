// quorra batch: many simulate and fit jobs from a jobs file (or one fit per
// file of a folder), each written into a folder of its own, a summary table
// rewritten after every job, and a rerun that takes up only the jobs not yet
// finished.

#include <dirent.h>
#include <glob.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <memory>

#include "cli/batch_jobs.h"
#include "cli/cli_support.h"
#include "cli/cluster.h"
#include "cli/command_record.h"
#include "cli/commands.h"
#include "cli/console_ui.h"
#include "data/atomic_file.h"

namespace quorra::cli {

namespace {

// The options of quorra fit that --fit-all passes on to every job, as given.
struct ForwardedOption {
  std::string name;  // long name, without "--"
  bool repeatable = false;
  std::vector<std::string> values;
};

struct BatchOptions {
  std::string jobsFile;
  std::string output;
  bool retryFailed = false;
  std::string fitAll;
  std::string writeJobs;
  std::deque<ForwardedOption> fitOptions;  // a deque keeps the bound values in place
};

// Runs the simulate or fit command line args (the command's name first) in
// this process, as quorra runs it; what it says and its key values go into
// record. Returns its exit code.
int runCommandInProcess(const std::vector<std::string>& args, CommandRecord& record) {
  CLI::App app{"quorra", "quorra"};
  int exitCode = kExitOk;
  addSimulateCommand(app, exitCode);
  addFitCommand(app, exitCode);
  app.require_subcommand(1);
  std::vector<std::string> reversed(args.rbegin(), args.rend());  // CLI11 takes them last first
  setCommandRecord(&record);
  try {
    app.parse(reversed);
  } catch (const CLI::ParseError& e) {
    exitCode = fail(kExitUsage, e.what());
  } catch (const std::exception& e) {
    exitCode = fail(kExitFailed, std::string("the job stopped: ") + e.what() + ".");
  }
  setCommandRecord(nullptr);
  return exitCode;
}

// Checks a fit command line as quorra fit would, without running it.
int checkFitArguments(const std::vector<std::string>& args) {
  CLI::App app{"quorra", "quorra"};
  int exitCode = kExitOk;
  addFitCommand(app, exitCode);
  app.get_subcommand("fit")->callback(nullptr);
  std::vector<std::string> reversed(args.rbegin(), args.rend());
  try {
    app.parse(reversed);
  } catch (const CLI::ParseError& e) {
    return fail(kExitUsage, e.what());
  }
  return kExitOk;
}

// Makes folder unless it is there. Returns an empty string or the reason.
std::string makeFolder(const std::string& folder) {
  if (::mkdir(folder.c_str(), 0777) == 0) return {};
  struct stat status;
  if (errno == EEXIST && ::stat(folder.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) return {};
  return errno == EEXIST ? "not a folder" : std::strerror(errno);
}

// The files of a job's folder beside its report; temporary files start with '.'.
std::vector<std::string> jobFiles(const std::string& folder) {
  std::vector<std::string> names;
  if (DIR* dir = ::opendir(folder.c_str())) {
    while (const dirent* entry = ::readdir(dir)) {
      const std::string name = entry->d_name;
      if (name.front() != '.' && name != "job.json") names.push_back(name);
    }
    ::closedir(dir);
  }
  std::sort(names.begin(), names.end());
  return names;
}

// Runs one job in OUTDIR/ID and writes its report there, unless it was
// interrupted (it runs again next time). Returns kExitOk, or kExitWrite
// when the report could not be written (said).
int runJob(const BatchJob& job, const std::string& outputFolder, JobResult& result) {
  const std::string folder = outputFolder + "/" + job.id;
  result = JobResult();
  std::vector<std::string> args;
  const auto started = std::chrono::steady_clock::now();
  const std::string folderProblem = makeFolder(folder);
  if (!folderProblem.empty()) {
    result.exitCode = kExitWrite;
    result.record.messages.push_back("cannot write " + folder + ": " + folderProblem);
  } else if (const std::string problem = jobArguments(job.job, folder, args); !problem.empty()) {
    result.exitCode = kExitUsage;
    result.record.messages.push_back(problem);
  } else {
    ConsoleUserInterface::setRunStoppable(true);
    result.exitCode = runCommandInProcess(args, result.record);
    ConsoleUserInterface::setRunStoppable(true);  // the command ends its own stoppable run
  }
  result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  const bool stopped =
      ConsoleUserInterface::interrupted() && result.exitCode == ConsoleUserInterface::stopExitCode();
  result.status = result.exitCode == kExitOk ? "ok" : stopped ? "interrupted" : "failed";
  // A job whose folder could not be made has no report either.
  if (stopped || !folderProblem.empty()) return kExitOk;
  result.files = jobFiles(folder);
  const std::string reportPath = folder + "/job.json";
  if (const std::string failure = writeFileAtomically(reportPath, jobReportText(job, args, result));
      !failure.empty())
    return failWrite(reportPath, failure);
  return kExitOk;
}

// The files pattern matches, sorted.
std::vector<std::string> matchingFiles(const std::string& pattern) {
  std::vector<std::string> files;
  glob_t found = {};
  if (::glob(pattern.c_str(), 0, nullptr, &found) == 0)
    for (size_t i = 0; i < found.gl_pathc; ++i) files.push_back(found.gl_pathv[i]);
  ::globfree(&found);
  return files;
}

// The jobs of --fit-all, checked as quorra fit checks its command line, and
// written to --write-jobs when asked. Returns kExitOk or the code of what
// was said.
int fitAllJobList(const BatchOptions& options, std::vector<BatchJob>& jobs) {
  const std::vector<std::string> files = matchingFiles(options.fitAll);
  if (files.empty()) return fail(kExitUsage, "no file matches " + options.fitAll + ".");
  Json fitOptions = Json::object();
  for (const ForwardedOption& option : options.fitOptions)
    if (!option.values.empty())
      fitOptions[option.name] = option.repeatable ? Json(option.values) : Json(option.values.back());
  jobs = fitAllJobs(files, fitOptions);
  std::vector<std::string> args;
  if (const std::string problem = jobArguments(jobs.front().job, ".", args); !problem.empty())
    return fail(kExitUsage, problem);
  if (const int code = checkFitArguments(args)) return code;
  if (!options.writeJobs.empty())
    if (const std::string failure = writeFileAtomically(options.writeJobs, jobsText(jobs)); !failure.empty())
      return failWrite(options.writeJobs, failure);
  return kExitOk;
}

// The tags of the messages of an MPI batch.
constexpr int kJobTag = 1;     // rank 0 to a worker: "INDEX\nJOB"
constexpr int kResultTag = 2;  // back: "INDEX\nCODE\nREPORT", CODE that of writing the report
constexpr int kStopTag = 3;    // rank 0 to a worker: the batch's exit code

// Rank 0 of an MPI batch hands the jobs out to the other processes, the
// next one to whichever comes back first, and records each as it ends.
// Returns once every job handed out is back: kExitOk, or the code of a
// report or summary that could not be written (no job is handed out after
// it).
int handOutJobs(const std::vector<BatchJob>& jobs, const std::vector<size_t>& toRun,
                std::vector<JobResult>& results, const std::function<int(size_t)>& jobEnded) {
  size_t next = 0;
  int busy = 0, code = kExitOk;
  const auto handOut = [&](int rank) {
    if (next == toRun.size() || code != kExitOk || ConsoleUserInterface::interrupted()) return;
    sendText(rank, kJobTag, std::to_string(toRun[next]) + "\n" + jobs[toRun[next]].job.dump());
    ++next;
    ++busy;
  };
  for (int rank = 1; rank < clusterSize(); ++rank) handOut(rank);
  while (busy > 0) {
    int rank = 0, tag = 0;
    std::string text;
    receiveText(rank, tag, text);
    --busy;
    const size_t first = text.find('\n'), second = text.find('\n', first + 1);
    const size_t j = std::stoul(text.substr(0, first));
    const int written = std::stoi(text.substr(first + 1, second - first - 1));
    JobResult& result = results[j];
    if (!jobResultFromReport(Json::parse(text.substr(second + 1), nullptr, false), result)) {
      result.status = "failed";
      result.record.messages = {"the report of the job did not come back whole."};
    }
    if (written != kExitOk)
      code = written;  // said by the process that could not write it
    else if (const int summary = jobEnded(j))
      code = summary;
    handOut(rank);
  }
  return code;
}

// A process of an MPI batch other than rank 0: runs the jobs rank 0 hands
// it, writing each into the output folder, until told to stop. Returns the
// batch's exit code.
int runHandedJobs(const std::string& outputFolder) {
  for (;;) {
    int rank = 0, tag = 0;
    std::string text;
    receiveText(rank, tag, text);
    if (tag == kStopTag) return std::atoi(text.c_str());
    const size_t newline = text.find('\n');
    BatchJob job;
    job.job = Json::parse(text.substr(newline + 1));
    job.id = job.job["id"].get<std::string>();
    JobResult result;
    const int written = runJob(job, outputFolder, result);
    sendText(
        0, kResultTag,
        text.substr(0, newline) + "\n" + std::to_string(written) + "\n" + jobReportText(job, {}, result));
  }
}

int leadBatch(const BatchOptions& options) {
  std::vector<BatchJob> jobs;
  if (!options.fitAll.empty()) {
    if (!options.jobsFile.empty()) return fail(kExitUsage, "give a jobs file or --fit-all, not both.");
    if (options.output.empty() && options.writeJobs.empty())
      return fail(kExitUsage,
                  "--fit-all needs -o OUTDIR to run the jobs, or --write-jobs FILE to write them.");
    if (const int code = fitAllJobList(options, jobs)) return code;
    if (options.output.empty()) {
      std::fprintf(stderr, "quorra: batch: %zu jobs written to %s\n", jobs.size(), options.writeJobs.c_str());
      return kExitOk;
    }
  } else {
    if (options.jobsFile.empty())
      return fail(kExitUsage, "batch needs a jobs file (JOBS.jsonl) or --fit-all.");
    if (!options.writeJobs.empty()) return fail(kExitUsage, "--write-jobs goes with --fit-all.");
    for (const ForwardedOption& option : options.fitOptions)
      if (!option.values.empty()) return fail(kExitUsage, "--" + option.name + " goes with --fit-all.");
    if (options.output.empty()) return fail(kExitUsage, "batch needs -o OUTDIR.");
    if (const std::string problem = readJobs(options.jobsFile, jobs); !problem.empty())
      return fail(kExitUsage, problem);
  }
  if (const std::string reason = makeFolder(options.output); !reason.empty())
    return failWrite(options.output, reason);

  ConsoleUserInterface::setRunStoppable(true);
  std::vector<JobResult> results(jobs.size());
  std::vector<size_t> toRun;
  for (size_t j = 0; j < jobs.size(); ++j) {
    const std::string folder = options.output + "/" + jobs[j].id;
    if (!readFinishedJob(folder + "/job.json", folder, jobs[j], options.retryFailed, results[j]))
      toRun.push_back(j);
  }
  std::fprintf(stderr, "quorra: batch: %zu jobs, %zu finished before, %zu to run\n", jobs.size(),
               jobs.size() - toRun.size(), toRun.size());
  const std::string summaryPath = options.output + "/summary.csv";
  const auto writeSummary = [&] {
    const std::string failure = writeFileAtomically(summaryPath, summaryCsv(jobs, results));
    return failure.empty() ? kExitOk : failWrite(summaryPath, failure);
  };
  if (const int code = writeSummary()) return code;

  // As each job ends: the summary again, and a line on stderr.
  size_t ended = 0;
  const auto jobEnded = [&](size_t j) -> int {
    if (const int code = writeSummary()) return code;
    const JobResult& result = results[j];
    std::string line = "quorra: batch: [" + std::to_string(++ended) + "/" + std::to_string(toRun.size()) +
                       "] " + jobs[j].id + " " + result.status;
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, ", %.2f s", result.seconds);
    line += seconds;
    if (result.status == "failed" && !result.record.messages.empty())
      line += ": " + result.record.messages.back();
    std::fprintf(stderr, "%s\n", line.c_str());
    return kExitOk;
  };
  if (clusterSize() > 1) {
    if (const int code = handOutJobs(jobs, toRun, results, jobEnded)) return code;
  } else {
    for (size_t k = 0; k < toRun.size() && !ConsoleUserInterface::interrupted(); ++k) {
      if (const int code = runJob(jobs[toRun[k]], options.output, results[toRun[k]])) return code;
      if (const int code = jobEnded(toRun[k])) return code;
    }
  }
  ConsoleUserInterface::setRunStoppable(false);

  long ok = 0, failed = 0;
  for (const JobResult& result : results) {
    ok += result.status == "ok";
    failed += result.status == "failed";
  }
  std::fprintf(stderr, "quorra: batch: %ld of %zu jobs ok, %ld failed; summary in %s\n", ok, jobs.size(),
               failed, summaryPath.c_str());
  if (ConsoleUserInterface::interrupted())
    return fail(ConsoleUserInterface::stopExitCode(),
                "batch interrupted; the jobs not finished run when it is run again.");
  return failed > 0 ? kExitFailed : kExitOk;
}

int runBatch(const BatchOptions& options) {
  if (clusterSize() == 1) return leadBatch(options);
  // An MPI batch: each job runs in one process (its own threads), rank 0
  // hands them out and writes the summary.
  keepWorkInThisProcess();
  if (clusterRank() != 0) return runHandedJobs(options.output);
  const int code = leadBatch(options);
  for (int rank = 1; rank < clusterSize(); ++rank) sendText(rank, kStopTag, std::to_string(code));
  return code;
}

}  // namespace

void addBatchCommand(CLI::App& app, int& exitCode) {
  auto owned = std::make_shared<BatchOptions>();
  BatchOptions& options = *owned;
  CLI::App* command = app.add_subcommand(
      "batch",
      "Run simulate and fit jobs one after the other, each into a folder of its own, OUTDIR/ID.\n"
      "JOBS.jsonl has one job a line: {\"id\": ID, \"simulate\": {OPTIONS}} or {\"id\": ID, \"fit\": "
      "{OPTIONS}},\n"
      "the options by the command's long names, an array for a repeated option, \"experiments\" the files\n"
      "of a fit, for example\n"
      "  {\"id\": \"cu-gz226\", \"simulate\": {\"set\": [\"gz=2.26\", \"points=4096\"], \"threads\": 1}}\n"
      "  {\"id\": \"s1\", \"fit\": {\"experiments\": [\"s1.DSC\"], \"vary\": [\"gz=2.2:2.3\"], \"baseline\": "
      "1}}\n"
      "Each job writes its outputs (simulate: spectrum.txt; fit: report.json and fit.txt; other names by\n"
      "output, report, spectrum, plot) and job.json, its report; OUTDIR/summary.csv has one row per job\n"
      "(id, command, status, exit code, seconds, key values, messages) and is rewritten after every job.\n"
      "A job that fails is recorded with its message and the others go on. Run again, the batch skips the\n"
      "jobs finished before (the same job, its files still there) and runs the rest; Ctrl-C stops it after\n"
      "the job at hand. Exit status 0 when every job is ok, 1 when any failed.");
  command->add_option("jobs", options.jobsFile, "The jobs, one JSON object a line")->type_name("JOBS.jsonl");
  command->add_option("-o,--output", options.output, "Folder of the results (made when missing)")
      ->type_name("OUTDIR");
  command->add_flag("--retry-failed", options.retryFailed, "Run the jobs that failed before again too");
  command
      ->add_option("--fit-all", options.fitAll,
                   "One fit job per file matching PATTERN (quote it), with the fit options below; the id is "
                   "the file's name without its extension")
      ->type_name("PATTERN");
  command->add_option("--write-jobs", options.writeJobs, "With --fit-all: write the jobs file")
      ->type_name("FILE");

  // Every option of quorra fit but its report (always OUTDIR/ID/report.json)
  // goes with --fit-all, under the same name.
  CLI::App scratch;
  int scratchCode = kExitOk;
  addFitCommand(scratch, scratchCode);
  for (const CLI::Option* option : scratch.get_subcommand("fit")->get_options()) {
    if (!option->nonpositional() || option->get_lnames().empty()) continue;
    const std::string name = option->get_lnames().front();
    if (name == "help" || name == "report") continue;
    ForwardedOption& forwarded = options.fitOptions.emplace_back();
    forwarded.name = name;
    forwarded.repeatable = option->get_expected_max() >= CLI::detail::expected_max_vector_size;
    command->add_option("--" + name, forwarded.values, option->get_description())
        ->type_name(option->get_type_name())
        ->allow_extra_args(false)
        ->group("Fit options (with --fit-all)");
  }
  command->callback([&exitCode, owned] { exitCode = runBatch(*owned); });
}

}  // namespace quorra::cli

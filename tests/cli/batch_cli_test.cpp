// quorra batch: twenty jobs with two bad ones, a batch stopped by Ctrl-C and
// by SIGKILL that completes only the missing jobs when run again, the jobs
// of --fit-all, and the refusals of a batch that cannot start.

#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

#include "run_cli.h"

namespace quorra::testing {
namespace {

namespace fs = std::filesystem;

void writeFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

const char* const kTinySimulate =
    R"("set": ["points=256", "thetaStep=10", "fieldCentre=3000", "fieldRange=1400")";

// Twenty jobs: eighteen that work (seventeen tiny simulations, one fit of
// measured.txt) and two bad ones, a parameter out of range and a missing file.
std::string twentyJobs(const std::string& slowJob = "") {
  std::string jobs;
  for (int k = 1; k <= 20; ++k) {
    const std::string id = (k < 10 ? "j0" : "j") + std::to_string(k);
    if (k == 5)
      jobs += R"({"id": "fit", "fit": {"experiments": ["measured.txt"], "vary": ["gz=2.2:2.3"], )"
              R"("set": ["thetaStep=3", "phiStep=30"], "threads": 1}})";
    else if (k == 7)
      jobs += R"({"id": "bad-set", "simulate": {"set": ["points=256", "gx=0"]}})";
    else if (k == 13)
      jobs += R"({"id": "bad-file", "fit": {"experiments": ["missing.txt"], "vary": ["gz=2.2:2.3"]}})";
    else if (k == 10 && !slowJob.empty())
      jobs += R"({"id": "j10", "simulate": {"set": [)" + slowJob + R"(], "threads": 1}})";
    else
      jobs += R"({"id": ")" + id + R"(", "simulate": {)" + kTinySimulate + R"(, "gz=2.)" +
              std::to_string(20 + k) + R"("], "threads": 1}})";
    jobs += "\n";
  }
  return jobs;
}

std::string folderWithJobs(const std::string& jobs) {
  const std::string folder = makeTemporaryFolder();
  EXPECT_EQ(
      runCli({"simulate", "--set", "points=512", "--set", "fieldCentre=3000", "--set", "fieldRange=1400",
              "--set", "gz=2.26", "--set", "thetaStep=3", "--set", "phiStep=30", "-o", "measured.txt"},
             folder)
          .exitCode,
      0);
  writeFile(folder + "/jobs.jsonl", jobs);
  return folder;
}

// The rows of the summary table whose line starts with prefix.
std::string summaryRow(const std::string& summary, const std::string& prefix) {
  const size_t start = summary.find("\n" + prefix);
  return start == std::string::npos ? ""
                                    : summary.substr(start + 1, summary.find('\n', start + 1) - start - 1);
}

TEST(BatchCli, TwentyJobsWithTwoBadOnesGiveEighteenResultsAndTwoRecordedFailures) {
  const std::string folder = folderWithJobs(twentyJobs());
  const CliResult run = runCli({"batch", "jobs.jsonl", "-o", "out"}, folder);
  EXPECT_EQ(run.exitCode, 1) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err.substr(0, run.err.find('\n')), "quorra: batch: 20 jobs, 0 finished before, 20 to run");
  EXPECT_NE(run.err.find("\nquorra: batch: 18 of 20 jobs ok, 2 failed; summary in out/summary.csv\n"),
            std::string::npos)
      << run.err;

  const std::vector<std::string> entries = folderEntries(folder + "/out");
  EXPECT_EQ(entries.size(), 21u);  // a folder per job and the summary
  int ok = 0;
  for (const std::string& entry : entries)
    if (entry != "summary.csv")
      ok += readFile(folder + "/out/" + entry + "/job.json").find("\"status\": \"ok\"") != std::string::npos;
  EXPECT_EQ(ok, 18);

  // A job is the command line it stands for: the same spectrum, byte for byte.
  ASSERT_EQ(runCli({"simulate", "--set", "points=256", "--set", "thetaStep=10", "--set", "fieldCentre=3000",
                    "--set", "fieldRange=1400", "--set", "gz=2.23", "--threads", "1", "-o", "direct.txt"},
                   folder)
                .exitCode,
            0);
  EXPECT_EQ(readFile(folder + "/out/j03/spectrum.txt"), readFile(folder + "/direct.txt"));
  EXPECT_EQ(folderEntries(folder + "/out/fit"),
            (std::vector<std::string>{"fit.txt", "job.json", "report.json"}));

  const std::string summary = readFile(folder + "/out/summary.csv");
  EXPECT_EQ(std::count(summary.begin(), summary.end(), '\n'), 21);
  EXPECT_EQ(summary.substr(0, summary.find('\n')),
            "id,command,status,exit_code,seconds,orientations,lines,threads,chi2,residual_rms_relative,"
            "simulations,gz,gz_error,message");
  EXPECT_EQ(summaryRow(summary, "j01,").substr(0, 20), "j01,simulate,ok,0,0.");
  EXPECT_NE(summaryRow(summary, "j01,").find(",19,304,1,,,,,,"), std::string::npos) << summary;
  const std::string fit = summaryRow(summary, "fit,");
  EXPECT_NE(fit.find(",2.259"), std::string::npos) << fit;  // gz, within a grid cell of 2.26
  EXPECT_EQ(summaryRow(summary, "bad-set,").substr(0, 27), "bad-set,simulate,failed,2,0");
  EXPECT_NE(summaryRow(summary, "bad-set,")
                .find(",,,,,,,,,\"The value of gx must be greater than 0 and at most 100: \"\"0\"\".\""),
            std::string::npos)
      << summary;
  EXPECT_EQ(summaryRow(summary, "bad-file,").substr(0, 24), "bad-file,fit,failed,2,0.");
  EXPECT_NE(summaryRow(summary, "bad-file,").find(",FILE NOT FOUND: missing.txt"), std::string::npos);
  const std::string report = readFile(folder + "/out/bad-file/job.json");
  EXPECT_NE(report.find("\"messages\": [\n    \"FILE NOT FOUND: missing.txt\"\n  ]"), std::string::npos)
      << report;
}

TEST(BatchCli, AStoppedOrKilledBatchRunsOnlyTheMissingJobsAgain) {
  // j10 runs long enough (one thread, fine grid) to be stopped in the middle.
  const std::string folder = folderWithJobs(twentyJobs(R"("thetaStep=0.05")"));
  const std::vector<std::string> batch = {"batch", "jobs.jsonl", "-o", "out"};

  // Ctrl-C during j10: the jobs before it stay done, j10 leaves nothing.
  CliProcess process = startCli(batch, folder);
  ASSERT_TRUE(waitForTemporaryFile(folder + "/out/j10", "spectrum.txt"));
  kill(process.pid, SIGINT);
  CliResult run = finishCli(process);
  EXPECT_EQ(run.exitCode, 130) << run.err;
  EXPECT_NE(run.err.find("quorra: batch: 8 of 20 jobs ok, 1 failed; summary in out/summary.csv\n"
                         "quorra: batch interrupted; the jobs not finished run when it is run again.\n"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(folderEntries(folder + "/out/j10"), std::vector<std::string>{});
  const std::string summary = readFile(folder + "/out/summary.csv");
  EXPECT_EQ(summaryRow(summary, "j10,").substr(0, 25), "j10,simulate,interrupted,");
  EXPECT_EQ(summaryRow(summary, "j11,"), "j11,simulate,pending,,,,,,,,,,,");
  const std::string firstReport = readFile(folder + "/out/j01/job.json");

  // Killed outright during j10 (as a preempted job is): its temporary file
  // stays behind, nothing else of it.
  process = startCli(batch, folder);
  ASSERT_TRUE(waitForTemporaryFile(folder + "/out/j10", "spectrum.txt"));
  kill(process.pid, SIGKILL);
  run = finishCli(process);
  EXPECT_EQ(run.exitCode, 128 + SIGKILL);
  EXPECT_EQ(run.err.substr(0, run.err.find('\n')), "quorra: batch: 20 jobs, 9 finished before, 11 to run");

  // Results taken away run again too: j03's folder, j04's spectrum.
  fs::remove_all(folder + "/out/j03");
  fs::remove(folder + "/out/j04/spectrum.txt");
  run = runCli(batch, folder);
  EXPECT_EQ(run.exitCode, 1) << run.err;
  EXPECT_EQ(run.err.substr(0, run.err.find('\n')), "quorra: batch: 20 jobs, 7 finished before, 13 to run");
  EXPECT_NE(run.err.find("] j03 ok"), std::string::npos);
  EXPECT_EQ(run.err.find("] j01 "), std::string::npos);  // finished: not run again
  EXPECT_EQ(readFile(folder + "/out/j01/job.json"), firstReport);
  EXPECT_NE(run.err.find("quorra: batch: 18 of 20 jobs ok, 2 failed; summary in out/summary.csv\n"),
            std::string::npos);

  // --retry-failed runs the two failed jobs again, and only them.
  run = runCli({"batch", "jobs.jsonl", "-o", "out", "--retry-failed"}, folder);
  EXPECT_EQ(run.exitCode, 1) << run.err;
  EXPECT_EQ(run.err.substr(0, run.err.find('\n')), "quorra: batch: 20 jobs, 18 finished before, 2 to run");
}

TEST(BatchCli, FitAllWritesOneFitJobPerFileAndRefusalsSayWhy) {
  const std::string folder = folderWithJobs("");
  fs::create_directory(folder + "/series");
  for (const char* name : {"series/t 10K.txt", "series/t20K.txt"})
    fs::copy_file(folder + "/measured.txt", folder + "/" + name);
  CliResult run =
      runCli({"batch", "--fit-all", "series/*.txt", "--vary", "gz=2.2:2.3", "--set", "thetaStep=3", "--set",
              "phiStep=30", "--threads", "1", "--write-jobs", "fits.jsonl"},
             folder);
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(readFile(folder + "/fits.jsonl"),
            "{\"id\":\"t_10K\",\"fit\":{\"experiments\":[\"series/t 10K.txt\"],\"vary\":[\"gz=2.2:2.3\"],"
            "\"threads\":\"1\",\"set\":[\"thetaStep=3\",\"phiStep=30\"]}}\n"
            "{\"id\":\"t20K\",\"fit\":{\"experiments\":[\"series/t20K.txt\"],\"vary\":[\"gz=2.2:2.3\"],"
            "\"threads\":\"1\",\"set\":[\"thetaStep=3\",\"phiStep=30\"]}}\n");
  run = runCli({"batch", "fits.jsonl", "-o", "out"}, folder);
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(folderEntries(folder + "/out"), (std::vector<std::string>{"summary.csv", "t20K", "t_10K"}));

  const struct {
    std::string jobs;
    std::vector<std::string> args;
    const char* message;
  } cases[] = {
      {"{\"id\": \"a\"}\n\n{\"id\": \"a\"}\n",
       {},
       "quorra: jobs.jsonl:3: the id \"a\" is that of line 1 too.\n"},
      {"{\"id\": \"../a\"}\n",
       {},
       "quorra: jobs.jsonl:1: \"id\" must be text of letters, digits, '.', '_' and '-' "
       "that does not start with '.'.\n"},
      {"[1]\n", {}, "quorra: jobs.jsonl:1: a job must be one JSON object.\n"},
      {"\n", {}, "quorra: jobs.jsonl holds no job.\n"},
      {"", {"jobs.jsonl", "--vary", "gz=2.2:2.3"}, "quorra: --vary goes with --fit-all.\n"},
      {"", {"--fit-all", "none/*.DSC", "--vary", "gz=2.2:2.3"}, "quorra: no file matches none/*.DSC.\n"},
      {"",
       {"--fit-all", "series/*.txt", "--vary", "gz=2.2:2.3", "--method", "newton"},
       "quorra: --method: newton not in {lm,simplex,global}\n"},
  };
  for (const auto& c : cases) {
    const std::string caseFolder = makeTemporaryFolder();
    fs::copy(folder + "/series", caseFolder + "/series");
    writeFile(caseFolder + "/jobs.jsonl", c.jobs);
    std::vector<std::string> args = {"batch", "-o", "out"};
    if (c.args.empty()) args.push_back("jobs.jsonl");
    args.insert(args.end(), c.args.begin(), c.args.end());
    run = runCli(args, caseFolder);
    EXPECT_EQ(run.exitCode, 2) << c.message;
    EXPECT_EQ(run.err, c.message);
    EXPECT_EQ(folderEntries(caseFolder), (std::vector<std::string>{"jobs.jsonl", "series"})) << c.message;
  }
}

}  // namespace
}  // namespace quorra::testing

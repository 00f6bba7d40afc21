// quorra under mpirun with three processes: the spectra (exact and
// adaptive grid) and a fit are bitwise those of one process, a batch hands its jobs out and rank 0 alone
// writes the summary, and a run that fails (a bad option, an unwritable
// output, a process killed or interrupted) ends with its message and exit
// status, writing nothing.

#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>

#include "../run_cli.h"

namespace quorra::testing {
namespace {

CliResult runMpi(int processes, const std::vector<std::string>& args, const std::string& folder) {
  std::vector<std::string> all = {"--oversubscribe", "--allow-run-as-root", "-n", std::to_string(processes),
                                  QUORRA_CLI_PATH};
  all.insert(all.end(), args.begin(), args.end());
  return finishCli(startProgram(QUORRA_MPIRUN_PATH, all, folder));
}

size_t occurrences(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

TEST(MpiCli, SpectraOfThreeProcessesAreBitwiseThoseOfOne) {
  const std::string folder = makeTemporaryFolder();
  const std::vector<std::vector<std::string>> systems = {
      {},  // the default: axial copper, 65 536 points
      // Rhombic g and A: φ rows of their own; the physical model with the
      // two copper isotopes: two powder runs added.
      {"--set", "gx=2.02", "--set", "gy=2.08", "--set", "Ax=20", "--set", "Ay=60", "--set", "thetaStep=1",
       "--set", "phiStep=3", "--preset", "physical", "--set", "nucleus=Cu"}};
  for (const std::vector<std::string>& system : systems) {
    std::vector<std::string> one = {"simulate", "--threads", "2", "-o", "one.txt"};
    one.insert(one.end(), system.begin(), system.end());
    std::vector<std::string> three = {"simulate", "--threads", "1", "-o", "three.txt"};
    three.insert(three.end(), system.begin(), system.end());
    ASSERT_EQ(runCli(one, folder).exitCode, 0);
    const CliResult run = runMpi(3, three, folder);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(readFile(folder + "/three.txt"), readFile(folder + "/one.txt"));
    // Rank 0 says it once, for all three.
    EXPECT_EQ(occurrences(run.err, "quorra: "), system.empty() ? 1u : 2u) << run.err;
    EXPECT_NE(run.err.find(system.empty()
                               ? "quorra: 819 orientations, 13104 lines, 1 threads in each of 3 processes"
                               : " threads in each of 3 processes"),
              std::string::npos)
        << run.err;
  }
}

TEST(MpiCli, AdaptiveSpectraOfThreeProcessesAreBitwiseThoseOfOne) {
  const std::string folder = makeTemporaryFolder();
  const std::vector<std::vector<std::string>> systems = {
      // Axial: θ alone, one node a row.
      {"--tolerance", "1e-4"},
      // Low symmetry over the octant, with the two copper isotopes (two
      // runs refined together) and a tolerance that takes several levels.
      {"--set",    "gx=2.02",  "--set", "gy=2.06",    "--set",       "gz=2.25", "--set",
       "Ax=20",    "--set",    "Ay=40", "--set",      "Az=200",      "--set",   "points=4096",
       "--preset", "physical", "--set", "nucleus=Cu", "--tolerance", "2e-4"}};
  // The summary without its time, threads and file name: orientations and
  // lines (the totals over the processes), refinements, tolerance reached.
  const auto counts = [](std::string json) {
    for (const char* key : {"\"output\": ", "\"threads\": ", "\"seconds\": "}) {
      const size_t at = json.find(key);
      if (at != std::string::npos) json.erase(at, json.find(", ", at) + 2 - at);
    }
    return json;
  };
  for (const std::vector<std::string>& system : systems) {
    std::vector<std::string> one = {"simulate",  "--grid", "adaptive", "--json",
                                    "--threads", "2",      "-o",       "one.txt"};
    one.insert(one.end(), system.begin(), system.end());
    std::vector<std::string> three = {"simulate",  "--grid", "adaptive", "--json",
                                      "--threads", "1",      "-o",       "three.txt"};
    three.insert(three.end(), system.begin(), system.end());
    const CliResult single = runCli(one, folder);
    ASSERT_EQ(single.exitCode, 0) << single.err;
    const CliResult run = runMpi(3, three, folder);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(readFile(folder + "/three.txt"), readFile(folder + "/one.txt"));
    EXPECT_EQ(counts(run.out), counts(single.out));
    EXPECT_NE(single.out.find("\"refinements\": "), std::string::npos) << single.out;
    EXPECT_EQ(single.out.find("\"refinements\": 0,"), std::string::npos) << single.out;
    EXPECT_NE(run.err.find(" threads in each of 3 processes, "), std::string::npos) << run.err;
    EXPECT_EQ(occurrences(run.err, " orientations, "), 1u) << run.err;
  }
}

TEST(MpiCli, ABatchOfThreeProcessesRunsEveryJobOnce) {
  const std::string folder = makeTemporaryFolder();
  std::string jobs;
  for (int k = 1; k <= 10; ++k)
    jobs += "{\"id\": \"j" + std::to_string(k) +
            "\", \"simulate\": {\"set\": [\"points=256\", \"thetaStep=10\", \"gz=2." +
            std::to_string(20 + k) + "\"], \"threads\": 1}}\n";
  jobs += "{\"id\": \"bad\", \"simulate\": {\"set\": [\"gx=0\"]}}\n";
  std::ofstream(folder + "/jobs.jsonl") << jobs;
  CliResult run = runMpi(3, {"batch", "jobs.jsonl", "-o", "out"}, folder);
  EXPECT_EQ(run.exitCode, 1) << run.err;
  EXPECT_EQ(occurrences(run.err, "quorra: batch: ["), 11u) << run.err;
  EXPECT_NE(run.err.find("quorra: batch: 10 of 11 jobs ok, 1 failed; summary in out/summary.csv\n"),
            std::string::npos)
      << run.err;
  const std::string summary = readFile(folder + "/out/summary.csv");
  EXPECT_EQ(std::count(summary.begin(), summary.end(), '\n'), 12);
  EXPECT_EQ(occurrences(summary, ",simulate,ok,0,"), 10u) << summary;
  EXPECT_NE(summary.find("\nbad,simulate,failed,2,"), std::string::npos) << summary;
  // The same spectrum as the job run alone.
  ASSERT_EQ(runCli({"simulate", "--set", "points=256", "--set", "thetaStep=10", "--set", "gz=2.27",
                    "--threads", "1", "-o", "direct.txt"},
                   folder)
                .exitCode,
            0);
  EXPECT_EQ(readFile(folder + "/out/j7/spectrum.txt"), readFile(folder + "/direct.txt"));

  // Run again with the bad job mended, only it runs.
  std::ofstream(folder + "/jobs.jsonl") << jobs.substr(0, jobs.find("{\"id\": \"bad\""))
                                        << "{\"id\": \"bad\", \"simulate\": {\"set\": [\"points=256\"]}}\n";
  run = runMpi(3, {"batch", "jobs.jsonl", "-o", "out"}, folder);
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.err.find("quorra: batch: 11 jobs, 10 finished before, 1 to run\n"
                         "quorra: batch: [1/1] bad ok"),
            std::string::npos)
      << run.err;
}

// The processes mpirun started: those whose parent it is.
std::vector<pid_t> childrenOf(pid_t parent) {
  std::vector<pid_t> children;
  for (const std::string& entry : folderEntries("/proc")) {
    if (entry.find_first_not_of("0123456789") != std::string::npos) continue;
    const std::string stat = readFile("/proc/" + entry + "/stat");
    const size_t close = stat.rfind(')');
    if (close == std::string::npos) continue;
    int ppid = 0;
    if (std::sscanf(stat.c_str() + close + 1, " %*c %d", &ppid) == 1 && ppid == parent)
      children.push_back(std::stoi(entry));
  }
  return children;
}

TEST(MpiCli, AFailedRunSaysWhyOnceAndWritesNothing) {
  const std::string folder = makeTemporaryFolder();
  const struct {
    std::vector<std::string> args;
    int exitCode;
    const char* message;
  } cases[] = {
      {{"simulate", "--set", "gx=0", "-o", "x.txt"},
       2,
       "quorra: The value of gx must be greater than 0 and at most 100: \"0\".\n"},
      {{"simulate", "-o", "no/x.txt"}, 3, "quorra: cannot write no/x.txt: No such file or directory\n"},
      {{"info", "x.txt"},
       2,
       "quorra: quorra info runs in one process: only simulate, fit and batch share their work among the "
       "processes of an MPI run.\n"},
  };
  for (const auto& c : cases) {
    const CliResult run = runMpi(3, c.args, folder);
    EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
    EXPECT_EQ(occurrences(run.err, "quorra: "), 1u) << run.err;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_EQ(folderEntries(folder), std::vector<std::string>{}) << c.message;
  }

  // A process killed in the middle of a long run (one thread each, rows of
  // a second or more) ends the whole run; rank 0 opens its output only
  // after the run, so nothing is left behind.
  const CliProcess mpirun = startProgram(QUORRA_MPIRUN_PATH,
                                         {"--oversubscribe",
                                          "--allow-run-as-root",
                                          "-n",
                                          "3",
                                          QUORRA_CLI_PATH,
                                          "simulate",
                                          "--set",
                                          "gx=2.02",
                                          "--set",
                                          "Ax=20",
                                          "--set",
                                          "thetaStep=30",
                                          "--set",
                                          "phiStep=0.005",
                                          "--set",
                                          "points=1024",
                                          "--threads",
                                          "1",
                                          "-o",
                                          "slow.txt"},
                                         folder);
  std::vector<pid_t> ranks;
  for (int attempt = 0; attempt < 600 && ranks.size() < 3; ++attempt) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ranks = childrenOf(mpirun.pid);
  }
  ASSERT_EQ(ranks.size(), 3u);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  kill(ranks.back(), SIGKILL);
  const CliResult run = finishCli(mpirun);
  EXPECT_NE(run.exitCode, 0) << run.err;
  EXPECT_NE(run.err.find("exited on signal 9"), std::string::npos) << run.err;
  EXPECT_EQ(folderEntries(folder), std::vector<std::string>{});
}

TEST(MpiCli, AFitOfThreeProcessesIsBitwiseThatOfOne) {
  const std::string folder = makeTemporaryFolder();
  const std::vector<std::string> coarse = {"--set", "thetaStep=3", "--set", "phiStep=30"};
  std::vector<std::string> measure = {"simulate",         "--set", "points=256",      "--set",
                                      "fieldCentre=3000", "--set", "fieldRange=1400", "--set",
                                      "gz=2.26",          "-o",    "measured.txt"};
  measure.insert(measure.end(), coarse.begin(), coarse.end());
  ASSERT_EQ(runCli(measure, folder).exitCode, 0);
  const auto fit = [&coarse](const std::string& threads, const std::string& name) {
    std::vector<std::string> args = {"fit",        "measured.txt",
                                     "--vary",     "gz=2.2:2.3",
                                     "--vary",     "isotropicWidth=10:30",
                                     "--method",   "global",
                                     "--starts",   "5",
                                     "--baseline", "1",
                                     "--threads",  threads,
                                     "-o",         name + ".json",
                                     "--spectrum", name + ".txt"};
    args.insert(args.end(), coarse.begin(), coarse.end());
    return args;
  };
  // Five starts and two Jacobian columns dealt to three processes: a share
  // for each, one with less than the others.
  const CliResult one = runCli(fit("2", "one"), folder);
  ASSERT_EQ(one.exitCode, 0) << one.err;
  const CliResult three = runMpi(3, fit("1", "three"), folder);
  ASSERT_EQ(three.exitCode, 0) << three.err;
  // The report's every number but the time, the simulations counted included.
  const auto withoutSeconds = [](std::string report) {
    const size_t at = report.find("\n  \"seconds\": ");
    return at == std::string::npos ? report : report.erase(at, report.find('\n', at + 1) - at);
  };
  EXPECT_EQ(withoutSeconds(readFile(folder + "/three.json")), withoutSeconds(readFile(folder + "/one.json")));
  EXPECT_NE(readFile(folder + "/three.json").find("\"simulations\": "), std::string::npos);
  EXPECT_EQ(readFile(folder + "/three.txt"), readFile(folder + "/one.txt"));
  // Rank 0 alone prints the table.
  EXPECT_EQ(occurrences(three.out, "chi2 "), 1u) << three.out;
  EXPECT_EQ(three.out.substr(0, three.out.find("chi2 ")), one.out.substr(0, one.out.find("chi2 ")));

  // A fit that fails once the processes run it, and an output rank 0
  // cannot write: said once, nothing written.
  const std::string empty = makeTemporaryFolder();
  std::rename((folder + "/measured.txt").c_str(), (empty + "/measured.txt").c_str());
  const struct {
    std::vector<std::string> args;
    int exitCode;
    const char* message;
  } cases[] = {
      {{"--vary", "P=-5:5", "--set", "nuclearSpinText=1/2"},
       2,
       "quorra: The fitted points do not depend on P: it cannot be fitted with these settings. Nothing "
       "written.\n"},
      {{"--vary", "gz=2.2:2.3", "--spectrum", "no/fit.txt"},
       3,
       "quorra: cannot write no/fit.txt: No such file or directory\n"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {"fit", "measured.txt", "-o", "report.json"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    args.insert(args.end(), coarse.begin(), coarse.end());
    const CliResult run = runMpi(3, args, empty);
    EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
    EXPECT_EQ(occurrences(run.err, "quorra: "), 1u) << run.err;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_EQ(folderEntries(empty), std::vector<std::string>{"measured.txt"}) << c.message;
  }

  // Ctrl-C to one process of a long fit (half a second a simulation) ends
  // every process: nothing written.
  const CliProcess mpirun = startProgram(
      QUORRA_MPIRUN_PATH,
      {"--oversubscribe", "--allow-run-as-root", "-n", "3", QUORRA_CLI_PATH, "fit", "measured.txt", "--vary",
       "gz=2.2:2.3", "--set", "thetaStep=0.02", "--threads", "1", "-o", "report.json"},
      empty);
  std::vector<pid_t> ranks;
  for (int attempt = 0; attempt < 600 && ranks.size() < 3; ++attempt) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ranks = childrenOf(mpirun.pid);
  }
  ASSERT_EQ(ranks.size(), 3u);
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  kill(ranks.back(), SIGINT);
  const CliResult run = finishCli(mpirun);
  EXPECT_NE(run.exitCode, 0) << run.err;
  EXPECT_NE(run.err.find(" of 3: interrupted; nothing written.\n"), std::string::npos) << run.err;
  EXPECT_EQ(folderEntries(empty), std::vector<std::string>{"measured.txt"});
}

}  // namespace
}  // namespace quorra::testing

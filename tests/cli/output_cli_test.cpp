// Output files of every command: failures to write them have an exit code
// of their own and leave nothing behind.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <fstream>

#include "run_cli.h"

namespace quorra::testing {
namespace {

const std::string kBrukerDir = std::string(QUORRA_TESTDATA_DIR) + "/bruker/";

void writeText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// A two-channel Harrow file of 201 points in its own folder.
std::string writeHarrow() {
  const std::string path = makeTemporaryFolder() + "/two.dat";
  std::string text = "Source Freq 9.5\n>BEGIN\n";
  char line[64];
  for (int i = 0; i <= 200; ++i) {
    std::snprintf(line, sizeof line, "%.4f %.5f %.5f\n", 0.33 + i * 1e-4, std::sin(i * 0.1),
                  std::cos(i * 0.07));
    text += line;
  }
  writeText(path, text);
  return path;
}

// Runs the command lines in folder, each of which writes to a path that
// cannot be written; each must exit with 3 and the one line about that path,
// and leave the folder as it was.
void expectWriteFailures(const std::string& folder, const std::vector<std::vector<std::string>>& commands,
                         const std::string& reason, long fileSizeLimit = -1) {
  const std::vector<std::string> before = folderEntries(folder);
  for (const std::vector<std::string>& args : commands) {
    const std::string& target = args.back();
    const CliResult run = runCli(args, folder, fileSizeLimit);
    EXPECT_EQ(run.exitCode, 3) << args[0] << " " << target << ": " << run.err;
    EXPECT_EQ(run.err, "quorra: cannot write " + target + ": " + reason + "\n") << args[0];
    EXPECT_EQ(run.out, "") << args[0];
    EXPECT_EQ(folderEntries(folder), before) << args[0] << " " << target;
  }
}

TEST(OutputCli, WriteFailuresExitThreeAndLeaveNothing) {
  const std::string harrow = writeHarrow();
  const std::string bruker = kBrukerDir + "strong1.dta";
  const std::string folder = makeTemporaryFolder();
  writeText(folder + "/keep.txt", "old contents\n");
  const std::vector<std::string> crystal = {"--set", "points=1024", "--orientation", "0,0"};
  const auto with = [](std::vector<std::string> args, const std::vector<std::string>& more) {
    args.insert(args.end(), more.begin(), more.end());
    return args;
  };

  // A folder that is a file: no temporary file can be made there, whoever
  // runs the test.
  expectWriteFailures(
      folder,
      {
          {"simulate", "--crystal", "0,0", "--set", "points=1024", "-o", "keep.txt/s.txt"},
          {"simulate", "--crystal", "0,0", "--set", "points=1024", "-o", "s.txt", "--plot", "keep.txt/s.png"},
          with(with({"crystal"}, crystal), {"-o", "keep.txt/c.txt"}),
          with(with({"crystal"}, crystal), {"--plot", "keep.txt/c.svg"}),
          {"plot", "--blue", harrow, "-o", "keep.txt/p.png"},
          {"roadmap", "--axis", "90,0", "--set", "points=1024", "-o", "keep.txt/m.csv"},
          {"roadmap", "--axis", "90,0", "--set", "points=1024", "-o", "keep.txt/m.pdf"},
          {"levels", "--orientation", "0,0", "--plot", "keep.txt/l.png"},
          {"convert", harrow, "-o", "keep.txt/c.txt"},
          {"convert", bruker, "-o", "keep.txt/c.dat"},
          {"rephase", harrow, "--angle", "10", "-o", "keep.txt/r.dat"},
      },
      "Not a directory");

  // Files that cannot grow past 2000 bytes: the writes fail as on a full
  // disk, after the temporary file was made.
  expectWriteFailures(folder,
                      {
                          {"simulate", "--crystal", "0,0", "--set", "points=1024", "-o", "s.txt"},
                          with(with({"crystal"}, crystal), {"-o", "c.txt"}),
                          with(with({"crystal"}, crystal), {"--plot", "c.svg"}),
                          {"plot", "--blue", harrow, "-o", "p.svg"},
                          {"levels", "--orientation", "0,0", "--plot", "l.svg"},
                          {"convert", bruker, "-o", "c.txt"},
                          {"rephase", harrow, "--angle", "10", "-o", "r.dat"},
                      },
                      "File too large", 2000);
  EXPECT_EQ(readFile(folder + "/keep.txt"), "old contents\n");

  // A folder without write permission stops all but the superuser.
  if (geteuid() != 0) {
    const std::string locked = makeTemporaryFolder();
    ASSERT_EQ(chmod(locked.c_str(), 0555), 0);
    expectWriteFailures(locked, {{"convert", harrow, "-o", "c.txt"}}, "Permission denied");
  }
}

TEST(OutputCli, HelpListsTheExitCodes) {
  const std::string codes =
      "Exit status: 0 done; 1 the computation gave no result; 2 bad command line, parameters or input\n"
      "file; 3 an output file could not be written; 130 interrupted by Ctrl-C (SIGINT); 143 stopped by\n"
      "SIGTERM.";
  for (const char* command : {"simulate", "fields", "info", "convert", "plot", "crystal", "rotate", "roadmap",
                              "levels", "rephase"}) {
    const CliResult run = runCli({command, "--help"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.out.find(codes), std::string::npos) << command << ":\n" << run.out;
  }
  EXPECT_NE(runCli({"--help"}).out.find(codes), std::string::npos);
}

}  // namespace
}  // namespace quorra::testing

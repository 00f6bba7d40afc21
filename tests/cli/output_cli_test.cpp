// Output files of every command: failures to write them have an exit code
// of their own and leave nothing behind; links are written through, devices
// and FIFOs in place.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
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

// The path a symbolic link holds.
std::string linkTarget(const std::string& link) {
  char target[4096];
  const ssize_t length = readlink(link.c_str(), target, sizeof target);
  return length < 0 ? std::string("(not a link)") : std::string(target, static_cast<size_t>(length));
}

TEST(OutputCli, LinksAreWrittenThroughAndKept) {
  const std::string harrow = writeHarrow();
  const std::string folder = makeTemporaryFolder();
  // What convert writes to a plain new file.
  ASSERT_EQ(runCli({"convert", harrow, "-o", "plain.txt"}, folder).exitCode, 0);
  const std::string expected = readFile(folder + "/plain.txt");
  ASSERT_EQ(unlink((folder + "/plain.txt").c_str()), 0);

  ASSERT_EQ(mkdir((folder + "/data").c_str(), 0755), 0);
  writeText(folder + "/data/real.txt", "old contents\n");
  ASSERT_EQ(chmod((folder + "/data/real.txt").c_str(), 0604), 0);
  ASSERT_EQ(symlink("data/real.txt", (folder + "/relative.txt").c_str()), 0);
  ASSERT_EQ(symlink((folder + "/data/real.txt").c_str(), (folder + "/absolute.txt").c_str()), 0);
  ASSERT_EQ(symlink("relative.txt", (folder + "/chain.txt").c_str()), 0);
  ASSERT_EQ(symlink("data/new.txt", (folder + "/dangling.txt").c_str()), 0);
  ASSERT_EQ(symlink("data", (folder + "/folder.txt").c_str()), 0);
  ASSERT_EQ(symlink("loop2.txt", (folder + "/loop1.txt").c_str()), 0);
  ASSERT_EQ(symlink("loop1.txt", (folder + "/loop2.txt").c_str()), 0);
  const std::vector<std::string> links = {"absolute.txt", "chain.txt", "dangling.txt", "folder.txt",
                                          "loop1.txt",    "loop2.txt", "relative.txt"};
  const auto expectLinksKept = [&] {
    std::vector<std::string> entries = links;
    entries.push_back("data");
    std::sort(entries.begin(), entries.end());
    EXPECT_EQ(folderEntries(folder), entries);
    EXPECT_EQ(linkTarget(folder + "/relative.txt"), "data/real.txt");
    EXPECT_EQ(linkTarget(folder + "/absolute.txt"), folder + "/data/real.txt");
    EXPECT_EQ(linkTarget(folder + "/chain.txt"), "relative.txt");
    EXPECT_EQ(linkTarget(folder + "/dangling.txt"), "data/new.txt");
  };

  // Through a relative link, an absolute one and a chain of two: the target
  // is replaced and keeps its mode, the links stay.
  for (const char* link : {"relative.txt", "absolute.txt", "chain.txt"}) {
    writeText(folder + "/data/real.txt", "old contents\n");
    const CliResult run = runCli({"convert", harrow, "-o", link}, folder);
    ASSERT_EQ(run.exitCode, 0) << link << ": " << run.err;
    EXPECT_EQ(readFile(folder + "/data/real.txt"), expected) << link;
    struct stat written;
    ASSERT_EQ(stat((folder + "/data/real.txt").c_str(), &written), 0);
    EXPECT_EQ(written.st_mode & 07777, 0604u) << link;
    expectLinksKept();
    EXPECT_EQ(folderEntries(folder + "/data"), std::vector<std::string>{"real.txt"}) << link;
  }
  // A link to a file not there yet makes the file.
  CliResult run = runCli({"convert", harrow, "-o", "dangling.txt"}, folder);
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(readFile(folder + "/data/new.txt"), expected);
  expectLinksKept();
  EXPECT_EQ(folderEntries(folder + "/data"), (std::vector<std::string>{"new.txt", "real.txt"}));

  // A link to a folder, and a loop, cannot be written.
  run = runCli({"convert", harrow, "-o", "folder.txt"}, folder);
  EXPECT_EQ(run.exitCode, 3);
  EXPECT_EQ(run.err, "quorra: cannot write folder.txt: Is a directory\n");
  run = runCli({"convert", harrow, "-o", "loop1.txt"}, folder);
  EXPECT_EQ(run.exitCode, 3);
  EXPECT_EQ(run.err, "quorra: cannot write loop1.txt: Too many levels of symbolic links\n");
  expectLinksKept();
  EXPECT_EQ(folderEntries(folder + "/data"), (std::vector<std::string>{"new.txt", "real.txt"}));
}

TEST(OutputCli, DevicesAndFifosAreWrittenInPlace) {
  const std::string harrow = writeHarrow();
  const std::string folder = makeTemporaryFolder();
  ASSERT_EQ(runCli({"convert", harrow, "-o", "plain.txt"}, folder).exitCode, 0);
  const std::string expected = readFile(folder + "/plain.txt");

  // A FIFO gets the text and stays a FIFO. Its reading end is open before
  // the run (without waiting for a writer), and the text fits into the
  // pipe, so it is read once the run is over.
  ASSERT_EQ(mkfifo((folder + "/pipe").c_str(), 0644), 0);
  const int reader = open((folder + "/pipe").c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  ASSERT_EQ(fcntl(reader, F_SETFL, 0), 0);
  ASSERT_LT(expected.size(), 60000u);
  CliResult run = runCli({"convert", harrow, "-o", "pipe"}, folder);
  std::string received;
  char buffer[4096];
  for (ssize_t got; (got = read(reader, buffer, sizeof buffer)) > 0;)
    received.append(buffer, static_cast<size_t>(got));
  close(reader);
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(received, expected);
  struct stat entry;
  ASSERT_EQ(lstat((folder + "/pipe").c_str(), &entry), 0);
  EXPECT_TRUE(S_ISFIFO(entry.st_mode));

  // Devices of their own (of /dev/null and /dev/full), made where only the
  // superuser may: a full device fails as a full disk does, and neither is
  // replaced by a file.
  if (mknod((folder + "/null").c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0 ||
      mknod((folder + "/full").c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0)
    GTEST_SKIP() << "cannot make device files here";
  ASSERT_EQ(symlink("full", (folder + "/full-link").c_str()), 0);
  run = runCli({"convert", harrow, "-o", "null"}, folder);
  EXPECT_EQ(run.exitCode, 0) << run.err;
  for (const char* target : {"full", "full-link"}) {
    run = runCli({"simulate", "--crystal", "0,0", "--set", "points=1024", "-o", target}, folder);
    EXPECT_EQ(run.exitCode, 3) << target;
    EXPECT_EQ(run.err, "quorra: cannot write " + std::string(target) + ": No space left on device\n");
  }
  for (const char* device : {"null", "full"}) {
    ASSERT_EQ(lstat((folder + "/" + device).c_str(), &entry), 0);
    EXPECT_TRUE(S_ISCHR(entry.st_mode)) << device;
  }
  EXPECT_EQ(linkTarget(folder + "/full-link"), "full");
  EXPECT_EQ(folderEntries(folder),
            (std::vector<std::string>{"full", "full-link", "null", "pipe", "plain.txt"}));
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

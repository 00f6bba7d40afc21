// Plot files from the command line: simulate --plot and the plot command.

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>

#include "run_cli.h"

namespace quorra::testing {
namespace {

// Width and height from a PNG's header chunk; {0, 0} when it is no PNG.
std::pair<std::uint32_t, std::uint32_t> pngSize(const std::string& bytes) {
  if (bytes.size() < 24 || bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0 || bytes.compare(12, 4, "IHDR") != 0)
    return {0, 0};
  auto big = [&](size_t at) {
    std::uint32_t v = 0;
    for (size_t i = 0; i < 4; ++i) v = v << 8 | static_cast<unsigned char>(bytes[at + i]);
    return v;
  };
  return {big(16), big(20)};
}

TEST(PlotCli, SimulateDrawsThePlotBesideTheSpectrum) {
  const std::string folder = makeTemporaryFolder();
  CliResult run =
      runCli({"simulate", "--set", "points=4096", "--plot", "spectrum.png", "--size", "640x480"}, folder);
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.err.find("plot written to spectrum.png"), std::string::npos) << run.err;
  EXPECT_EQ(folderEntries(folder), (std::vector<std::string>{"spectrum.png", "spectrum.txt"}));
  EXPECT_EQ(pngSize(readFile(folder + "/spectrum.png")), (std::pair<std::uint32_t, std::uint32_t>{640, 480}));

  run = runCli({"simulate", "--set", "points=4096", "-o", "s.txt", "--plot", "page.PDF"}, folder);
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(readFile(folder + "/page.PDF").rfind("%PDF-", 0), 0u);
}

TEST(PlotCli, BadPlotRequestsAreRefusedBeforeAnyWork) {
  const std::string folder = makeTemporaryFolder();
  const struct {
    std::vector<std::string> args;
    std::string message;
  } cases[] = {
      {{"simulate", "--plot", "x.bmp"},
       "quorra: cannot tell the image format of x.bmp: the name must end in .png, .svg or .pdf.\n"},
      {{"simulate", "--plot", "x.png", "--size", "800"},
       "quorra: --size expects WxH with each side from 2 to 16384 pixels, got \"800\".\n"},
      {{"simulate", "--plot", "x.png", "--size", "1x600"},
       "quorra: --size expects WxH with each side from 2 to 16384 pixels, got \"1x600\".\n"},
      {{"plot", "-o", "x.png"}, "quorra: plot needs --red FILE, --blue FILE or both.\n"},
  };
  // Sizes are read whole: numbers past the range of int do not wrap around
  // into it, and nothing but digits is taken.
  for (const char* size : {"4294967298x4294967298", "800x4294967298", "99999999999999999999x600", "16385x600",
                           "800x1", "0x0", "800x-600", "-800x600", "+800x600", " 800x600", "800x600 ",
                           "800x600x2", "800X600", "800x", "x600", "0x800x600"}) {
    for (const std::vector<std::string>& command : {std::vector<std::string>{"simulate", "--plot", "x.png"},
                                                    {"roadmap", "--axis", "90,0", "-o", "x.png"}}) {
      std::vector<std::string> args = command;
      args.insert(args.end(), {"--size", size});
      const CliResult run = runCli(args, folder);
      EXPECT_EQ(run.exitCode, 2) << size;
      EXPECT_EQ(run.err, "quorra: --size expects WxH with each side from 2 to 16384 pixels, got \"" +
                             std::string(size) + "\".\n");
    }
  }
  EXPECT_TRUE(folderEntries(folder).empty());
  for (const char* command : {"simulate", "plot", "crystal", "roadmap", "levels"})
    EXPECT_NE(runCli({command, "--help"}).out.find("each side from 2 to 16384"), std::string::npos)
        << command;

  for (const auto& c : cases) {
    const CliResult run = runCli(c.args, folder);
    EXPECT_EQ(run.exitCode, 2) << c.args.back();
    EXPECT_EQ(run.err, c.message);
    EXPECT_TRUE(folderEntries(folder).empty());
  }
  const CliResult unwritable = runCli({"simulate", "--plot", "no/such/folder/x.png"}, folder);
  EXPECT_EQ(unwritable.exitCode, 3);
  EXPECT_EQ(unwritable.err, "quorra: cannot write no/such/folder/x.png: No such file or directory\n");
  const CliResult missing = runCli({"plot", "--blue", "missing.txt", "-o", "x.svg"}, folder);
  EXPECT_EQ(missing.exitCode, 2);
  EXPECT_NE(missing.err.find("missing.txt"), std::string::npos) << missing.err;
  EXPECT_TRUE(folderEntries(folder).empty());
}

TEST(PlotCli, PlotDrawsLoadedSpectraInRedAndBlue) {
  const std::string folder = makeTemporaryFolder();
  const std::string bruker = std::string(QUORRA_TESTDATA_DIR) + "/bruker/1D_CW.DTA";
  ASSERT_EQ(
      runCli({"simulate", "--set", "points=2048", "--set", "fieldCentre=3495", "--set", "fieldRange=150",
              "--set", "gx=2.0", "--set", "gy=2.0", "--set", "gz=2.0", "-o", "sim.txt"},
             folder)
          .exitCode,
      0);
  CliResult run = runCli({"plot", "--red", "sim.txt", "--blue", bruker, "-o", "both.svg"}, folder);
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const std::string svg = readFile(folder + "/both.svg");
  EXPECT_NE(svg.find("#ff0000"), std::string::npos);  // both traces drawn
  EXPECT_NE(svg.find("#0000ff"), std::string::npos);

  run = runCli({"plot", "--blue", bruker, "-o", "page.pdf"}, folder);
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(readFile(folder + "/page.pdf").rfind("%PDF-", 0), 0u);
  run = runCli({"plot", "--red", "sim.txt", "-o", "red.png", "--size", "300x200"}, folder);
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(pngSize(readFile(folder + "/red.png")), (std::pair<std::uint32_t, std::uint32_t>{300, 200}));
}

}  // namespace
}  // namespace quorra::testing

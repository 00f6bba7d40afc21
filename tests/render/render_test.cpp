// The Qt canvas against the model's record of its drawing, and the files
// written from it. Runs on Qt's offscreen platform: no display needed.

#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <algorithm>
#include <filesystem>
#include <regex>

#include "app/ceprwindow.h"
#include "app/simulation_commands.h"
#include "render/plot_export.h"
#include "render/qt_canvas.h"
#include "support/recording_canvas.h"
#include "support/scripted_ui.h"

namespace quorra::testing {
namespace {

class OffscreenEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { gui_ = std::make_unique<render::OffscreenGui>(); }
  void TearDown() override { gui_.reset(); }

 private:
  std::unique_ptr<render::OffscreenGui> gui_;
};
[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new OffscreenEnvironment);

const QRgb kRed = qRgb(255, 0, 0);
const QRgb kWhite = qRgb(255, 255, 255);

std::string temporaryPath(const std::string& name) {
  return (std::filesystem::temp_directory_path() / ("quorra_render_" + name)).string();
}

QByteArray readAll(const std::string& path) {
  QFile file(QString::fromStdString(path));
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(QtCanvas, AliasedLinesWithoutEndPointXorAndMetricCompatibleText) {
  QImage image(20, 20, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  render::QtCanvas canvas(painter);
  canvas.selectPen(Pen{rgb(255, 0, 0), 1});
  canvas.moveTo(2, 2);
  canvas.lineTo(10, 2);
  // The cursor pen XOR-ed: green on white shows magenta; a second pass and a
  // closed box leave nothing and no doubled corner.
  canvas.selectPen(Pen{rgb(0, 255, 0), 1});
  canvas.setRasterMode(RasterMode::Xor);
  canvas.moveTo(15, 0);
  canvas.lineTo(15, 10);
  for (int pass = 0; pass < 2; ++pass) {
    canvas.moveTo(1, 14);
    canvas.lineTo(6, 14);
    canvas.lineTo(6, 18);
    canvas.lineTo(1, 18);
    canvas.lineTo(1, 14);
    if (pass == 0) {
      EXPECT_EQ(image.pixel(1, 14), qRgb(255, 0, 255));
    }
  }
  EXPECT_EQ(image.pixel(2, 2), kRed);
  EXPECT_EQ(image.pixel(9, 2), kRed);
  EXPECT_EQ(image.pixel(10, 2), kWhite);  // the end point is left out
  EXPECT_EQ(image.pixel(15, 5), qRgb(255, 0, 255));
  for (int y = 13; y < 20; ++y)
    for (int x = 0; x < 8; ++x) EXPECT_EQ(image.pixel(x, y), kWhite) << x << "," << y;

  // "ARIAL" is Liberation Sans, sized by its character cell: a 30-pixel
  // font has 30-pixel cells, and digits are 0.556 em of 30 × 2048/2288.
  FontSpec font;
  font.height = 30;
  canvas.selectFont(font);
  EXPECT_EQ(canvas.qtFont(font).family(), "Liberation Sans");
  EXPECT_EQ(canvas.textExtent("123456.789"), (Size{143, 30}));
  EXPECT_EQ(canvas.textExtent("3000").cx, 60);
}

// The default simulation written as PNG: every vertex of the red trace the
// model drew is a red pixel, and every red pixel of a column lies between
// the rows of that column's vertex and its neighbours'.
TEST(PlotExport, PngOfTheDefaultSimulationShowsTheModelsTrace) {
  ScriptedUserInterface ui;
  CEprWindow window(ui);
  window.threadCount = 1;
  ASSERT_TRUE(Simulate(window).redShown);

  QImage scratch(800, 600, QImage::Format_RGB32);
  QPainter painter(&scratch);
  render::QtCanvas qt(painter);
  RecordingCanvas record(qt);
  window.view.showTitleScreen = false;
  window.view.OnSize(record, 800, 600);
  window.view.OnPaint(record);
  painter.end();
  std::vector<int> rows;
  for (const auto& s : record.segmentsIn(window.view.redPen.colour)) {
    if (rows.empty()) rows.push_back(s.from.y);
    rows.push_back(s.to.y);
  }
  ASSERT_EQ(rows.size(), 800u);
  EXPECT_GT(*std::max_element(rows.begin(), rows.end()) - *std::min_element(rows.begin(), rows.end()), 300);

  const std::string path = temporaryPath("default.png");
  std::string error;
  render::PlotRequest request;
  ASSERT_TRUE(render::writePlot(window.view, path, request, error)) << error;
  QImage image;
  ASSERT_TRUE(image.load(QString::fromStdString(path), "PNG"));
  std::filesystem::remove(path);
  ASSERT_EQ(image.size(), QSize(800, 600));
  EXPECT_EQ(image, scratch.convertToFormat(image.format()));  // the file is the drawing recorded

  int redPixels = 0;
  for (int x = 0; x < 800; ++x) {
    if (x < 799 && image.pixel(x, rows[x]) != qRgb(0, 0, 255)) {
      EXPECT_EQ(image.pixel(x, rows[x]), kRed) << x;
    }
    int low = rows[x], high = rows[x];
    for (int n : {x - 1, x + 1})
      if (n >= 0 && n < 800) low = std::min(low, rows[n]), high = std::max(high, rows[n]);
    for (int y = 0; y < 600; ++y) {
      if (image.pixel(x, y) != kRed) continue;
      ++redPixels;
      EXPECT_TRUE(y >= low && y <= high) << "red pixel at " << x << "," << y;
    }
  }
  EXPECT_GT(redPixels, 800);
}

TEST(PlotExport, SvgAndPdfParseAndBadRequestsWriteNothing) {
  ScriptedUserInterface ui;
  CEprWindow window(ui);
  window.spin.points = 2048;
  window.threadCount = 1;
  ASSERT_TRUE(Simulate(window).redShown);
  std::string error;
  render::PlotRequest request;

  const std::string svgPath = temporaryPath("plot.svg");
  ASSERT_TRUE(render::writePlot(window.view, svgPath, request, error)) << error;
  const QByteArray svg = readAll(svgPath);
  std::filesystem::remove(svgPath);
  QSvgRenderer renderer(svg);
  ASSERT_TRUE(renderer.isValid());
  EXPECT_EQ(renderer.viewBox(), QRect(0, 0, 800, 600));
  EXPECT_TRUE(svg.contains("#ff0000"));
  EXPECT_TRUE(svg.contains(">3000<"));  // a field-axis label as text

  // The page: a PDF whose cross-reference table points at its objects.
  const std::string pdfPath = temporaryPath("plot.pdf");
  request.caption = "/data/sample.dta";
  ASSERT_TRUE(render::writePlot(window.view, pdfPath, request, error)) << error;
  const std::string pdf = readAll(pdfPath).toStdString();
  std::filesystem::remove(pdfPath);
  ASSERT_EQ(pdf.rfind("%PDF-", 0), 0u);
  EXPECT_NE(pdf.find("/MediaBox [0 0 595"), std::string::npos);  // A4
  std::smatch match;
  ASSERT_TRUE(std::regex_search(pdf, match, std::regex("startxref\\s+(\\d+)\\s+%%EOF\\s*$")));
  const size_t xref = std::stoul(match[1]);
  ASSERT_EQ(pdf.compare(xref, 4, "xref"), 0);
  const std::regex entry("(\\d{10}) 00000 n");
  int objects = 0;
  for (auto it = std::sregex_iterator(pdf.begin() + static_cast<long>(xref), pdf.end(), entry);
       it != std::sregex_iterator(); ++it) {
    const size_t offset = std::stoul((*it)[1]);
    EXPECT_TRUE(std::regex_search(pdf.substr(offset, 20), std::regex("^\\d+ 0 obj"))) << offset;
    ++objects;
  }
  EXPECT_GT(objects, 3);

  const std::string kept = temporaryPath("kept.png");
  EXPECT_FALSE(render::writePlot(window.view, temporaryPath("plot.bmp"), request, error));
  EXPECT_NE(error.find(".png, .svg or .pdf"), std::string::npos);
  request.width = 1;
  EXPECT_FALSE(render::writePlot(window.view, kept, request, error));
  EXPECT_FALSE(std::filesystem::exists(kept));
  request.width = 800;
  EXPECT_FALSE(render::writePlot(window.view, "/nonexistent-folder/plot.png", request, error));
  EXPECT_NE(error.find("cannot write /nonexistent-folder/plot.png"), std::string::npos);
}

}  // namespace
}  // namespace quorra::testing

// File -> "Export picture" writes the view through the command line's export
// code (PNG, SVG, PDF), and "Copy" puts the view on the clipboard.

#include <gtest/gtest.h>

#include <QClipboard>

#include "data/temp_folder.h"
#include "gui_fixture.h"
#include "render/plot_export.h"

namespace quorra::testing {
namespace {

TEST(ExportPicture, WritesPngSvgAndPdfAndCopiesTheView) {
  GuiFixture f;
  TempFolder folder;
  f.choose(CommandId::Simulation);
  gui::PlotWidget* plot = f.window.plot();
  const QImage shown = plot->image();

  const std::string png = folder.file("view.png");
  f.answerer.filePaths = {QString::fromStdString(png)};
  f.choose(CommandId::ExportPicture);
  QImage written(QString::fromStdString(png));
  ASSERT_FALSE(written.isNull());
  EXPECT_EQ(written.size(), shown.size());
  // The same bytes as the command line's code gives for this view and size.
  std::string expected, error;
  render::PlotRequest request;
  request.width = shown.width();
  request.height = shown.height();
  ASSERT_TRUE(render::renderPlot(f.window.state().view, png, request, expected, error)) << error;
  EXPECT_EQ(readBytes(png), expected);
  // The window shows the plot as before.
  EXPECT_EQ(plot->image().size(), shown.size());

  for (const char* name : {"view.svg", "view.pdf"}) {
    const std::string path = folder.file(name);
    f.answerer.filePaths = {QString::fromStdString(path)};
    f.choose(CommandId::ExportPicture);
    const std::string bytes = readBytes(path);
    EXPECT_EQ(bytes.rfind(std::string(name).ends_with("svg") ? "<?xml" : "%PDF", 0), 0u) << name;
  }
  // A name without a known extension is refused with the export's reason.
  const std::string odd = folder.file("view.bmp");
  f.answerer.filePaths = {QString::fromStdString(odd)};
  f.choose(CommandId::ExportPicture);
  ASSERT_EQ(f.answerer.messages.size(), 1u);
  EXPECT_EQ(f.answerer.messages[0].joined(),
            "cannot tell the image format of " + odd +
                ": the name must end in .png, .svg or .pdf|PICTURE NOT SAVED");
  EXPECT_FALSE(std::filesystem::exists(odd));

  f.choose(CommandId::CopyView);
  EXPECT_EQ(QGuiApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32), plot->image());
}

}  // namespace
}  // namespace quorra::testing

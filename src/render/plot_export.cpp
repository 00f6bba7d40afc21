#include "render/plot_export.h"

#include <QBuffer>
#include <QByteArray>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>

#include "data/atomic_file.h"
#include "data/file_access.h"
#include "plot/printed_page.h"
#include "render/qt_canvas.h"

namespace quorra::render {

namespace {

QtMessageHandler previousHandler = nullptr;

// Qt's note that it made up a runtime folder concerns windows and sessions,
// neither of which an offscreen export has; everything else is passed on.
void quietHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (message.startsWith("QStandardPaths: XDG_RUNTIME_DIR")) return;
  if (previousHandler != nullptr) previousHandler(type, context, message);
}

}  // namespace

OffscreenGui::OffscreenGui() {
  if (QGuiApplication::instance() != nullptr) return;
  qputenv("QT_QPA_PLATFORM", "offscreen");
  previousHandler = qInstallMessageHandler(quietHandler);
  app_ = std::make_unique<QGuiApplication>(argc_, argv_);
}

OffscreenGui::~OffscreenGui() {
  if (!app_) return;
  app_.reset();
  qInstallMessageHandler(previousHandler);
}

std::optional<PlotFormat> plotFormatFor(const std::string& path) {
  const std::string extension = lowerCaseExtension(path);
  if (extension == "png") return PlotFormat::Png;
  if (extension == "svg") return PlotFormat::Svg;
  if (extension == "pdf") return PlotFormat::Pdf;
  return std::nullopt;
}

QImage renderViewImage(CChildView& view, int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(Qt::white);
  {
    QPainter painter(&image);
    QtCanvas canvas(painter);
    view.CreateDrawingObjects(canvas);
    view.OnSize(canvas, width, height);
    view.OnPaint(canvas);
  }
  return image;
}

namespace {

constexpr int kMaxSide = 16384;
constexpr int kPageResolution = 300;  // dots per inch of the PDF page
constexpr double kPageMargin = 10.0;  // millimetres: a printer's unprintable edge

QByteArray svgBytes(CChildView& view, const PlotRequest& request) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  QSvgGenerator svg;
  svg.setOutputDevice(&buffer);
  svg.setSize(QSize(request.width, request.height));
  svg.setViewBox(QRect(0, 0, request.width, request.height));
  svg.setResolution(96);
  svg.setTitle("Quorra plot");
  QPainter painter(&svg);
  QtCanvas canvas(painter);
  view.CreateDrawingObjects(canvas);
  view.OnSize(canvas, request.width, request.height);
  view.OnPaint(canvas);
  painter.end();
  return bytes;
}

QByteArray pdfBytes(CChildView& view, const PlotRequest& request) {
  // The layout is the screen's: measured on an image of the client's size.
  {
    QImage screen(1, 1, QImage::Format_RGB32);
    QPainter painter(&screen);
    QtCanvas canvas(painter);
    view.CreateDrawingObjects(canvas);
    view.OnSize(canvas, request.width, request.height);
  }
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QPdfWriter pdf(&buffer);
  pdf.setResolution(kPageResolution);
  pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                QMarginsF(kPageMargin, kPageMargin, kPageMargin, kPageMargin),
                                QPageLayout::Millimeter));
  pdf.setCreator("Quorra");
  pdf.setTitle(QString::fromStdString(request.caption.value_or("Quorra plot")));
  QPainter painter(&pdf);
  QtCanvas canvas(painter);
  const int screenWidth = request.screenWidth > 0 ? request.screenWidth : request.width;
  std::optional<std::string_view> caption;
  if (request.caption) caption = *request.caption;
  DrawPrintedPage(view, canvas, pdf.width(), pdf.height(), screenWidth, caption);
  painter.end();
  return bytes;
}

}  // namespace

bool renderPlot(CChildView& view, const std::string& path, const PlotRequest& request, std::string& bytes,
                std::string& error) {
  const std::optional<PlotFormat> format = plotFormatFor(path);
  if (!format) {
    error = "cannot tell the image format of " + path + ": the name must end in .png, .svg or .pdf";
    return false;
  }
  if (request.width < 2 || request.height < 2 || request.width > kMaxSide || request.height > kMaxSide) {
    error =
        "the plot size must lie between 2x2 and " + std::to_string(kMaxSide) + "x" + std::to_string(kMaxSide);
    return false;
  }
  view.showTitleScreen = false;  // shown at start-up, long before a run ends

  QByteArray encoded;
  if (*format == PlotFormat::Png) {
    const QImage image = renderViewImage(view, request.width, request.height);
    QBuffer buffer(&encoded);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG")) {
      error = "could not encode the PNG image";
      return false;
    }
  } else if (*format == PlotFormat::Svg) {
    encoded = svgBytes(view, request);
  } else {
    encoded = pdfBytes(view, request);
  }
  if (encoded.isEmpty()) {
    error = "could not draw the plot";
    return false;
  }
  bytes = encoded.toStdString();
  return true;
}

bool writePlot(CChildView& view, const std::string& path, const PlotRequest& request, std::string& error) {
  std::string bytes;
  if (!renderPlot(view, path, request, bytes, error)) return false;
  const std::string failure = writeFileAtomically(path, bytes);
  if (!failure.empty()) {
    error = "cannot write " + path + ": " + failure;
    return false;
  }
  return true;
}

}  // namespace quorra::render

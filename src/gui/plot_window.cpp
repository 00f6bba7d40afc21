#include "gui/plot_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QVBoxLayout>

#include "gui/plot_widget.h"

namespace quorra::gui {

PlotWindow::PlotWindow(std::unique_ptr<DataPlot> model, QWidget* parent)
    : QWidget(parent, Qt::Window), plot_(std::move(model)) {
  setAttribute(Qt::WA_DeleteOnClose);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  widget_ = new PlotWidget(*plot_, this);
  layout->addWidget(widget_);
}

PlotWindow::~PlotWindow() {
  // The widget refers to the model: it goes first.
  delete widget_;
}

void PlotWindow::closeEvent(QCloseEvent* event) {
  plot_->OnClose();
  QWidget::closeEvent(event);
}

DataPlot* QtPlotWindowHost::createPlotWindow(const std::string& title, std::unique_ptr<DataPlot> model) {
  auto* window = new PlotWindow(std::move(model), mainView_ != nullptr ? mainView_->window() : nullptr);
  window->setWindowTitle(QString::fromStdString(title));
  if (mainView_ != nullptr) {
    window->move(mainView_->mapToGlobal(QPoint(0, 0)));
    window->resize(mainView_->size());
  }
  window->show();
  return &window->plot();
}

PlotWindow* QtPlotWindowHost::windowOf(const DataPlot* plot) {
  if (plot == nullptr) return nullptr;
  for (QWidget* widget : QApplication::allWidgets()) {
    auto* window = qobject_cast<PlotWindow*>(widget);
    if (window != nullptr && &window->plot() == plot) return window;
  }
  return nullptr;
}

void QtPlotWindowHost::raisePlotWindow(DataPlot& plot) {
  if (PlotWindow* window = windowOf(&plot)) {
    window->showNormal();
    window->raise();
    window->activateWindow();
  }
}

void QtPlotWindowHost::setPlotWindowTitle(DataPlot& plot, const std::string& title) {
  if (PlotWindow* window = windowOf(&plot)) window->setWindowTitle(QString::fromStdString(title));
}

}  // namespace quorra::gui

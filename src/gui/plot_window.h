#pragma once
// The free-standing plot window on screen: a top-level window that owns a
// DataPlot and shows it through a PlotWidget, so it has the main view's
// cursors, keys and zoom box. It is deleted when closed; its model empties
// the owner's slot on the way. QtPlotWindowHost makes such windows for
// OpenPlotWindow.

#include <QWidget>
#include <memory>

#include "plot/data_plot.h"

namespace quorra::gui {

class PlotWidget;

class PlotWindow : public QWidget {
  Q_OBJECT
 public:
  // A window of its own (Qt::Window) showing model, that goes with parent,
  // if given.
  explicit PlotWindow(std::unique_ptr<DataPlot> model, QWidget* parent = nullptr);
  ~PlotWindow() override;

  DataPlot& plot() { return *plot_; }
  PlotWidget* plotWidget() const { return widget_; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  std::unique_ptr<DataPlot> plot_;
  PlotWidget* widget_;
};

class QtPlotWindowHost : public PlotWindowHost {
 public:
  // New windows start at the client origin of mainView's window with
  // mainView's size, and close with that window.
  explicit QtPlotWindowHost(QWidget* mainView) : mainView_(mainView) {}

  DataPlot* createPlotWindow(const std::string& title, std::unique_ptr<DataPlot> model) override;
  void raisePlotWindow(DataPlot& plot) override;
  void setPlotWindowTitle(DataPlot& plot, const std::string& title) override;

  // The window showing plot, or none.
  static PlotWindow* windowOf(const DataPlot* plot);

 private:
  QWidget* mainView_;
};

}  // namespace quorra::gui

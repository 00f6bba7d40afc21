#pragma once
// Plot windows as a toolkit keeps them, without a toolkit: each window owns
// its model, and closing one tells the model and then destroys it.

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "plot/data_plot.h"

namespace quorra::testing {

struct FakePlotHost : PlotWindowHost {
  std::vector<std::unique_ptr<DataPlot>> windows;
  std::vector<std::string> titles;  // of every window made, as last set
  int raises = 0;

  DataPlot* createPlotWindow(const std::string& title, std::unique_ptr<DataPlot> model) override {
    windows.push_back(std::move(model));
    titles.push_back(title);
    return windows.back().get();
  }
  void raisePlotWindow(DataPlot&) override { ++raises; }
  void setPlotWindowTitle(DataPlot&, const std::string& title) override { titles.back() = title; }
  // The close box.
  void close(DataPlot* plot) {
    plot->OnClose();
    std::erase_if(windows, [plot](const auto& w) { return w.get() == plot; });
  }
};

}  // namespace quorra::testing

// Undo of the processing tools from the Tools menu: each step back restores
// the traces and the grid exactly.

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <cstring>
#include <fstream>

#include "data/temp_folder.h"
#include "gui/parameters_dialog.h"
#include "gui/tool_dialogs.h"
#include "gui_fixture.h"

namespace quorra::testing {
namespace {

struct Traces {
  std::vector<double> red, blue;
  bool redPresent, bluePresent;
  double centre, range;
  bool operator==(const Traces&) const = default;
};

Traces traces(CEprWindow& w) {
  return {{w.redValues(), w.redValues() + w.spin.points},
          {w.blueValues(), w.blueValues() + w.spin.points},
          w.flags.redPresent,
          w.flags.bluePresent,
          w.spin.fieldCentre,
          w.spin.fieldRange};
}

TEST(Undo, StepsBackThroughTheProcessingTools) {
  GuiFixture f;
  TempFolder folder;
  const std::string path = folder.path() + "/line.txt";
  {
    std::ofstream out(path);
    out << "freq=9.5\n";
    for (int i = 0; i <= 1000; ++i) {
      const double x = (i - 500) / 50.0;
      out << 3000 + 0.5 * i << " " << -x * std::exp(-x * x) + 0.001 * i << "\n";
    }
  }
  ASSERT_TRUE(f.window.openPath(QString::fromStdString(path)));
  ASSERT_NE(f.window.parametersDialog(), nullptr);
  f.window.parametersDialog()->okButton()->click();  // the grid of the loaded spectrum
  f.window.parametersDialog()->close();
  CEprWindow& w = f.window.state();
  std::vector<Traces> steps{traces(w)};

  f.answerer.inputTexts = {"2"};
  f.choose(CommandId::MultiplyExperimental);
  steps.push_back(traces(w));
  f.answerer.inputTexts = {"0.001"};
  f.choose(CommandId::CorrectSlope);
  steps.push_back(traces(w));
  f.answerer.inputTexts = {"12.5"};
  f.choose(CommandId::Hysteresis);
  steps.push_back(traces(w));
  f.choose(CommandId::Smoothen);
  ASSERT_NE(f.window.smoothDialog(), nullptr);
  f.window.smoothDialog()->calculateButton()->click();
  steps.push_back(traces(w));
  f.choose(CommandId::HilbertTransform);
  ASSERT_NE(f.window.hilbertDialog(), nullptr);
  f.window.hilbertDialog()->angleEdit()->setText("30");
  f.window.hilbertDialog()->calculateButton()->click();
  steps.push_back(traces(w));
  for (size_t i = 1; i < steps.size(); ++i) ASSERT_FALSE(steps[i] == steps[i - 1]) << "step " << i;

  for (size_t i = steps.size() - 1; i > 0; --i) {
    f.choose(CommandId::Undo);
    EXPECT_TRUE(traces(w) == steps[i - 1]) << "back to step " << i - 1;
  }
  EXPECT_EQ(w.view.fieldAxis, w.fieldAxis());
  EXPECT_EQ(w.fieldAxis()[0], 3000);
  EXPECT_TRUE(f.answerer.messages.empty());
  f.choose(CommandId::Undo);
  ASSERT_EQ(f.answerer.messages.size(), 1u);
  EXPECT_EQ(f.answerer.messages[0].joined(), "There is no processing step to undo|NOTHING TO UNDO");
}

}  // namespace
}  // namespace quorra::testing

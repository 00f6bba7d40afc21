#include "app/window_commands.h"

#include <gtest/gtest.h>

#include "support/scripted_ui.h"

namespace quorra {
namespace {

using testing::ScriptedUserInterface;

TEST(SetNumberOfThreads, TakesAWholeNumberAndKeepsTheOldCountOtherwise) {
  ScriptedUserInterface ui;
  CEprWindow w(ui);
  w.threadCount = 3;
  ui.inputTexts = {std::string("abc"), std::nullopt, std::string("-2"), std::string(" 0"),
                   std::string("4 cores")};
  EXPECT_FALSE(SetNumberOfThreads(w));
  EXPECT_EQ(ui.inputPrompts.back(), "Enter number of threads|Zero = Max|3");
  EXPECT_FALSE(SetNumberOfThreads(w));  // Cancel
  EXPECT_FALSE(SetNumberOfThreads(w));  // no negative counts
  EXPECT_EQ(w.threadCount, 3);
  EXPECT_TRUE(SetNumberOfThreads(w));
  EXPECT_EQ(w.threadCount, 0);
  EXPECT_TRUE(SetNumberOfThreads(w));  // the leading integer counts
  EXPECT_EQ(w.threadCount, 4);
  EXPECT_TRUE(ui.messages.empty());
}

TEST(ViewCommands, ExpandAndResetNeedATrace) {
  ScriptedUserInterface ui;
  CEprWindow w(ui);
  w.spin.points = 1001;
  w.spin.fieldCentre = 3250;
  w.spin.fieldRange = 500;
  w.ApplyParameters();
  w.view.client = Rect{0, 0, 800, 600};
  w.view.UpdatePixelScales();
  w.view.cursor1X = 100;
  w.view.cursor2X = 200;
  EXPECT_FALSE(ExpandView(w));
  EXPECT_EQ(w.view.lastIndex, 1000);

  w.flags.bluePresent = true;
  EXPECT_TRUE(ExpandView(w));
  EXPECT_EQ(w.view.firstIndex, 125);
  w.view.red.scale = 2.0;
  ResetView(w);
  EXPECT_EQ(w.view.firstIndex, 0);
  EXPECT_EQ(w.view.lastIndex, 1000);
  EXPECT_EQ(w.view.viewStart, 3000.0);
  EXPECT_EQ(w.view.viewEnd, 3500.0);
  EXPECT_EQ(w.view.red.scale, 1.0);
}

}  // namespace
}  // namespace quorra

// The rows of the command table that carry a handler, run as the menu runs
// them: each must do the work its menu text names, not a neighbour's.

#include "app/command_table.h"

#include <gtest/gtest.h>

#include "app/ceprwindow.h"
#include "support/scripted_ui.h"

namespace quorra {
namespace {

using testing::ScriptedUserInterface;

void choose(CEprWindow& w, CommandId id) {
  const Command* command = findCommand(id);
  ASSERT_NE(command, nullptr) << static_cast<int>(id);
  ASSERT_FALSE(command->opensDialog()) << command->text;
  command->handler(w);
}

TEST(CommandTable, EveryHandlerRowDoesTheWorkOfItsMenuText) {
  ScriptedUserInterface ui;
  CEprWindow w(ui);
  w.spin.points = 1001;
  w.spin.fieldCentre = 3250;
  w.spin.fieldRange = 500;
  ASSERT_TRUE(w.ApplyParameters());

  // With no traces the two saves refuse, each naming its own trace.
  choose(w, CommandId::SaveRed);
  EXPECT_EQ(ui.lastMessage(), "There is no simulated spectrum|NOTHING TO SAVE");
  ui.clear();
  choose(w, CommandId::SaveBlue);
  EXPECT_EQ(ui.lastMessage(), "There is no experimental spectrum|NOTHING TO SAVE");
  ui.clear();

  for (int i = 0; i < w.spin.points; ++i) {
    w.redValues()[i] = i % 7;
    w.blueValues()[i] = -(i % 5);
  }
  w.red = {6, 0};
  w.flags.redPresent = true;
  choose(w, CommandId::TransferRedToBlue);
  EXPECT_TRUE(w.flags.bluePresent);
  EXPECT_FALSE(w.flags.redPresent);
  choose(w, CommandId::TransferBlueToRed);
  EXPECT_TRUE(w.flags.redPresent);
  EXPECT_FALSE(w.flags.bluePresent);

  w.blue = {0, -4};
  w.flags.bluePresent = true;
  choose(w, CommandId::CommonScale);
  EXPECT_EQ(w.red.min, -4);
  EXPECT_EQ(w.blue.max, 6);

  // The view commands: the points between the cursors, then all of them.
  w.view.client = Rect{0, 0, 800, 600};
  w.SetViewToGrid();
  w.view.UpdatePixelScales();
  w.view.cursor1X = 100;
  w.view.cursor2X = 200;
  choose(w, CommandId::Expand);
  EXPECT_EQ(w.view.firstIndex, 125);
  choose(w, CommandId::Reset);
  EXPECT_EQ(w.view.firstIndex, 0);

  // The tools that ask first, each with its own input box (Cancel here).
  ui.inputTexts = {std::nullopt, std::nullopt, std::nullopt};
  choose(w, CommandId::MultiplyExperimental);
  choose(w, CommandId::CorrectSlope);
  choose(w, CommandId::NumberOfThreads);
  ASSERT_EQ(ui.inputPrompts.size(), 3u);
  EXPECT_EQ(ui.inputPrompts[0].substr(0, ui.inputPrompts[0].find('|')), "MULTIPLY EXPERIMENTAL SPECTRUM");
  EXPECT_EQ(ui.inputPrompts[1].substr(0, ui.inputPrompts[1].find('|')), "Current slope is");
  EXPECT_EQ(ui.inputPrompts[2], "Enter number of threads|Zero = Max|0");

  choose(w, CommandId::DeleteBlue);
  EXPECT_FALSE(w.flags.bluePresent);
  EXPECT_TRUE(w.flags.redPresent);
  choose(w, CommandId::DeleteRed);
  EXPECT_FALSE(w.flags.redPresent);
  EXPECT_TRUE(ui.messages.empty());
}

}  // namespace
}  // namespace quorra

#pragma once
// The menu of the main window as one table: every command's id, its menu
// text, where it sits in the menu, and what carries it out. A command is
// either a handler over the state, which whoever shows the menu calls
// directly, or a command whose dialog, window or run thread belongs to the
// desktop program, which carries it out by its id. The desktop program builds
// its menus from this table, in its order.

#include <span>

namespace quorra {

class CEprWindow;

// The ids are the menu resource's; the desktop program names its menu items
// "command<id>" after them.
enum class CommandId : int {
  LoadHarrow = 1020,
  LoadText = 1010,
  LoadBruker = 1000,
  ShowExperimentalParameters = 1030,
  SaveRed = 1040,
  SaveBlue = 1050,
  DeleteBlue = 1060,
  DeleteRed = 1070,
  TransferRedToBlue = 1080,
  TransferBlueToRed = 1090,
  CommonScale = 1100,
  MultiplyExperimental = 1110,
  Print = 1120,
  About = 57664,
  Exit = 1140,
  Parameters = 2000,
  ShfConstants = 2150,
  Linewidth = 2200,
  Simulation = 2300,
  CrystalEpr = 2600,
  Energy = 2800,
  Expand = 2400,
  Reset = 2500,
  Rotation = 2700,
  CorrectSlope = 8120,
  Hysteresis = 32766,
  HilbertTransform = 8150,
  Smoothen = 32769,
  NumberOfThreads = 32767,
  LevelsAtField = 152,
  Acquisition = 32781,
  // The desktop program's own additions.
  RecentFiles = 1005,
  ExportPicture = 1125,
  CopyView = 1126,
  Undo = 8100,
  Fit = 2350,
};

// Where a command sits: in the "File" pop-up, on the menu bar itself, or in
// the "Tools" pop-up. A pop-up takes its place on the menu bar where its
// first command stands in the table.
enum class MenuPlace { File, MenuBar, Tools };

// The title of the pop-up at place, or nullptr for the menu bar.
const char* popupTitle(MenuPlace place);

using CommandHandler = void (*)(CEprWindow&);

// The handler of a command the desktop program carries out itself: it opens
// the command's dialog or window (or, for "Simulation" and "Exit", starts its
// run thread or closes).
inline constexpr CommandHandler kOpensDialog = nullptr;

struct Command {
  CommandId id;
  const char* text;  // the menu text, exactly as shown
  MenuPlace place;
  bool separatorBefore;    // a separator line above it in its pop-up
  CommandHandler handler;  // kOpensDialog: the desktop program carries it out

  bool opensDialog() const { return handler == kOpensDialog; }
};

// Every command, in menu order.
std::span<const Command> commandTable();

// The row of id, or nullptr when the table has none.
const Command* findCommand(CommandId id);

}  // namespace quorra

#include "app/command_table.h"

#include <algorithm>
#include <array>

#include "app/ceprwindow.h"
#include "app/data_commands.h"
#include "app/processing_commands.h"
#include "app/window_commands.h"

namespace quorra {

namespace {

using enum MenuPlace;
constexpr bool kLineAbove = true;
constexpr bool kNoLine = false;

constexpr std::array kCommands = {
    Command{CommandId::LoadHarrow, "Load Harrow's file", File, kNoLine, kOpensDialog},
    Command{CommandId::LoadText, "Load spectrum as text", File, kNoLine, kOpensDialog},
    Command{CommandId::LoadBruker, "Load Bruker spectrum (*.spc,  *.dta)", File, kNoLine, kOpensDialog},
    Command{CommandId::RecentFiles, "Recent files", File, kNoLine, kOpensDialog},
    Command{CommandId::ShowExperimentalParameters, "Show experimental parameters", File, kNoLine,
            kOpensDialog},
    Command{CommandId::SaveRed, "Save Red spectrum as a text file", File, kLineAbove,
            [](CEprWindow& w) { SaveRedSpectrumAsText(w); }},
    Command{CommandId::SaveBlue, "Save Blue spectrum as a text file", File, kNoLine,
            [](CEprWindow& w) { SaveBlueSpectrumAsText(w); }},
    Command{CommandId::DeleteBlue, "Delete Blue spectrum", File, kLineAbove,
            [](CEprWindow& w) { w.DeleteBlueSpectrum(); }},
    Command{CommandId::DeleteRed, "Delete Red spectrum", File, kNoLine,
            [](CEprWindow& w) { w.DeleteRedSpectrum(); }},
    Command{CommandId::TransferRedToBlue, "Transfer Red to Blue", File, kNoLine,
            [](CEprWindow& w) { w.TransferRedToBlue(); }},
    Command{CommandId::TransferBlueToRed, "Transfer Blue to Red", File, kNoLine,
            [](CEprWindow& w) { w.TransferBlueToRed(); }},
    Command{CommandId::CommonScale, "Set common scale", File, kNoLine,
            [](CEprWindow& w) { w.SetCommonScale(); }},
    Command{CommandId::MultiplyExperimental, "Multiply experimental spectrum by a number", File, kNoLine,
            MultiplyExperimentalSpectrum},
    Command{CommandId::Print, "Plot on printer", File, kLineAbove, kOpensDialog},
    Command{CommandId::ExportPicture, "Export picture", File, kNoLine, kOpensDialog},
    Command{CommandId::CopyView, "Copy", File, kNoLine, kOpensDialog},
    Command{CommandId::About, "About", File, kLineAbove, kOpensDialog},
    Command{CommandId::Exit, "Exit", File, kNoLine, kOpensDialog},
    Command{CommandId::Parameters, "Parameters", MenuBar, kNoLine, kOpensDialog},
    Command{CommandId::ShfConstants, "SHF Constants", MenuBar, kNoLine, kOpensDialog},
    Command{CommandId::Linewidth, "Linewidth", MenuBar, kNoLine, kOpensDialog},
    Command{CommandId::Simulation, "Simulation", MenuBar, kNoLine, kOpensDialog},
    Command{CommandId::Fit, "Fit", MenuBar, kNoLine, kOpensDialog},
    Command{CommandId::CrystalEpr, "Crystal EPR", MenuBar, kNoLine, kOpensDialog},
    Command{CommandId::Energy, "Energy", MenuBar, kNoLine, kOpensDialog},
    Command{CommandId::Expand, "Expand", MenuBar, kNoLine, [](CEprWindow& w) { ExpandView(w); }},
    Command{CommandId::Reset, "Reset", MenuBar, kNoLine, ResetView},
    Command{CommandId::Rotation, "Rotation", MenuBar, kNoLine, kOpensDialog},
    Command{CommandId::CorrectSlope, "Correct slope", Tools, kNoLine, CorrectSlope},
    Command{CommandId::Hysteresis, "Hysteresis", Tools, kNoLine, kOpensDialog},
    Command{CommandId::HilbertTransform, "Hilbert Transform", Tools, kNoLine, kOpensDialog},
    Command{CommandId::Smoothen, "Smoothen", Tools, kNoLine, kOpensDialog},
    Command{CommandId::NumberOfThreads, "Set number of threads", Tools, kNoLine,
            [](CEprWindow& w) { SetNumberOfThreads(w); }},
    Command{CommandId::LevelsAtField, "Levels at field", Tools, kNoLine, kOpensDialog},
    Command{CommandId::Undo, "Undo", Tools, kLineAbove, kOpensDialog},
    Command{CommandId::Acquisition, "Acquisition", MenuBar, kNoLine, kOpensDialog},
};

// A menu item is found by its id, so no two commands may share one.
constexpr bool idsAreUnique() {
  for (size_t i = 0; i < kCommands.size(); ++i)
    for (size_t j = i + 1; j < kCommands.size(); ++j)
      if (kCommands[i].id == kCommands[j].id) return false;
  return true;
}
static_assert(idsAreUnique(), "two commands of the menu share an id");

// Separator lines stand between the items of a pop-up only: not on the menu
// bar, and not above the first item of a pop-up.
constexpr bool separatorsInsidePopups() {
  bool fileStarted = false, toolsStarted = false;
  for (const Command& command : kCommands) {
    bool& started = command.place == File ? fileStarted : toolsStarted;
    if (command.separatorBefore && (command.place == MenuBar || !started)) return false;
    if (command.place != MenuBar) started = true;
  }
  return true;
}
static_assert(separatorsInsidePopups(), "a separator of the menu stands outside a pop-up");

}  // namespace

const char* popupTitle(MenuPlace place) {
  switch (place) {
    case File:
      return "File";
    case Tools:
      return "Tools";
    case MenuBar:
      break;
  }
  return nullptr;
}

std::span<const Command> commandTable() {
  return kCommands;
}

const Command* findCommand(CommandId id) {
  const auto found = std::ranges::find(kCommands, id, &Command::id);
  return found == kCommands.end() ? nullptr : &*found;
}

}  // namespace quorra

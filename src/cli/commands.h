#pragma once
// The subcommands of quorra. Each adds itself to the application and, when
// chosen, runs and stores its exit code in exitCode.

#include <CLI/CLI.hpp>

namespace quorra::cli {

void addSimulateCommand(CLI::App& app, int& exitCode);
void addFieldsCommand(CLI::App& app, int& exitCode);
void addInfoCommand(CLI::App& app, int& exitCode);
void addConvertCommand(CLI::App& app, int& exitCode);
void addCrystalCommand(CLI::App& app, int& exitCode);
void addRotateCommand(CLI::App& app, int& exitCode);
void addRoadmapCommand(CLI::App& app, int& exitCode);
void addLevelsCommand(CLI::App& app, int& exitCode);
void addRephaseCommand(CLI::App& app, int& exitCode);
void addFitCommand(CLI::App& app, int& exitCode);
void addBatchCommand(CLI::App& app, int& exitCode);

}  // namespace quorra::cli

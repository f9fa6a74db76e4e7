// The kestrin subcommands. Each adds itself to the application; its callback
// throws ToolError on failure.
#ifndef KESTRIN_TOOL_COMMANDS_H
#define KESTRIN_TOOL_COMMANDS_H

#include <CLI/CLI.hpp>

namespace kestrin::tool {

void addWeightsCommand(CLI::App& app);
void addMorphCommand(CLI::App& app);
void addCheckCommand(CLI::App& app);
void addDemoCommand(CLI::App& app);

}  // namespace kestrin::tool

#endif

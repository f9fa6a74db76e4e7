// The kestrin subcommands. Each adds itself to the application; its callback
// throws ToolError on failure.
#ifndef KESTRIN_TOOL_COMMANDS_H
#define KESTRIN_TOOL_COMMANDS_H

#include <CLI/CLI.hpp>
#include <memory>
#include <string>
#include <utility>

namespace kestrin::tool {

// Adds the subcommand `name`. Its options (an Options made here) live as long
// as its callback, which hands them to `run`; returns the command and the
// options, for the command's options to fill.
template <typename Options>
std::pair<CLI::App*, Options*> addCommand(CLI::App& app, const std::string& name, const std::string& help,
                                          void (*run)(const Options&)) {
    auto options = std::make_shared<Options>();
    CLI::App* command = app.add_subcommand(name, help);
    command->callback([options, run] { run(*options); });
    return {command, options.get()};
}

void addWeightsCommand(CLI::App& app);
void addMorphCommand(CLI::App& app);
void addCheckCommand(CLI::App& app);
void addDemoCommand(CLI::App& app);

}  // namespace kestrin::tool

#endif

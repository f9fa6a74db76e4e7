// kestrin: runs the Strainmark and Rimshaper plug-ins on meshes outside the
// host, through the host simulator.
#include <CLI/CLI.hpp>
#include <cstdio>

#include "commands.h"
#include "tool_error.h"

int main(int argc, char** argv) {
    CLI::App app("kestrin: run the Strainmark weight tool and the Strainshaper effect on meshes, "
                 "outside the host",
                 "kestrin");
    app.require_subcommand(1);
    kestrin::tool::addWeightsCommand(app);
    kestrin::tool::addMorphCommand(app);
    kestrin::tool::addCheckCommand(app);
    kestrin::tool::addDemoCommand(app);
    // After the commands, so that their own help does not repeat it.
    app.footer("Run 'kestrin COMMAND --help' for a command's options.");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        const int code = app.exit(error);
        return code == 0 ? 0 : 2;
    } catch (const kestrin::tool::ToolError& error) {
        std::fflush(stdout);
        std::fprintf(stderr, "kestrin: error: %s\n", error.what());
        return 1;
    }
    return 0;
}

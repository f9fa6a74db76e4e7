// The kestrin command line as a user types it: `kestrin help [COMMAND]`,
// --version, unknown commands and options answered with the nearest known
// name, `-o=FILE` read as `-o FILE`, and every error on one line that starts
// "kestrin: error:".
#ifndef KESTRIN_TOOL_COMMAND_LINE_H
#define KESTRIN_TOOL_COMMAND_LINE_H

namespace kestrin::tool {

// Parses the arguments and runs the command. Returns the exit status: 0, 1
// when the command failed, 2 for a command line that cannot be run.
int runCommandLine(int argc, char** argv);

}  // namespace kestrin::tool

#endif

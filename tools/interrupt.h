// Ctrl-C and SIGTERM during a run: the tool stops at once, removes every
// temporary file it has made and leaves the user's files as they were, then
// exits with 130 (SIGINT) or 143 (SIGTERM), as shells expect.
//
// Every temporary output is registered while it exists; the handler unlinks
// the registered names (unlink and _exit are safe in a signal handler) and
// ends the process. While outputs are being renamed into place, a signal
// waits until the renames are done, so that a run either replaces all of
// its outputs or none.
#ifndef KESTRIN_TOOL_INTERRUPT_H
#define KESTRIN_TOOL_INTERRUPT_H

#include <string>

namespace kestrin::tool {

// Installs the handlers for SIGINT and SIGTERM (once per process).
void installInterruptHandlers();

// A temporary file exists under this name / no longer does.
void registerTemporary(const std::string& path);
void unregisterTemporary(const std::string& path);

// While one lives, a signal is held back and acted on when it goes.
class InterruptsHeld {
public:
    InterruptsHeld();
    ~InterruptsHeld();
    InterruptsHeld(const InterruptsHeld&) = delete;
    InterruptsHeld& operator=(const InterruptsHeld&) = delete;
};

}  // namespace kestrin::tool

#endif

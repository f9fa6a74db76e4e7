// Ctrl-C and SIGTERM during a run: the tool stops at once, removes every
// temporary file it has made and leaves the user's files as they were, then
// exits with 130 (SIGINT) or 143 (SIGTERM), as shells expect.
//
// The handler removes the process's temporaries through
// formats::removeTemporariesNow (async-signal-safe, any number of them) and
// ends the process. While outputs are being renamed into place, a signal
// waits until the renames are done, so that a run either replaces all of
// its outputs or none.
#ifndef KESTRIN_TOOL_INTERRUPT_H
#define KESTRIN_TOOL_INTERRUPT_H

namespace kestrin::tool {

// Installs the handlers for SIGINT and SIGTERM (once per process). A write
// beyond the file size limit (SIGXFSZ) becomes a failed write, reported as
// any other, rather than the end of the process.
void installInterruptHandlers();

// While one lives, a signal is held back and acted on when it goes.
class InterruptsHeld {
public:
    InterruptsHeld();
    ~InterruptsHeld();
    InterruptsHeld(const InterruptsHeld&) = delete;
    InterruptsHeld& operator=(const InterruptsHeld&) = delete;

    // The held work is done and cannot be undone (every output replaced): a
    // signal that arrived meanwhile came too late to stop the run, and is
    // reported as such instead of ending it. Returns whether one had. A
    // signal from then on ends the process at once with status 0, saying
    // that every output is new.
    bool completed();
};

}  // namespace kestrin::tool

#endif

// How the plug-in check's child process tells its parent what it found: one
// record per line, written as it goes, so that whatever was found before a
// crash or a hang still reaches the report. A stage record says which call
// the child is about to make; the parent blames a crash or a hang on it.
#ifndef KESTRIN_HOST_PLUGIN_CHECK_RECORDS_H
#define KESTRIN_HOST_PLUGIN_CHECK_RECORDS_H

#include <string>

#include "plugin_check.h"

namespace kestrin::host::check {

// The call a crash or a hang is put down to.
struct Stage {
    enum class Kind { Call, Message };
    Kind kind = Kind::Call;
    // "kestrinEntry", "the callback of control \"Weight\"", or for a message
    // "10/0x4 (MSG_EFFECT/EFFECT_SETUP)".
    std::string what = "the check's set-up";

    // "crashed in kestrinEntry", "crashed on message 10/0x4 (...)".
    std::string crashed() const;
    // "no answer from kestrinEntry", "no answer to message 10/0x4 (...)".
    std::string unanswered() const;
};

// The child's side: writes records to a pipe. A write that fails means the
// parent is gone; the child then ends at once.
class RecordWriter {
public:
    explicit RecordWriter(int pipe) : pipe_(pipe) {}

    void stage(Stage::Kind kind, const std::string& what);
    // Everything kestrinEntry left in the report, the shown texts aside.
    void registration(const PluginReport& report);
    void shown(const ShownText& text);
    void provider(const std::string& path);
    void planned(size_t count);
    void answered(const AnsweredMessage& message);
    // The effect fields of the report.
    void effect(const PluginReport& report);
    void failure(const std::string& why);
    // The child got through: nothing crashed or hung.
    void done();

private:
    void write(const std::vector<std::string>& fields);
    int pipe_;
};

// The parent's side: reads one record (a line without its newline) into the
// report and the stage. Returns true for the done record. Lines it does not
// know are skipped.
bool readRecord(const std::string& line, PluginReport& report, Stage& stage);

}  // namespace kestrin::host::check

#endif

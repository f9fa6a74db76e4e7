// The parent's side of the plug-in check: forks the child that runs it,
// reads its records until it ends or its time is up, and turns the way it
// ended into the report's failure.
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "plugin_check_records.h"
#include "plugin_check_run.h"
#include "plugin_check.h"

namespace kestrin::host {
namespace {

using Clock = std::chrono::steady_clock;

// What the child's records and its end say, apart from the records' own
// failure.
struct ChildEnd {
    bool done = false;      // the done record arrived
    bool timedOut = false;  // killed when its time was up
    int status = 0;         // waitpid's status
};

int remainingMilliseconds(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// Reads records until the child closes the pipe or the deadline passes.
// Returns false on the deadline.
bool readRecords(int pipe, Clock::time_point deadline, PluginReport& report, check::Stage& stage,
                 bool& done) {
    std::string pending;
    char buffer[4096];
    for (;;) {
        pollfd waiting = {pipe, POLLIN, 0};
        const int ready = poll(&waiting, 1, remainingMilliseconds(deadline));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return false;
        const ssize_t count = read(pipe, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) return true;
        pending.append(buffer, static_cast<size_t>(count));
        size_t end = 0;
        while ((end = pending.find('\n')) != std::string::npos) {
            done = check::readRecord(pending.substr(0, end), report, stage) || done;
            pending.erase(0, end + 1);
        }
    }
}

// Waits for the child until the deadline, then kills it. A child that closed
// the pipe may still be busy (unloading, or stuck in an atexit handler).
bool reap(pid_t child, Clock::time_point deadline, int& status) {
    for (;;) {
        const pid_t ended = waitpid(child, &status, WNOHANG);
        if (ended == child || (ended < 0 && errno != EINTR)) return true;
        if (Clock::now() >= deadline) break;
        usleep(5000);
    }
    kill(child, SIGKILL);
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return false;
}

std::string signalText(int signal) {
    const char* name = strsignal(signal);
    return "signal " + std::to_string(signal) + (name != nullptr ? std::string(" (") + name + ")" : "");
}

std::string failureOf(const PluginReport& report, const check::Stage& stage, const ChildEnd& end,
                      std::chrono::seconds timeout) {
    if (end.timedOut) {
        return stage.unanswered() + " within " + std::to_string(timeout.count()) + " s";
    }
    if (WIFSIGNALED(end.status)) return stage.crashed() + ": " + signalText(WTERMSIG(end.status));
    if (!report.failure.empty()) return report.failure;
    if (!end.done) {
        return "the process ended (exit status " + std::to_string(WEXITSTATUS(end.status)) + ") " +
               (stage.kind == check::Stage::Kind::Message ? "on message " : "in ") + stage.what;
    }
    if (report.answered.size() != report.planned) {
        return "the message run stopped after " + std::to_string(report.answered.size()) + " of " +
               std::to_string(report.planned) + " messages";
    }
    size_t nonZero = 0;
    const AnsweredMessage* first = nullptr;
    for (const AnsweredMessage& message : report.answered) {
        if (message.answer == 0) continue;
        if (first == nullptr) first = &message;
        ++nonZero;
    }
    if (first != nullptr) {
        return "answered " + std::to_string(nonZero) + " of " + std::to_string(report.planned) +
               " messages with other than 0, first " +
               describeMessage(first->messageClass, first->subKind) + " with " +
               std::to_string(first->answer);
    }
    return "";
}

// dlopen searches the library path for a name without a slash, never the
// current folder; a user naming a file there means that file.
std::string loadablePath(const std::string& path) {
    std::error_code ignored;
    if (!path.empty() && path.find('/') == std::string::npos &&
        std::filesystem::exists(path, ignored)) {
        return "./" + path;
    }
    return path;
}

}  // namespace

PluginReport checkPlugin(const std::string& pluginPath, const std::string& providerPath,
                         std::chrono::seconds timeout) {
    PluginReport report;
    report.path = loadablePath(pluginPath);
    const std::string provider = providerPath.empty() ? "" : loadablePath(providerPath);

    int pipes[2];
    if (pipe(pipes) != 0) {
        report.failure = std::string("cannot make a pipe: ") + std::strerror(errno);
        return report;
    }
    // Whatever the caller has buffered must not be written twice.
    std::fflush(nullptr);
    const Clock::time_point deadline = Clock::now() + timeout;
    const pid_t child = fork();
    if (child < 0) {
        report.failure = std::string("cannot start the check: ") + std::strerror(errno);
        close(pipes[0]);
        close(pipes[1]);
        return report;
    }
    if (child == 0) {
        close(pipes[0]);
        // Everything the check learns comes through the pipe; what a dying
        // plug-in (or an emulator running it) prints would only garble the
        // tool's one line of error.
        if (const int null = open("/dev/null", O_WRONLY); null >= 0) {
            dup2(null, STDERR_FILENO);
            close(null);
        }
        check::runChild(report.path, provider, pipes[1]);
    }
    close(pipes[1]);

    check::Stage stage;
    ChildEnd end;
    const bool closed = readRecords(pipes[0], deadline, report, stage, end.done);
    close(pipes[0]);
    end.timedOut = !reap(child, closed ? deadline : Clock::now(), end.status);
    report.failure = failureOf(report, stage, end, timeout);
    return report;
}

}  // namespace kestrin::host

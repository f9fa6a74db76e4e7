// Runs the built kestrin binary as a user would, and a scratch directory per
// test for its inputs and outputs.
#ifndef KESTRIN_TESTS_TOOL_RUNNER_H
#define KESTRIN_TESTS_TOOL_RUNNER_H

#include <sys/types.h>

#include <atomic>

#include <filesystem>
#include <functional>
#include <string>
#include <new>
#include <vector>

namespace kestrin::test {

struct ToolRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs kestrin with these arguments (no shell), in `directory`.
ToolRun runTool(const std::vector<std::string>& arguments,
                const std::filesystem::path& directory = std::filesystem::current_path());
// The same, calling `setUp` in the child just before the tool starts (to set
// limits or the environment).
ToolRun runTool(const std::vector<std::string>& arguments, const std::filesystem::path& directory,
                const std::function<void()>& setUp);

// Starts kestrin with these arguments in `directory` and returns at once,
// its output going nowhere: for tests that signal or kill the run.
pid_t startTool(const std::vector<std::string>& arguments, const std::filesystem::path& directory);
pid_t startTool(const std::vector<std::string>& arguments, const std::filesystem::path& directory,
                const std::function<void()>& setUp);

// A fresh empty directory under the system's temporary directory, removed
// with everything in it when the object goes.
class ScratchDirectory {
public:
    ScratchDirectory();
    ~ScratchDirectory();
    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    // Every file name in it, sorted.
    std::vector<std::string> entries() const;

private:
    std::filesystem::path path_;
};

std::string readText(const std::string& path);
void writeText(const std::string& path, const std::string& text);

// A named pipe at `path` whose n-th reader is given versions[n] (every later
// one the last version) until it goes, when the pipe is removed: an input
// exported again between two reads of it, or one that can be read only once
// (versions {text, ""}, as a pipe from a shell). Serves from a process of
// its own, letting each reader finish before the next may open the pipe: a
// serving thread would make every later fork of the test a fork of a
// threaded process, which the 32-bit emulator can deadlock in the child.
class FifoServer {
public:
    FifoServer(std::string path, std::vector<std::string> versions);
    ~FifoServer();
    FifoServer(const FifoServer&) = delete;
    FifoServer& operator=(const FifoServer&) = delete;
    // How many readers it has served so far.
    size_t served() const { return served_->load(); }

private:
    void serve();

    std::string path_;
    std::vector<std::string> versions_;
    std::atomic<size_t>* served_;  // shared with the serving process
    pid_t server_ = -1;
};

}  // namespace kestrin::test

#endif

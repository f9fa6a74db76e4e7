#include "tool_runner.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace kestrin::test {

ToolRun runTool(const std::vector<std::string>& arguments, const std::filesystem::path& directory) {
    return runTool(arguments, directory, [] {});
}

ToolRun runTool(const std::vector<std::string>& arguments, const std::filesystem::path& directory,
                const std::function<void()>& setUp) {
    ScratchDirectory capture;
    const std::string outPath = capture.file("stdout");
    const std::string errPath = capture.file("stderr");
    std::vector<std::string> words = {KESTRIN_TOOL_PATH};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);

    ToolRun run;
    const pid_t child = fork();
    if (child == 0) {
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        if (chdir(directory.c_str()) != 0) _exit(126);
        setUp();
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.out = readText(outPath);
    run.err = readText(errPath);
    return run;
}

pid_t startTool(const std::vector<std::string>& arguments, const std::filesystem::path& directory) {
    return startTool(arguments, directory, [] {});
}

pid_t startTool(const std::vector<std::string>& arguments, const std::filesystem::path& directory,
                const std::function<void()>& setUp) {
    std::vector<std::string> words = {KESTRIN_TOOL_PATH};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        if (chdir(directory.c_str()) != 0) _exit(126);
        setUp();
        execv(argv[0], argv.data());
        _exit(127);
    }
    return child;
}

ScratchDirectory::ScratchDirectory() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kestrin-tool-XXXXXX").string();
    path_ = mkdtemp(pattern.data());
}

ScratchDirectory::~ScratchDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::vector<std::string> ScratchDirectory::entries() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string readText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

void writeText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

FifoServer::FifoServer(std::string path, std::vector<std::string> versions)
    : path_(std::move(path)), versions_(std::move(versions)) {
    if (mkfifo(path_.c_str(), 0644) != 0) throw std::runtime_error("cannot make the pipe " + path_);
    void* shared = mmap(nullptr, sizeof(std::atomic<size_t>), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (shared == MAP_FAILED) throw std::runtime_error("cannot map the served count");
    served_ = new (shared) std::atomic<size_t>(0);
    server_ = fork();
    if (server_ == 0) {
        // Gone with the test, however it ends.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        serve();
    }
}

FifoServer::~FifoServer() {
    kill(server_, SIGKILL);
    waitpid(server_, nullptr, 0);
    munmap(served_, sizeof(std::atomic<size_t>));
    unlink(path_.c_str());
}

void FifoServer::serve() {
    // A reader that leaves early makes a write fail with EPIPE instead of
    // ending the server.
    signal(SIGPIPE, SIG_IGN);
    for (;;) {
        // Opens only once a reader has the pipe open (or waits in its open).
        const int file = open(path_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (file < 0) {
            usleep(1000);
            continue;
        }
        fcntl(file, F_SETFL, 0);
        const std::string& text = versions_[std::min(served_->load(), versions_.size() - 1)];
        for (size_t done = 0; done < text.size();) {
            const ssize_t put = write(file, text.data() + done, text.size() - done);
            if (put <= 0) break;
            done += static_cast<size_t>(put);
        }
        // Counted before the reader can see the end, so a finished reader
        // always finds itself counted.
        ++*served_;
        close(file);
        // Time for the reader to see the end and close, before the next
        // opening may reach it.
        usleep(100000);
    }
}

}  // namespace kestrin::test

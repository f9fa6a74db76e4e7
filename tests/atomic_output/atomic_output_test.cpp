// A run of the tool killed outright (SIGKILL: no handler, no clean-up) at a
// random moment leaves each output file either as it was before the run or
// complete as a finished run writes it, never cut short. Half of the kills
// come while the outputs are being written (once the first temporary file
// shows), the rest anywhere in the run.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "reliability_counts.h"
#include "tool_runner.h"

namespace kestrin::test {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kills = 200;
const std::vector<std::string> outputs = {"out.csv", "out.ply"};

// A grid of side n as OBJ, its points lifted by `lift` times x*y/n.
std::string gridObj(int n, double lift) {
    std::string text;
    for (int y = 0; y <= n; ++y) {
        for (int x = 0; x <= n; ++x) {
            text += "v " + std::to_string(x) + " " + std::to_string(y) + " " +
                    std::to_string(lift * x * y / n) + "\n";
        }
    }
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) {
            const int a = y * (n + 1) + x + 1;
            text += "f " + std::to_string(a) + " " + std::to_string(a + 1) + " " +
                    std::to_string(a + n + 2) + " " + std::to_string(a + n + 1) + "\n";
        }
    }
    return text;
}

// Starts `kestrin weights` on rest.obj and pose.obj in directory, writing the
// outputs (ASCII PLY, the larger kind); its own output goes nowhere.
pid_t startTool(const fs::path& directory) {
    std::vector<std::string> words = {"weights", "--rest", "rest.obj", "--pose", "pose.obj",
                                      "--ply-format", "ascii", "-o"};
    words.insert(words.end(), outputs.begin(), outputs.end());
    return test::startTool(words, directory);
}

// True once a temporary output file exists in directory.
bool writing(const fs::path& directory) {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(directory, error)) {
        if (entry.path().filename().string().find(".tmp") != std::string::npos) return true;
    }
    return false;
}

// Temporary files a killed run left; they are never taken for outputs.
void removeTemporaries(const fs::path& directory) {
    std::vector<fs::path> leftovers;
    for (const auto& entry : fs::directory_iterator(directory)) {
        const std::string name = entry.path().filename().string();
        if (name.find(".tmp") != std::string::npos) leftovers.push_back(entry.path());
    }
    for (const fs::path& path : leftovers) fs::remove(path);
}

TEST(AtomicOutput, KilledRunLeavesOldOrCompleteFiles) {
    ScratchDirectory scratch;
    writeText(scratch.file("rest.obj"), gridObj(100, 0.0));
    writeText(scratch.file("pose.obj"), gridObj(100, 9.0));

    // A finished run gives the complete files, and how long a run and its
    // writing take on this machine (the window for the kills).
    const Clock::time_point started = Clock::now();
    const pid_t reference = startTool(scratch.path());
    Clock::time_point writingStarted = Clock::now();
    bool sawWriting = false;
    int status = 0;
    while (waitpid(reference, &status, WNOHANG) == 0) {
        if (!sawWriting && writing(scratch.path())) {
            sawWriting = true;
            writingStarted = Clock::now();
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    const Clock::time_point finished = Clock::now();
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    std::vector<std::string> complete;
    for (const std::string& name : outputs) {
        complete.push_back(readText(scratch.file(name)));
        ASSERT_FALSE(complete.back().empty()) << name;
    }
    const auto runTime = std::chrono::duration_cast<std::chrono::microseconds>(finished - started);
    const auto writeTime = std::chrono::duration_cast<std::chrono::microseconds>(
        finished - (sawWriting ? writingStarted : started));

    std::mt19937 random(20240607);
    int killedWhileWriting = 0;
    int oldLeft = 0;
    int newLeft = 0;
    for (int run = 0; run < kills; ++run) {
        SCOPED_TRACE("run " + std::to_string(run));
        const std::string old = "old contents " + std::to_string(run) + "\n";
        for (const std::string& name : outputs) writeText(scratch.file(name), old);

        const bool duringWrite = run % 2 == 0;
        const long long window = duringWrite ? writeTime.count() : runTime.count();
        const auto delay =
            std::chrono::microseconds(std::uniform_int_distribution<long long>(0, window)(random));
        const pid_t child = startTool(scratch.path());
        bool exited = false;
        if (duringWrite) {
            // Wait for the first temporary file, or for the run to end.
            while (!writing(scratch.path())) {
                if (waitpid(child, &status, WNOHANG) != 0) {
                    exited = true;
                    break;
                }
                std::this_thread::sleep_for(std::chrono::microseconds(100));
            }
            if (!exited) ++killedWhileWriting;
        }
        if (!exited) {
            std::this_thread::sleep_for(delay);
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
        }

        for (size_t i = 0; i < outputs.size(); ++i) {
            const std::string now = readText(scratch.file(outputs[i]));
            const bool isOld = now == old;
            const bool isNew = now == complete[i];
            EXPECT_TRUE(isOld || isNew) << outputs[i] << " holds " << now.size() << " bytes";
            oldLeft += isOld ? 1 : 0;
            newLeft += isNew ? 1 : 0;
        }
        removeTemporaries(scratch.path());
    }
    recordCount("SIGKILL runs", kills);
    recordCount("SIGKILL runs killed while writing", killedWhileWriting);
    recordCount("SIGKILL output files found old", oldLeft);
    recordCount("SIGKILL output files found complete", newLeft);
}

}  // namespace
}  // namespace kestrin::test

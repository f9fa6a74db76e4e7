// The tool's promises under faults and on shared storage: a run replaces all
// of its outputs or none, says which, and leaves no file of its own behind,
// whether a rename, a thread, an allocation or the disk fails, a signal
// comes mid-commit, or another run (another machine, another PID namespace)
// writes the same folder. A preloaded library (shim/fault_shim.cpp) watches
// and breaks the system calls.
#include <gtest/gtest.h>

#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tool_runner.h"

namespace kestrin::test {
namespace {

namespace fs = std::filesystem;

// A square of four points, and the same stretched along x.
const std::string restObj = "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nf 1 2 3 4\n";
const std::string poseObj = "v 0 0 0\nv 2 0 0\nv 2 1 0\nv 0 1 0\nf 1 2 3 4\n";

// A PC2 cache of the square, frame f stretched by 1 + f / frames.
void writeCache(const std::string& path, int frames) {
    std::string bytes("POINTCACHE2\0", 12);
    auto word = [&](uint32_t value) { bytes.append(reinterpret_cast<const char*>(&value), 4); };
    auto real = [&](float value) { bytes.append(reinterpret_cast<const char*>(&value), 4); };
    word(1);
    word(4);
    real(0.0f);
    real(1.0f);
    word(static_cast<uint32_t>(frames));
    for (int f = 0; f < frames; ++f) {
        const float x = 1.0f + static_cast<float>(f) / static_cast<float>(frames);
        for (float p : {0.0f, 0.0f, 0.0f, x, 0.0f, 0.0f, x, 1.0f, 0.0f, 0.0f, 1.0f, 0.0f}) real(p);
    }
    writeText(path, bytes);
}

// A scratch folder with rest.obj, pose.obj and a cache of `frames` frames.
struct Shot {
    explicit Shot(int frames) {
        writeText(scratch.file("rest.obj"), restObj);
        writeText(scratch.file("pose.obj"), poseObj);
        writeCache(scratch.file("shot.pc2"), frames);
    }
    ScratchDirectory scratch;
};

std::vector<std::string> onShot(std::vector<std::string> outputs) {
    std::vector<std::string> words = {"weights", "--rest", "rest.obj", "--pose", "shot.pc2"};
    for (const std::string& output : outputs) words.insert(words.end(), {"-o", output});
    return words;
}

// Files of the tool's own (temporaries, lock files) left in a folder.
std::vector<std::string> leftovers(const ScratchDirectory& scratch) {
    std::vector<std::string> found;
    for (const std::string& name : scratch.entries()) {
        if (name[0] == '.') found.push_back(name);
    }
    return found;
}

// Sets the environment of the child: the shim preloaded, with `settings`.
std::function<void()> withShim(std::vector<std::pair<std::string, std::string>> settings) {
    return [settings] {
        setenv("LD_PRELOAD", KESTRIN_FAULT_SHIM, 1);
        // The sanitizers' runtime must otherwise be the first library loaded.
        setenv("ASAN_OPTIONS", "verify_asan_link_order=0", 1);
        for (const auto& [name, value] : settings) setenv(name.c_str(), value.c_str(), 1);
    };
}

std::string numbered(int frame) {
    char name[32];
    std::snprintf(name, sizeof name, "w_%04d.csv", frame);
    return name;
}

// Standard error without the loader's notice that it could not preload the
// shim: where 32-bit programs run through qemu-user, the emulator itself is
// a 64-bit program, whose loader refuses the 32-bit shim and says so, while
// the tool it runs loads it.
std::string toolsOwn(const std::string& err) {
    std::string kept;
    size_t start = 0;
    while (start < err.size()) {
        const size_t end = std::min(err.find('\n', start), err.size() - 1) + 1;
        const std::string line = err.substr(start, end - start);
        if (line.find("from LD_PRELOAD cannot be preloaded") == std::string::npos) kept += line;
        start = end;
    }
    return kept;
}

// Exactly one line, the tool's error.
void expectOneErrorLine(const ToolRun& run) {
    const std::string err = toolsOwn(run.err);
    EXPECT_EQ(err.rfind("kestrin: error: ", 0), 0u) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
}

TEST(Faults, PlantedLinksAtTemporaryNamesAreNeverWrittenThrough) {
    Shot shot(1);
    const std::string victim = shot.scratch.file("victim.txt");
    writeText(victim, "precious\n");
    // With counting randomness the run's names are drawn from a known few:
    // a link waits at every one of them, and at the name a run once used.
    std::vector<std::string> links;
    for (char tag = 'a'; tag < 'm'; ++tag) {
        links.push_back(".kestrin-run-" + std::string(8, tag));
        for (char suffix = 'a'; suffix < 'm'; ++suffix) {
            links.push_back(".w.csv.tmp-" + std::string(8, tag) + "-" + std::string(8, suffix));
        }
    }
    for (const std::string& link : links) fs::create_symlink(victim, shot.scratch.file(link));
    auto setUp = withShim({{"KESTRIN_SHIM_COUNTING_RANDOM", "1"}});
    const std::string folder = shot.scratch.path().string();
    const ToolRun run = runTool({"weights", "--rest", "rest.obj", "--pose", "pose.obj", "-o", "w.csv"},
                                shot.scratch.path(), [&] {
                                    const std::string old = folder + "/.w.csv.tmp-" + std::to_string(getpid());
                                    if (symlink("victim.txt", old.c_str()) != 0) _exit(125);
                                    setUp();
                                });
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(readText(victim), "precious\n");
    EXPECT_FALSE(fs::is_symlink(shot.scratch.file("w.csv")));
    EXPECT_NE(readText(shot.scratch.file("w.csv")).find("weight"), std::string::npos);
    for (const std::string& link : links) EXPECT_TRUE(fs::is_symlink(shot.scratch.file(link))) << link;
}

TEST(Faults, RunsInOtherPidNamespacesShareAFolder) {
    if (std::system("unshare --pid --fork true >/dev/null 2>&1") != 0) GTEST_SKIP() << "unshare is refused here";
    constexpr int frames = 300;
    Shot reference(frames);
    ASSERT_EQ(runTool(onShot({"w.csv"}), reference.scratch.path()).exitCode, 0);
    Shot shot(frames);
    // Each run alone in a PID namespace of its own: both see themselves as
    // process 1, and neither can see the other.
    const std::vector<std::string> words = onShot({"w.csv"});
    auto inNamespace = [&] {
        std::vector<std::string> all = {"unshare", "--pid", "--fork", KESTRIN_TOOL_PATH};
        all.insert(all.end(), words.begin(), words.end());
        std::vector<char*> argv;
        for (std::string& word : all) argv.push_back(word.data());
        argv.push_back(nullptr);
        execvp("unshare", argv.data());
        _exit(127);
    };
    const pid_t first = startTool(words, shot.scratch.path(), inNamespace);
    // The second starts once the first is writing, and cleans the folder
    // while the first's temporaries are in it.
    for (int wait = 0; wait < 20000; ++wait) {
        bool writing = false;
        for (const std::string& name : shot.scratch.entries()) writing = writing || name.find(".tmp-") != std::string::npos;
        if (writing) break;
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    const pid_t second = startTool(words, shot.scratch.path(), inNamespace);
    int status = 0;
    waitpid(first, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    waitpid(second, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    for (int frame = 1; frame <= frames; ++frame) {
        ASSERT_EQ(readText(shot.scratch.file(numbered(frame))), readText(reference.scratch.file(numbered(frame))))
            << numbered(frame);
    }
    EXPECT_EQ(leftovers(shot.scratch), std::vector<std::string>{});
}

TEST(Faults, OneFrameChunksAreNumbered) {
    struct Case {
        std::vector<std::string> words;
        std::string written;
    };
    const std::vector<Case> cases = {
        {{"--pose", "pose.obj"}, "w.csv"},                                  // one pose: as named
        {{"--pose", "pose.obj", "--frames", "1"}, "w_0001.csv"},            // a chunk of one frame
        {{"--pose", "shot.pc2", "--frames", "5"}, "w_0005.csv"},            // a frame of a cache
        {{"--pose", "pose.obj", "--pose", "pose.obj", "--frames", "2"}, "w_0002.csv"},
    };
    for (const Case& c : cases) {
        Shot shot(8);
        std::vector<std::string> words = {"weights", "--rest", "rest.obj", "-o", "w.csv"};
        words.insert(words.end(), c.words.begin(), c.words.end());
        const ToolRun run = runTool(words, shot.scratch.path());
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_TRUE(fs::exists(shot.scratch.file(c.written))) << c.written;
    }
}

TEST(Faults, RenameFailingMidwayLeavesEveryOutputOld) {
    Shot shot(5);
    for (int frame : {1, 2, 3, 5}) writeText(shot.scratch.file(numbered(frame)), "old\n");
    const ToolRun run = runTool(onShot({"w.csv"}), shot.scratch.path(), withShim({{"KESTRIN_SHIM_FAIL_RENAME", "3"}}));
    EXPECT_EQ(run.exitCode, 1);
    expectOneErrorLine(run);
    EXPECT_NE(run.err.find("no output was replaced"), std::string::npos) << run.err;
    for (int frame : {1, 2, 3, 5}) EXPECT_EQ(readText(shot.scratch.file(numbered(frame))), "old\n") << frame;
    EXPECT_FALSE(fs::exists(shot.scratch.file(numbered(4))));
    EXPECT_EQ(leftovers(shot.scratch), std::vector<std::string>{});
}

TEST(Faults, InterruptDuringTheCommitWaitsForIt) {
    Shot shot(5);
    for (int frame = 1; frame <= 5; ++frame) writeText(shot.scratch.file(numbered(frame)), "old\n");
    const ToolRun run =
        runTool(onShot({"w.csv", "w.npy"}), shot.scratch.path(), withShim({{"KESTRIN_SHIM_SIGNAL_RENAME", "2"}}));
    // Too late to stop: the run completes and says so.
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.err.find("interrupted while the outputs were put in place"), std::string::npos) << run.err;
    for (int frame = 1; frame <= 5; ++frame) EXPECT_NE(readText(shot.scratch.file(numbered(frame))), "old\n");
    EXPECT_TRUE(fs::exists(shot.scratch.file("w.npy")));
    EXPECT_EQ(leftovers(shot.scratch), std::vector<std::string>{});
}

TEST(Faults, InterruptWithMoreThan32768PendingOutputsLeavesNothing) {
    constexpr int frames = 33000;
    Shot shot(frames);
    const std::vector<std::string> before = shot.scratch.entries();
    // The signal comes as the last output is flushed: every other one is
    // written and waits for the commit.
    const ToolRun run = runTool(onShot({"w.csv"}), shot.scratch.path(),
                                withShim({{"KESTRIN_SHIM_NO_SYNC", "1"},
                                          {"KESTRIN_SHIM_SIGNAL_SYNC", std::to_string(frames)}}));
    EXPECT_EQ(run.exitCode, 130);
    EXPECT_EQ(shot.scratch.entries(), before);
}

TEST(Faults, FullDiskUnderThePageWriterLeavesNothing) {
    Shot shot(3);
    const std::vector<std::string> before = shot.scratch.entries();
    // A file size limit stands for the full disk: writes past it fail.
    const ToolRun run = runTool(onShot({"w.csv", "w.html"}), shot.scratch.path(), [] {
        const rlimit limit{64 * 1024, 64 * 1024};
        setrlimit(RLIMIT_FSIZE, &limit);
    });
    EXPECT_EQ(run.exitCode, 1);
    expectOneErrorLine(run);
    EXPECT_NE(run.err.find("w.html"), std::string::npos) << run.err;
    EXPECT_EQ(shot.scratch.entries(), before);
}

TEST(Faults, FailedThreadStartIsOneErrorLine) {
    Shot shot(10);
    const std::vector<std::string> before = shot.scratch.entries();
    std::vector<std::string> words = onShot({"w.csv", "w.html"});
    words.insert(words.end(), {"--jobs", "4"});
    const ToolRun run = runTool(words, shot.scratch.path(), withShim({{"KESTRIN_SHIM_FAIL_THREADS", "1"}}));
    EXPECT_EQ(run.exitCode, 1);
    expectOneErrorLine(run);
    EXPECT_EQ(shot.scratch.entries(), before);
}

#if !defined(KESTRIN_SANITIZED_BUILD)
TEST(Faults, AllocationFailureIsOneErrorLine) {
    if (sizeof(void*) < 8) GTEST_SKIP() << "the 32-bit tool runs under an emulator, whose memory a limit counts";
    Shot shot(1);
    // A mesh whose buffers meet the limits below.
    std::string grid;
    constexpr int side = 300;
    for (int y = 0; y <= side; ++y) {
        for (int x = 0; x <= side; ++x) grid += "v " + std::to_string(x) + " " + std::to_string(y) + " 0\n";
    }
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            const int a = y * (side + 1) + x + 1;
            grid += "f " + std::to_string(a) + " " + std::to_string(a + 1) + " " + std::to_string(a + side + 2) +
                    " " + std::to_string(a + side + 1) + "\n";
        }
    }
    writeText(shot.scratch.file("grid.obj"), grid);
    const std::vector<std::string> before = shot.scratch.entries();
    // Address-space limits around what the run needs: each run either
    // completes or fails cleanly, and some fail.
    int failed = 0;
    for (rlim_t megabytes : {48, 56, 64, 72}) {
        SCOPED_TRACE(std::to_string(megabytes) + " MiB");
        const ToolRun run = runTool({"weights", "--rest", "grid.obj", "--pose", "grid.obj", "-o", "w.csv", "-o",
                                     "w.html"},
                                    shot.scratch.path(), [megabytes] {
                                        const rlimit limit{megabytes << 20, megabytes << 20};
                                        setrlimit(RLIMIT_AS, &limit);
                                    });
        if (run.exitCode == 0) continue;
        ++failed;
        EXPECT_EQ(run.exitCode, 1);
        expectOneErrorLine(run);
        EXPECT_NE(run.err.find("out of memory"), std::string::npos) << run.err;
        EXPECT_EQ(shot.scratch.entries(), before);
    }
    EXPECT_GT(failed, 0);
}
#endif

TEST(Faults, OutputsAreFlushedBeforeTheirRenameAndFoldersAfter) {
    Shot shot(3);
    const std::string log = shot.scratch.file("calls.log");
    const ToolRun run = runTool(onShot({"w.csv", "w.npy", "w.html"}), shot.scratch.path(),
                                withShim({{"KESTRIN_SHIM_LOG", log}}));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    std::istringstream lines(readText(log));
    std::vector<std::string> flushed;
    int renamed = 0;
    bool folderFlushedAfter = false;
    std::string what;
    std::string from;
    while (lines >> what >> from) {
        const std::string name = fs::path(from).filename().string();
        if (what == "fdatasync") flushed.push_back(name);
        if (what == "rename") {
            std::string to;
            lines >> to;
            ++renamed;
            folderFlushedAfter = false;
            EXPECT_NE(std::find(flushed.begin(), flushed.end(), name), flushed.end()) << name << " renamed unflushed";
        }
        if (what == "fsync" && fs::equivalent(from, shot.scratch.path())) folderFlushedAfter = true;
    }
    EXPECT_EQ(renamed, 5);
    EXPECT_TRUE(folderFlushedAfter);
}

TEST(Faults, ByteOrderMarkIsReadAsNothing) {
    Shot shot(1);
    const std::string mark = "\xEF\xBB\xBF";
    writeText(shot.scratch.file("rest_marked.obj"), mark + restObj);
    writeText(shot.scratch.file("pose_marked.obj"), mark + poseObj);
    ASSERT_EQ(runTool({"weights", "--rest", "rest.obj", "--pose", "pose.obj", "-o", "plain.csv"}, shot.scratch.path())
                  .exitCode,
              0);
    const ToolRun run = runTool({"weights", "--rest", "rest_marked.obj", "--pose", "pose_marked.obj", "-o", "marked.csv"},
                                shot.scratch.path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(readText(shot.scratch.file("marked.csv")), readText(shot.scratch.file("plain.csv")));
}

}  // namespace
}  // namespace kestrin::test

// The tool's promises under faults and on shared storage: a run replaces all
// of its outputs or none, says which, and leaves no file of its own behind,
// whether a rename, a thread, an allocation or the disk fails, a signal
// comes mid-commit, or another run (another machine, another PID namespace)
// writes the same folder. A preloaded library (shim/fault_shim.cpp) watches
// and breaks the system calls.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
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

std::vector<std::string> onShot(std::vector<std::string> outputs, std::vector<std::string> more = {}) {
    std::vector<std::string> words = {"weights", "--rest", "rest.obj", "--pose", "shot.pc2"};
    for (const std::string& output : outputs) words.insert(words.end(), {"-o", output});
    words.insert(words.end(), more.begin(), more.end());
    return words;
}

// The shim's log lines that start with `what`, without it.
std::vector<std::string> logged(const std::string& log, const std::string& what) {
    std::vector<std::string> found;
    std::istringstream lines(fs::exists(log) ? readText(log) : "");
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(what + " ", 0) == 0) found.push_back(line.substr(what.size() + 1));
    }
    return found;
}

// The output a temporary's path stands for: ".../.NAME.tmp-TAG-RANDOM" -> NAME.
std::string outputOf(const std::string& temporary) {
    const std::string name = fs::path(temporary).filename().string();
    return name.substr(1, name.rfind(".tmp-") - 1);
}

mode_t modeOf(const std::string& path) {
    struct stat info {};
    stat(path.c_str(), &info);
    return info.st_mode & 07777;
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
    // Enough replaced files that several threads remove them once the
    // renames are done.
    constexpr int frames = 300;
    Shot shot(frames);
    for (int frame = 1; frame <= frames; ++frame) writeText(shot.scratch.file(numbered(frame)), "old\n");
    const ToolRun run = runTool(onShot({"w.csv", "w.npy"}), shot.scratch.path(),
                                withShim({{"KESTRIN_SHIM_NO_SYNC", "1"}, {"KESTRIN_SHIM_SIGNAL_RENAME", "2"}}));
    // Too late to stop: the run completes and says so.
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.err.find("interrupted while the outputs were put in place"), std::string::npos) << run.err;
    for (int frame = 1; frame <= frames; ++frame) {
        ASSERT_NE(readText(shot.scratch.file(numbered(frame))), "old\n") << frame;
    }
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
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string what;
        std::string from;
        fields >> what >> from;
        const std::string name = fs::path(from).filename().string();
        if (what == "fdatasync") flushed.push_back(name);
        if (what == "rename") {
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

// The build writes .exr files (OpenEXR was found for it).
#ifdef KESTRIN_WITH_OPENEXR
constexpr bool writesExr = true;
#else
constexpr bool writesExr = false;
#endif

// Every writer's temporary, swapped for a link to someone's file the moment
// it is created: the run writes, flushes and modes only through its
// descriptors, never by the name, and fails at the commit.
TEST(Faults, TemporariesAreReachedOnlyThroughTheirDescriptors) {
    struct Case {
        std::vector<std::string> words;
        std::vector<std::string> extensions;  // one temporary of each is seen made
    };
    std::vector<Case> cases = {
        {onShot({"w.csv", "w.ply", "w.png", "w.npy", "w.html", "w.glb"}, {"--save-settings", "s.json"}),
         {".csv", ".ply", ".png", ".npy", ".html", ".glb", ".json"}},
        {{"morph", "--rest", "rest.obj", "--pose", "shot.pc2", "--stretch-target", "pose.obj", "--squash-target",
          "rest.obj", "-o", "m.obj", "-o", "m.mdd", "-o", "m.pc2"},
         {".obj", ".mdd", ".pc2"}},
    };
    if (writesExr) {
        for (Case& c : cases) {
            c.words.insert(c.words.end(), {"-o", c.words[0] + ".exr"});
            c.extensions.push_back(".exr");
        }
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.words[0]);
        Shot shot(2);
        const std::string victim = shot.scratch.file("victim.key");
        writeText(victim, "precious\n");
        chmod(victim.c_str(), 0600);
        const std::string log = shot.scratch.file("calls.log");
        const ToolRun run = runTool(c.words, shot.scratch.path(),
                                    withShim({{"KESTRIN_SHIM_SWAP_TEMPORARIES", victim},
                                              {"KESTRIN_SHIM_LOG", log},
                                              {"KESTRIN_SHIM_NO_SYNC", "1"}}));
        EXPECT_EQ(run.exitCode, 1);
        expectOneErrorLine(run);
        EXPECT_NE(run.err.find("replaced by someone else; no output was replaced"), std::string::npos) << run.err;
        EXPECT_EQ(readText(victim), "precious\n");
        EXPECT_EQ(modeOf(victim), 0600u);
        EXPECT_EQ(logged(log, "by-name"), std::vector<std::string>{});
        const std::vector<std::string> made = logged(log, "mode");
        for (const std::string& extension : c.extensions) {
            EXPECT_TRUE(std::any_of(made.begin(), made.end(), [&](const std::string& line) {
                return line.find(extension + ".tmp-") != std::string::npos;
            })) << extension;
        }
        EXPECT_EQ(leftovers(shot.scratch), std::vector<std::string>{});
    }
}

// A replaced output keeps its permissions, and its owner and group (a root
// run); a new one gets the umask's. No temporary is ever more open than the
// output it becomes: a private output's is readable by nobody else.
TEST(Faults, OutputsKeepOwnerAndModeAndTheirTemporariesAreNoMoreOpen) {
    Shot shot(2);
    const bool root = geteuid() == 0;
    struct Existing {
        std::string name;
        mode_t mode;
    };
    std::vector<Existing> existing = {{"w_0001.csv", 0600}, {"w_0002.csv", 0640}, {"w.npy", 0604}, {"s.json", 0660}};
    std::vector<std::string> outputs = {"w.csv", "w.ply", "w.npy", "w.html"};
    if (writesExr) {
        existing.push_back({"w.exr", 0600});
        outputs.push_back("w.exr");
    }
    std::map<std::string, mode_t> expected = {{"w_0001.ply", 0640}, {"w_0002.ply", 0640}, {"w.html", 0640}};
    for (const Existing& file : existing) {
        writeText(shot.scratch.file(file.name), "old\n");
        chmod(shot.scratch.file(file.name).c_str(), file.mode);
        // Another user's files, for a run as root to replace.
        if (root) {
            ASSERT_EQ(chown(shot.scratch.file(file.name).c_str(), 12345, 23456), 0);
        }
        expected[file.name] = file.mode;
    }
    const std::string log = shot.scratch.file("calls.log");
    auto shim = withShim({{"KESTRIN_SHIM_LOG", log}, {"KESTRIN_SHIM_NO_SYNC", "1"}});
    const ToolRun run = runTool(onShot(outputs, {"--save-settings", "s.json"}),
                                shot.scratch.path(), [&] {
                                    umask(027);
                                    shim();
                                });
    ASSERT_EQ(run.exitCode, 0) << run.err;
    for (const auto& [name, mode] : expected) {
        struct stat info {};
        ASSERT_EQ(stat(shot.scratch.file(name).c_str(), &info), 0) << name;
        EXPECT_EQ(info.st_mode & 07777, mode) << name;
    }
    for (const Existing& file : existing) {
        struct stat info {};
        stat(shot.scratch.file(file.name).c_str(), &info);
        EXPECT_EQ(info.st_uid, root ? 12345u : geteuid()) << file.name;
        EXPECT_EQ(info.st_gid, root ? 23456u : getegid()) << file.name;
    }
    EXPECT_EQ(logged(log, "by-name"), std::vector<std::string>{});
    const std::vector<std::string> modes = logged(log, "mode");
    ASSERT_FALSE(modes.empty());
    for (const std::string& line : modes) {
        std::istringstream fields(line);
        std::string temporary;
        unsigned mode = 0;
        fields >> temporary >> std::oct >> mode;
        const auto output = expected.find(outputOf(temporary));
        ASSERT_NE(output, expected.end()) << line;
        EXPECT_EQ(mode & 0777 & ~output->second, 0u) << line << ": more open than " << std::oct << output->second;
    }
}

// Where the files being replaced cannot be kept aside (no hard links: SMB,
// FAT; a file system out of inodes), a failed rename never costs the user
// an old output: the run says so before the first rename, and the error
// names exactly the outputs that are new.
TEST(Faults, RollBackWithoutHardLinksKeepsTheOldOutputs) {
    struct Case {
        const char* what;
        std::vector<std::pair<std::string, std::string>> shim;
        bool tmpfs;  // on a tmpfs whose inodes run out before the links
    };
    const std::vector<Case> cases = {
        {"no hard links", {{"KESTRIN_SHIM_FAIL_LINK", std::to_string(EPERM)}}, false},
        {"no room for links", {{"KESTRIN_SHIM_FAIL_LINK", std::to_string(ENOSPC)}}, false},
        {"a tmpfs out of inodes", {{"KESTRIN_SHIM_FILL_BEFORE_LINK", "fill"}}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Shot shot(5);
        fs::path folder = shot.scratch.path();
        if (c.tmpfs) {
            folder /= "tmpfs";
            fs::create_directory(folder);
            if (mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=4m,nr_inodes=200") != 0) {
                std::printf("%s: cannot mount a tmpfs here (%s); left to the shim's ENOSPC\n", c.what,
                            std::strerror(errno));
                continue;
            }
            for (const char* input : {"rest.obj", "shot.pc2"}) fs::copy(shot.scratch.file(input), folder / input);
            fs::create_directory(folder / "fill");
        }
        struct Unmount {
            fs::path folder;
            ~Unmount() {
                if (!folder.empty()) umount2(folder.c_str(), MNT_DETACH);
            }
        } unmount{c.tmpfs ? folder : fs::path()};
        auto file = [&](int frame) { return (folder / numbered(frame)).string(); };
        for (int frame = 1; frame <= 5; ++frame) writeText(file(frame), "old\n");
        auto settings = c.shim;
        // The third rename fails: the first put the new .npy in place.
        settings.push_back({"KESTRIN_SHIM_FAIL_RENAME", "3"});
        settings.push_back({"KESTRIN_SHIM_NO_SYNC", "1"});
        const ToolRun run = runTool(onShot({"w.csv", "w.npy"}), folder, withShim(settings));
        EXPECT_EQ(run.exitCode, 1);
        const std::string err = toolsOwn(run.err);
        // The note comes before any rename, then the one error line.
        EXPECT_EQ(err.rfind("kestrin: note: ", 0), 0u) << err;
        EXPECT_NE(err.find("cannot be kept aside"), std::string::npos) << err;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 2) << err;
        // The new .npy goes first, and is undone; of the replacing .csv
        // files, the one renamed before the failure stays new, and is
        // named; every other is old.
        EXPECT_FALSE(fs::exists(folder / "w.npy"));
        int renewed = 0;
        for (int frame = 1; frame <= 5; ++frame) {
            ASSERT_TRUE(fs::exists(file(frame))) << numbered(frame);
            if (readText(file(frame)) == "old\n") continue;
            ++renewed;
            EXPECT_NE(err.find("these outputs are new: " + numbered(frame) + " ("), std::string::npos) << err;
        }
        EXPECT_EQ(renewed, 1);
        for (const auto& entry : fs::directory_iterator(folder)) {
            EXPECT_NE(entry.path().filename().string()[0], '.') << entry.path();
        }
    }
}

// The signal handler removes the run's files while another thread is
// creating one: that file goes too. (The shim holds the creation until the
// handler has begun.)
TEST(Faults, InterruptWhileATemporaryIsCreatedLeavesNothing) {
    Shot shot(10);
    const std::vector<std::string> before = shot.scratch.entries();
    const ToolRun run = runTool(onShot({"w.csv"}, {"--jobs", "2"}), shot.scratch.path(),
                                withShim({{"KESTRIN_SHIM_SIGNAL_CREATE", "3"}, {"KESTRIN_SHIM_NO_SYNC", "1"}}));
    EXPECT_EQ(run.exitCode, 130) << run.err;
    EXPECT_EQ(shot.scratch.entries(), before);
}

// Ctrl-C at any moment of a 100-pose run: every output as it was (status
// 130, or killed by the signal before the run had set anything up) or every
// one new (status 0, the signal came during the commit), and never a file
// of the run's own left.
TEST(Faults, InterruptAtRandomMomentsLeavesNothing) {
    constexpr int frames = 100;
    // Fewer where each run takes several times as long (the 32-bit tool
    // under an emulator, the sanitizers), which add nothing to a race of
    // signals and files.
#if defined(KESTRIN_SANITIZED_BUILD)
    const int interrupts = 10;
#else
    const int interrupts = sizeof(void*) < 8 ? 10 : 50;
#endif
    Shot shot(frames);
    const std::vector<std::string> words = onShot({"w.csv", "w.npy"});
    // Flushes skipped: they only make each run longer.
    const auto noSync = withShim({{"KESTRIN_SHIM_NO_SYNC", "1"}});
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(runTool(words, shot.scratch.path(), noSync).exitCode, 0);
    const auto whole = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);
    std::vector<std::string> outputs = {"w.npy"};
    for (int frame = 1; frame <= frames; ++frame) outputs.push_back(numbered(frame));
    for (const std::string& output : outputs) fs::remove(shot.scratch.file(output));
    const std::vector<std::string> before = shot.scratch.entries();
    std::mt19937 random(20261209);
    std::uniform_int_distribution<long> moment(0, whole.count());
    int stopped = 0;
    for (int i = 0; i < interrupts; ++i) {
        const pid_t tool = startTool(words, shot.scratch.path(), noSync);
        std::this_thread::sleep_for(std::chrono::microseconds(moment(random)));
        kill(tool, SIGINT);
        int status = 0;
        waitpid(tool, &status, 0);
        const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        ASSERT_TRUE(code == 130 || code == 0) << "interrupt " << i << ": exit " << code;
        ASSERT_EQ(leftovers(shot.scratch), std::vector<std::string>{}) << "interrupt " << i;
        if (code == 130) {
            ++stopped;
            ASSERT_EQ(shot.scratch.entries(), before) << "interrupt " << i;
        } else {
            for (const std::string& output : outputs) {
                ASSERT_TRUE(fs::exists(shot.scratch.file(output))) << output;
                fs::remove(shot.scratch.file(output));
            }
        }
    }
    std::printf("%d of %d runs stopped, the rest interrupted too late\n", stopped, interrupts);
}

// A run that cannot do what it says is refused or fails: a read-only output
// folder, also for root; a link another user planted at an output's name; a
// table lost to a full standard output.
TEST(Faults, ReadOnlyFolderPlantedLinkAndFullStandardOutputAreErrors) {
    Shot shot(2);
    if (geteuid() == 0) {
        // As on shared farm storage: another user links w.npy to a file of
        // root's; a run as root must neither replace it nor make the link's
        // target anew. A link of the file's own owner is followed as before.
        const std::string secret = shot.scratch.file("secret");
        writeText(secret, "root's\n");
        for (const std::string& target : {secret, shot.scratch.file("made")}) {
            const std::string link = shot.scratch.file("w.npy");
            fs::remove(link);
            fs::create_symlink(target, link);
            ASSERT_EQ(lchown(link.c_str(), 12345, 12345), 0);
            const ToolRun planted = runTool(onShot({"w.npy"}), shot.scratch.path());
            EXPECT_EQ(planted.exitCode, 1) << target;
            expectOneErrorLine(planted);
            EXPECT_NE(planted.err.find("w.npy: is a symbolic link of another user (uid 12345)"), std::string::npos)
                << planted.err;
        }
        EXPECT_EQ(readText(secret), "root's\n");
        EXPECT_FALSE(fs::exists(shot.scratch.file("made")));
        ASSERT_EQ(chown(secret.c_str(), 12345, 12345), 0);
        fs::remove(shot.scratch.file("w.npy"));
        fs::create_symlink(secret, shot.scratch.file("w.npy"));
        ASSERT_EQ(lchown(shot.scratch.file("w.npy").c_str(), 12345, 12345), 0);
        EXPECT_EQ(runTool(onShot({"w.npy"}), shot.scratch.path()).exitCode, 0);
        EXPECT_TRUE(fs::is_symlink(shot.scratch.file("w.npy")));
        EXPECT_NE(readText(secret), "root's\n");
    }
    fs::create_directory(shot.scratch.file("locked"));
    chmod(shot.scratch.file("locked").c_str(), 0555);
    const ToolRun locked = runTool(onShot({"locked/w.csv"}), shot.scratch.path());
    EXPECT_EQ(locked.exitCode, 1);
    expectOneErrorLine(locked);
    EXPECT_NE(locked.err.find("locked"), std::string::npos) << locked.err;
    EXPECT_TRUE(fs::is_empty(shot.scratch.file("locked")));

    auto toFull = [] {
        const int full = open("/dev/full", O_WRONLY);
        if (full < 0 || dup2(full, STDOUT_FILENO) < 0) _exit(125);
    };
    const ToolRun table = runTool(onShot({"w.csv"}), shot.scratch.path(), toFull);
    EXPECT_EQ(table.exitCode, 1);
    expectOneErrorLine(table);
    EXPECT_NE(table.err.find("standard output: cannot write the table: No space left on device; every output was "
                             "written"),
              std::string::npos)
        << table.err;
    EXPECT_TRUE(fs::exists(shot.scratch.file(numbered(2))));
    const ToolRun help = runTool({"help"}, shot.scratch.path(), toFull);
    EXPECT_EQ(help.exitCode, 1);
    EXPECT_NE(help.err.find("standard output: cannot write: No space left on device"), std::string::npos) << help.err;
}

}  // namespace
}  // namespace kestrin::test

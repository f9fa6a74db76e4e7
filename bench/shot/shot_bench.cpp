// A shot through the kestrin tool, beside the least any program can do with
// the same bytes (floor.h). The shot: a 500 x 500 grid (250,000 points,
// 249,001 quads) and 20 poses as OBJ files, and the same poses as an MDD
// cache (with a 200-pose cache for memory). Each tool run is a real process
// (wall time and peak memory from the kernel), its plug-ins loaded as
// always, its outputs flushed to storage as always. The cases run in turn,
// round after round, so that a busy moment of a shared machine falls on
// every case alike; each figure is the median of the rounds.
//
// Then a rerun: 10,000 one-quad poses (an MDD cache) weighed into 10,000
// CSV files in an empty folder, and again over them, in turn. It runs in
// KESTRIN_RERUN_DIR, else beside this program (the build's disk; /tmp may
// be memory), and says which file system that is.
#include <sys/resource.h>
#include <sys/vfs.h>
#include <sys/wait.h>
#include <unistd.h>
#include <fcntl.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "floor.h"
#include "shot_files.h"

namespace {

namespace fs = std::filesystem;
namespace bench = kestrin::bench;

constexpr int longShot = 200;
constexpr int rounds = 5;

const fs::path& directory() {
    static const fs::path path = fs::temp_directory_path() / ("kestrin_shot_bench_" + std::to_string(getpid()));
    return path;
}

std::string file(const std::string& name) { return (directory() / name).string(); }

std::vector<std::string> poseFiles() {
    std::vector<std::string> files;
    for (int pose = 0; pose < bench::poseCount; ++pose) files.push_back(file("pose_" + std::to_string(pose + 1) + ".obj"));
    return files;
}

void makeShot() {
    fs::create_directories(directory());
    bench::writeObj(file("rest.obj"), bench::posePositions(-1));
    const std::vector<std::string> poses = poseFiles();
    for (int pose = 0; pose < bench::poseCount; ++pose) bench::writeObj(poses[pose], bench::posePositions(pose));
    bench::writeMdd(file("poses.mdd"), bench::poseCount);
    bench::writeMdd(file("long.mdd"), longShot);
}

constexpr int rerunOutputs = 10000;

// The rerun's shot: one quad, a slightly different stretch in each frame.
void makeQuadShot(const fs::path& folder) {
    fs::create_directories(folder);
    std::ofstream((folder / "quad.obj").string()) << "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nf 1 2 3 4\n";
    bench::writeMddWith((folder / "quad.mdd").string(), rerunOutputs, 4, [](int frame) {
        const float s = 1.0f + 0.1f * float(std::sin(frame));
        return std::vector<float>{0, 0, 0, s, 0, 0, s, 1, 0, 0, 1, 0};
    });
}

const char* fileSystemName(const fs::path& folder) {
    struct statfs info {};
    if (statfs(folder.c_str(), &info) != 0) return "unknown";
    switch (static_cast<uint32_t>(info.f_type)) {
        case 0xEF53: return "ext4";
        case 0x01021994: return "tmpfs (memory)";
        case 0x58465342: return "xfs";
        case 0x9123683E: return "btrfs";
        default: return "another file system";
    }
}

struct Run {
    double seconds;
    double peakMB;  // 0 for a floor, which runs in this process
};

// Every run starts with the files on disk: what earlier runs (and making the
// shot, 1 GB) left to write back would otherwise be written during it, on
// the same cores, and land on whichever run came next.
void settle() { sync(); }

Run runTool(std::vector<std::string> words) {
    words.insert(words.begin(), KESTRIN_TOOL_PATH);
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    settle();
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "kestrin failed (status %d)\n", status);
        std::exit(1);
    }
    return {seconds, usage.ru_maxrss / 1024.0};
}

Run runFloor(const std::function<void()>& floor) {
    settle();
    const auto start = std::chrono::steady_clock::now();
    floor();
    return {std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 0};
}

std::vector<std::string> weightsArgs(const std::vector<std::string>& extra) {
    std::vector<std::string> words = {"weights", "--rest", file("rest.obj"), "--pose"};
    for (const std::string& pose : poseFiles()) words.push_back(pose);
    words.insert(words.end(), extra.begin(), extra.end());
    return words;
}

std::vector<std::string> morphArgs(const std::vector<std::string>& extra) {
    std::vector<std::string> words = {"morph", "--rest", file("rest.obj"), "--stretch-target", file("rest.obj"),
                                      "--squash-target", file("rest.obj"), "-o", file("c.obj")};
    words.insert(words.end(), extra.begin(), extra.end());
    words.push_back("--pose");
    for (const std::string& pose : poseFiles()) words.push_back(pose);
    return words;
}

struct Case {
    const char* name;
    std::function<Run()> run;
};

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main() {
    makeShot();
    const std::string rest = file("rest.obj");
    const std::string folder = directory().string();
    const std::vector<Case> cases = {
        {"weights floor", [&] { return runFloor([&] { bench::weightsFloor(rest, poseFiles(), folder); }); }},
        {"weights csv jobs 1", [] { return runTool(weightsArgs({"--jobs", "1", "-o", file("w.csv")})); }},
        {"weights csv", [] { return runTool(weightsArgs({"-o", file("w.csv")})); }},
        {"morph floor", [&] { return runFloor([&] { bench::morphFloor(rest, poseFiles(), folder); }); }},
        {"morph obj", [] { return runTool(morphArgs({})); }},
        {"morph obj jobs 1", [] { return runTool(morphArgs({"--jobs", "1"})); }},
        {"mdd to npy", [] { return runTool({"weights", "--rest", file("rest.obj"), "--pose", file("poses.mdd"),
                                            "-o", file("w.npy")}); }},
        {"mdd 200 to npy", [] { return runTool({"weights", "--rest", file("rest.obj"), "--pose", file("long.mdd"),
                                                "-o", file("w200.npy")}); }},
    };
    std::map<std::string, std::vector<double>> seconds;
    std::map<std::string, std::vector<double>> peak;
    std::printf("%-20s", "round");
    for (const Case& c : cases) std::printf(" %18s", c.name);
    std::printf("\n");
    for (int round = 1; round <= rounds; ++round) {
        std::printf("%-20d", round);
        for (const Case& c : cases) {
            const Run run = c.run();
            seconds[c.name].push_back(run.seconds);
            peak[c.name].push_back(run.peakMB);
            std::printf(" %16.3f s", run.seconds);
            std::fflush(stdout);
        }
        std::printf("\n");
    }
    const char* rerunHome = std::getenv("KESTRIN_RERUN_DIR");
    const fs::path rerun = fs::path(rerunHome != nullptr ? rerunHome : KESTRIN_BENCH_BINARY_DIR) /
                           ("kestrin_rerun_bench_" + std::to_string(getpid()));
    makeQuadShot(rerun);
    const std::vector<std::string> rerunWords = {"weights", "--rest", (rerun / "quad.obj").string(), "--pose",
                                                 (rerun / "quad.mdd").string(), "-o", (rerun / "out" / "w.csv").string()};
    std::printf("\n10,000 outputs in %s (%s): a first run into an empty folder, then again over its outputs\n",
                rerun.c_str(), fileSystemName(rerun));
    for (int round = 1; round <= rounds; ++round) {
        std::error_code ignored;
        fs::remove_all(rerun / "out", ignored);
        fs::create_directories(rerun / "out");
        const Run first = runTool(rerunWords);
        const Run again = runTool(rerunWords);
        seconds["first run"].push_back(first.seconds);
        seconds["rerun"].push_back(again.seconds);
        std::printf("  round %d: first run %.3f s, rerun %.3f s\n", round, first.seconds, again.seconds);
        std::fflush(stdout);
    }
    std::error_code ignored;
    fs::remove_all(rerun, ignored);

    auto time = [&](const char* name) { return median(seconds[name]); };
    auto memory = [&](const char* name) { return median(peak[name]); };
    auto line = [](const char* what, double value, const char* target, bool met) {
        std::printf("  %-58s %8.3f  %-8s %s\n", what, value, target, met ? "met" : "MISSED");
    };
    std::printf("\nTargets (medians of %d rounds; weights floor %.3f s, morph floor %.3f s)\n", rounds,
                time("weights floor"), time("morph floor"));
    const double weights1 = time("weights csv jobs 1") / time("weights floor");
    const double weights = time("weights csv") / time("weights floor");
    const double morph = time("morph obj") / time("morph floor");
    const double morph1 = time("morph obj jobs 1") / time("morph floor");
    line("weights -o .csv --jobs 1 / weights floor", weights1, "<= 1.5", weights1 <= 1.5);
    line("weights -o .csv default jobs / weights floor", weights, "<= 0.9", weights <= 0.9);
    line("morph -o .obj default jobs / morph floor", morph, "<= 1.2", morph <= 1.2);
    line("morph -o .obj --jobs 1 / morph floor", morph1, "<= 2", morph1 <= 2.0);
    line("20 poses MDD -> .npy, seconds", time("mdd to npy"), "<= 1.2", time("mdd to npy") <= 1.2);
    const double growth = memory("mdd 200 to npy") / memory("mdd to npy");
    line("peak memory 200 poses / 20 poses", growth, "<= 1.25", growth <= 1.25);
    line("peak memory 200 poses, MB", memory("mdd 200 to npy"), "< 400", memory("mdd 200 to npy") < 400);
    line("peak memory morph -o .obj default jobs, MB", memory("morph obj"), "-", true);
    const double rerunRatio = time("rerun") / time("first run");
    line("10,000 outputs: rerun over them / first run", rerunRatio, "<= 1.25", rerunRatio <= 1.25);
    fs::remove_all(directory(), ignored);
    return 0;
}

// Writes the benchmark shot's rest grid and its 20-pose MDD cache into a
// folder, for benchmarks that run the tool themselves (bench/page/).
//
//   kestrin_make_shot DIR    ->  DIR/rest.obj, DIR/poses.mdd
#include <cstdio>
#include <filesystem>

#include "shot_files.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: kestrin_make_shot DIR\n");
        return 2;
    }
    const std::filesystem::path directory = argv[1];
    std::filesystem::create_directories(directory);
    kestrin::bench::writeObj((directory / "rest.obj").string(), kestrin::bench::posePositions(-1));
    kestrin::bench::writeMdd((directory / "poses.mdd").string(), kestrin::bench::poseCount);
    return 0;
}

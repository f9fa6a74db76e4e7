// Writes the benchmark shot into a folder, for benchmarks that run the tool
// themselves (bench/page/, bench/python/, bench/figures/).
//
//   kestrin_make_shot DIR [--side N] [--frames F] [--obj-poses P]
//     ->  DIR/rest.obj, DIR/poses.mdd (F frames, 20 by default) of an N x N
//         grid (500 by default), and DIR/pose_1.obj ... DIR/pose_P.obj
//         (none by default; at most 20)
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "shot_files.h"

int main(int argc, char** argv) {
    int side = kestrin::bench::gridSide;
    int frames = kestrin::bench::poseCount;
    int objPoses = 0;
    bool sound = argc >= 2;
    for (int i = 2; i < argc && sound; ++i) {
        if (i + 1 < argc && std::strcmp(argv[i], "--obj-poses") == 0) {
            objPoses = std::atoi(argv[++i]);
        } else if (i + 1 < argc && std::strcmp(argv[i], "--side") == 0) {
            side = std::atoi(argv[++i]);
        } else if (i + 1 < argc && std::strcmp(argv[i], "--frames") == 0) {
            frames = std::atoi(argv[++i]);
        } else {
            sound = false;
        }
    }
    if (!sound || side < 2 || frames < 1 || objPoses < 0 || objPoses > kestrin::bench::poseCount) {
        std::fprintf(stderr, "usage: kestrin_make_shot DIR [--side N] [--frames F] [--obj-poses P]\n");
        return 2;
    }
    namespace bench = kestrin::bench;
    const std::filesystem::path directory = argv[1];
    std::filesystem::create_directories(directory);
    bench::writeObj((directory / "rest.obj").string(), bench::posePositions(-1, side), side);
    bench::writeMdd((directory / "poses.mdd").string(), frames, side);
    for (int pose = 0; pose < objPoses; ++pose) {
        const std::string name = "pose_" + std::to_string(pose + 1) + ".obj";
        bench::writeObj((directory / name).string(), bench::posePositions(pose, side), side);
    }
    return 0;
}

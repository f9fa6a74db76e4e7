// The floors of bench/shot/floor.h as a program of their own, for scripts
// that time them beside the tool (bench/figures/).
//
//   kestrin_floor weights|morph OUT_FOLDER REST POSE...
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "floor.h"

int main(int argc, char** argv) {
    const bool weights = argc > 1 && std::strcmp(argv[1], "weights") == 0;
    const bool morph = argc > 1 && std::strcmp(argv[1], "morph") == 0;
    if (argc < 5 || !(weights || morph)) {
        std::fprintf(stderr, "usage: kestrin_floor weights|morph OUT_FOLDER REST POSE...\n");
        return 2;
    }
    const std::vector<std::string> poses(argv + 4, argv + argc);
    (weights ? kestrin::bench::weightsFloor : kestrin::bench::morphFloor)(argv[3], poses, argv[2]);
    return 0;
}

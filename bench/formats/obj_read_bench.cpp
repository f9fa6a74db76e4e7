// Reading poses of a shot: 20 OBJ files of a 500 x 500 grid (250,000 points,
// 249,001 quads), each read against the rest mesh into one reused buffer, as
// a streaming pipeline reads them. The floor beside it is the least any
// reader can do with the same bytes: find the `v` lines and parse three
// numbers each with fast_float, with no checks and no faces.
#include <benchmark/benchmark.h>
#include <fast_float/fast_float.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "files/file_bytes.h"
#include "mesh/obj_reader.h"
#include "mesh/obj_writer.h"

namespace kestrin::bench {
namespace {

constexpr int gridSide = 500;
constexpr int poseCount = 20;

struct Shot {
    std::filesystem::path directory;
    formats::ObjMesh rest;
    std::vector<std::string> poses;

    Shot() {
        directory = std::filesystem::temp_directory_path() / "kestrin_obj_bench";
        std::filesystem::create_directories(directory);
        formats::MeshData grid;
        for (int row = 0; row < gridSide; ++row) {
            for (int column = 0; column < gridSide; ++column) {
                grid.points.push_back({column * 0.013, row * 0.017, 0.0});
            }
        }
        for (int row = 0; row + 1 < gridSide; ++row) {
            for (int column = 0; column + 1 < gridSide; ++column) {
                const int32_t corner = row * gridSide + column;
                grid.polygons.add({corner, corner + 1, corner + gridSide + 1, corner + gridSide});
            }
        }
        const std::string restPath = (directory / "rest.obj").string();
        writeFile(restPath, formats::meshObj(grid));
        rest = formats::readObj(restPath);
        for (int pose = 0; pose < poseCount; ++pose) {
            formats::MeshData posed = grid;
            for (size_t i = 0; i < posed.points.size(); ++i) {
                posed.points[i].z = 0.25 * std::sin(0.001 * double(i) + pose);
            }
            poses.push_back((directory / ("pose_" + std::to_string(pose) + ".obj")).string());
            writeFile(poses.back(), formats::meshObj(posed));
        }
    }
    ~Shot() { std::filesystem::remove_all(directory); }

    static void writeFile(const std::string& path, const std::string& text) {
        std::FILE* file = std::fopen(path.c_str(), "wb");
        std::fwrite(text.data(), 1, text.size(), file);
        std::fclose(file);
    }
};

Shot& shot() {
    static Shot instance;
    return instance;
}

void ReadPosesWithTheReader(benchmark::State& state) {
    Shot& s = shot();
    std::vector<Point3> positions;
    formats::FileBytes bytes;
    for (auto _ : state) {
        for (const std::string& pose : s.poses) {
            formats::readObjPositions(pose, s.rest, positions, bytes);
            benchmark::DoNotOptimize(positions.data());
        }
    }
    state.SetItemsProcessed(state.iterations() * poseCount * int64_t(s.rest.points.size()));
}

// The rest mesh, read once per run before anything else can start: its
// faces parsed and kept.
void ReadRestMesh(benchmark::State& state) {
    Shot& s = shot();
    const std::string path = (s.directory / "rest.obj").string();
    for (auto _ : state) benchmark::DoNotOptimize(formats::readObj(path).points.data());
    state.SetItemsProcessed(state.iterations() * int64_t(s.rest.points.size()));
}

void ReadPosesAtTheFloor(benchmark::State& state) {
    Shot& s = shot();
    std::vector<Point3> positions;
    formats::FileBytes bytes;
    for (auto _ : state) {
        for (const std::string& pose : s.poses) {
            bytes.read(pose, "an OBJ file");
            const std::string_view text = bytes.text();
            positions.clear();
            const char* at = text.data();
            const char* const end = at + text.size();
            while (at < end) {
                const char* line = static_cast<const char*>(std::memchr(at, '\n', size_t(end - at)));
                const char* lineEnd = line != nullptr ? line : end;
                if (lineEnd - at > 2 && at[0] == 'v' && at[1] == ' ') {
                    double xyz[3];
                    const char* p = at + 2;
                    for (double& value : xyz) {
                        while (*p == ' ') ++p;
                        p = fast_float::from_chars(p, lineEnd, value).ptr;
                    }
                    positions.push_back({xyz[0], xyz[1], xyz[2]});
                }
                at = lineEnd + 1;
            }
            benchmark::DoNotOptimize(positions.data());
        }
    }
    state.SetItemsProcessed(state.iterations() * poseCount * int64_t(s.rest.points.size()));
}

BENCHMARK(ReadPosesWithTheReader)->Unit(benchmark::kMillisecond);
BENCHMARK(ReadPosesAtTheFloor)->Unit(benchmark::kMillisecond);
BENCHMARK(ReadRestMesh)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kestrin::bench

BENCHMARK_MAIN();

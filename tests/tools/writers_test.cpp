// How the tool writes its results: formats chosen by extension, numbered
// names, files that appear whole or not at all, colours and heat maps.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "files/atomic_file.h"
#include "files/colour_map.h"
#include "mesh/obj_reader.h"
#include "mesh/obj_writer.h"
#include "output_formats.h"
#include "picture/heat_map.h"
#include "picture/png_writer.h"
#include "output_names.h"
#include "pose_source.h"
#include "result_files.h"
#include "files/format_error.h"
#include "tool_error.h"
#include "tool_runner.h"

namespace kestrin::tool {
namespace {

using test::ScratchDirectory;

// 3---2
// | / |   two triangles and the square's corners
// 0---1
formats::MeshData square() {
    formats::MeshData mesh;
    mesh.points = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
    mesh.polygons.add({0, 1, 2});
    mesh.polygons.add({0, 2, 3});
    return mesh;
}

TEST(AtomicFile, LeavesOnlyTheFinishedFile) {
    ScratchDirectory scratch;
    formats::writeFileAtomically(scratch.file("a.csv"), "whole\n");
    EXPECT_EQ(scratch.entries(), std::vector<std::string>{"a.csv"});
    EXPECT_EQ(test::readText(scratch.file("a.csv")), "whole\n");
}

TEST(AtomicFile, FailureLeavesNothing) {
    ScratchDirectory scratch;
    EXPECT_THROW(formats::writeFileAtomically(scratch.file("missing/a.csv"), "x"), formats::FormatError);
    // A directory in the way of the rename: the temporary file goes again.
    std::filesystem::create_directory(scratch.file("taken"));
    std::filesystem::create_directory(scratch.file("taken/inside"));
    EXPECT_THROW(formats::writeFileAtomically(scratch.file("taken"), "x"), formats::FormatError);
    EXPECT_EQ(scratch.entries(), std::vector<std::string>{"taken"});
}

// A shot of `poses` poses of the square, read from a file in the scratch
// folder, and one pose's results as the writers see them.
struct SquareShot {
    SquareShot(ScratchDirectory& scratch, size_t poses)
        : rest(readSquare(scratch)), source(std::vector<std::string>(poses, rest.path), rest, FrameRange{}) {}
    static formats::MeshData readSquare(ScratchDirectory& scratch) {
        formats::writeFileAtomically(scratch.file("square.obj"), formats::meshObj(square()));
        return formats::readObj(scratch.file("square.obj"));
    }
    PoseResult pose(size_t index, const std::vector<float>& weights) const {
        return {index, source.number(index), rest, &weights, nullptr, {}};
    }
    formats::ObjMesh rest;
    PoseSource source;
};

TEST(ResultFiles, AnOutputThatCannotBeWrittenIsRefusedBeforeAnyWork) {
    ScratchDirectory scratch;
    formats::writeFileAtomically(scratch.file("w.csv"), "old\n");
    SquareShot shot(scratch, 1);
    EXPECT_THROW(ResultFiles({scratch.file("w.csv"), scratch.file("missing/w.ply")}, formats::OutputRole::weights,
                             shot.source, shot.rest, false, {}),
                 ToolError);
    EXPECT_EQ(test::readText(scratch.file("w.csv")), "old\n");
    EXPECT_EQ(scratch.entries(), (std::vector<std::string>{"square.obj", "w.csv"}));
}

TEST(ResultFiles, CommitPutsEveryFileInPlace) {
    ScratchDirectory scratch;
    formats::writeFileAtomically(scratch.file("w_0001.csv"), "old\n");
    SquareShot shot(scratch, 2);
    ResultFiles results({scratch.file("w_%04d.csv")}, formats::OutputRole::weights, shot.source, shot.rest, false, {});
    results.writePoseFiles(shot.pose(0, {0.f, 0.f, 0.f, 0.f}));
    results.writePoseFiles(shot.pose(1, {1.f, 0.f, 0.f, 0.f}));
    EXPECT_EQ(test::readText(scratch.file("w_0001.csv")), "old\n") << "nothing replaced before commit";
    results.commit();
    EXPECT_EQ(scratch.entries(), (std::vector<std::string>{"square.obj", "w_0001.csv", "w_0002.csv"}));
    EXPECT_EQ(test::readText(scratch.file("w_0001.csv")).substr(0, 12), "point,weight");
}

TEST(NumberedOutput, NumbersSeveralPosesAndFillsPatterns) {
    struct Case {
        std::string pattern;
        int number;
        bool sequence;
        std::string expected;
    };
    const Case cases[] = {
        {"out.csv", 1, false, "out.csv"},
        {"out.csv", 2, true, "out_0002.csv"},
        {"out.csv", 5, true, "out_0005.csv"},  // a one-frame chunk of a sequence
        {"dir/out.ply", 12, true, "dir/out_0012.ply"},
        {"frame_%04d.png", 7, false, "frame_0007.png"},
        {"f%d.obj", 42, true, "f42.obj"},
        {"100%%_%03d.csv", 5, true, "100%_005.csv"},
        {"w_####.csv", 7, true, "w_0007.csv"},
        {"w_#.csv", 7, true, "w_7.csv"},
        {"w.##.png", 123, true, "w.123.png"},
        {"take#2/w_###.obj", 4, false, "take#2/w_004.obj"},
        {"w%40d.csv", 7, false, "w" + std::string(39, ' ') + "7.csv"},
        {"w" + std::string(40, '#') + ".csv", 7, false, "w" + std::string(39, '0') + "7.csv"},
    };
    for (const Case& c : cases) EXPECT_EQ(numberedOutput(c.pattern, c.number, c.sequence), c.expected);
    EXPECT_THROW(numberedOutput("w%241d.csv", 1, false), ToolError);
    EXPECT_THROW(numberedOutput("out_%s.csv", 1, 1), ToolError);
    EXPECT_THROW(numberedOutput("%d_%d.csv", 1, 1), ToolError);
    EXPECT_THROW(numberedOutput("##_##.csv", 1, 1), ToolError);
    EXPECT_THROW(numberedOutput("##_%d.csv", 1, 1), ToolError);
}

TEST(OutputFormat, ByExtensionForWhatItCanHold) {
    using formats::OutputRole;
    EXPECT_STREQ(formats::outputFormat("A.PNG", OutputRole::weights).extension, ".png");
    EXPECT_STREQ(formats::outputFormat("a.ply", OutputRole::mesh).extension, ".ply");
    EXPECT_TRUE(formats::outputFormat("a.NPY", OutputRole::weights).wholeShot(OutputRole::weights));
    EXPECT_FALSE(formats::outputFormat("a.csv", OutputRole::weights).wholeShot(OutputRole::weights));
    // A refused extension is answered with exactly what the command writes.
    const struct {
        const char* path;
        OutputRole role;
        const char* listed;
    } refused[] = {
        {"a.txt", OutputRole::weights, "(use .csv, .ply, .png, .npy, .html, .exr, .glb)"},
        {"a.mdd", OutputRole::weights, "(use .csv, .ply, .png, .npy, .html, .exr, .glb)"},
        {"a.npy", OutputRole::mesh, "(use .ply, .obj, .mdd, .pc2, .html, .exr, .glb)"},
    };
    for (const auto& c : refused) {
        try {
            formats::outputFormat(c.path, c.role);
            ADD_FAILURE() << c.path << " taken";
        } catch (const formats::FormatError& error) {
            EXPECT_NE(std::string(error.what()).find(c.listed), std::string::npos) << error.what();
        }
    }
}

TEST(ResultFiles, ARefusedValueNamesTheOutputAndLeavesNothing) {
    ScratchDirectory scratch;
    SquareShot shot(scratch, 1);
    ResultFiles results({scratch.file("w.csv")}, formats::OutputRole::weights, shot.source, shot.rest, false, {});
    try {
        results.writePoseFiles(shot.pose(0, {0.f, NAN, 0.f, 0.f}));
        FAIL() << "wrote a NaN";
    } catch (const ToolError& error) {
        EXPECT_EQ(std::string(error.what()).rfind(scratch.file("w.csv") + ": point 1: weight", 0), 0u)
            << error.what();
    }
    EXPECT_EQ(scratch.entries(), std::vector<std::string>{"square.obj"});
}

TEST(ColourMap, DivergesFromWhiteAndScalesBeyondOne) {
    const formats::Rgb white = formats::divergingColour(0.0f, 1.0f);
    EXPECT_EQ(white.red + white.green + white.blue, 3 * 255);
    EXPECT_GT(formats::divergingColour(0.5f, 1.0f).red, formats::divergingColour(0.5f, 1.0f).blue);
    EXPECT_LT(formats::divergingColour(-0.5f, 1.0f).red, formats::divergingColour(-0.5f, 1.0f).blue);
    EXPECT_EQ(formats::colourRange({0.5f, -0.2f}), 1.0f);
    EXPECT_EQ(formats::colourRange({4.0f, -2.0f}), 4.0f);
}

TEST(HeatMap, DrawsStretchRedAndSquashBlueInsideTheImage) {
    // Left half squashed, right half stretched.
    formats::MeshData mesh = square();
    mesh.polygons.clear();
    mesh.polygons.add({0, 1, 2, 3});
    const formats::Image image = formats::renderHeatMap(mesh, {-1.0f, 1.0f, 1.0f, -1.0f}, 400, 300);
    ASSERT_EQ(image.pixels.size(), 400u * 300u * 3u);
    int reddish = 0;
    int bluish = 0;
    for (size_t i = 0; i < image.pixels.size(); i += 3) {
        const int r = image.pixels[i], b = image.pixels[i + 2];
        reddish += r > b + 60;
        bluish += b > r + 60;
    }
    EXPECT_GT(reddish, 2000);
    EXPECT_GT(bluish, 2000);
    const std::string png = formats::encodePng(image);
    EXPECT_EQ(png.substr(1, 3), "PNG");
}

// A picture says which frame it shows, top left; the legend's range labels
// sit beside the bar within its span, and a few rows past each end of the
// bar hold nothing of the legend (labels used to straddle the ends and run
// into the headings).
TEST(HeatMap, CaptionsTheFrameAndKeepsTheRangeLabelsBesideTheBar) {
    const int width = 400, height = 300;
    const formats::MeshData mesh = square();
    const std::vector<float> weights = {-1.0f, 1.0f, 1.0f, -1.0f};
    const formats::Image plain = formats::renderHeatMap(mesh, weights, width, height);
    const formats::Image captioned = formats::renderHeatMap(mesh, weights, width, height, nullptr, "frame 7");
    auto pixel = [&](const formats::Image& image, int x, int y) { return &image.pixels[(y * width + x) * 3]; };
    auto dark = [&](const formats::Image& image, int x, int y) { return pixel(image, x, y)[0] < 100 && pixel(image, x, y)[1] < 100; };
    auto blank = [&](const formats::Image& image, int x, int y) {
        const uint8_t* p = pixel(image, x, y);
        return p[0] == p[1] && p[1] == p[2] && p[0] == pixel(image, 0, height - 1)[0];
    };
    int captionInk = 0, plainInk = 0;
    for (int y = 0; y < 24; ++y) {
        for (int x = 0; x < 150; ++x) {
            captionInk += dark(captioned, x, y);
            plainInk += dark(plain, x, y);
        }
    }
    EXPECT_GT(captionInk, 40);
    EXPECT_EQ(plainInk, 0);

    // The bar: the longest run of drawn rows in a column through it.
    const int barLeft = width - 110, barColumn = barLeft + 12;
    int top = 0, bottom = 0;
    for (int y = 0, start = 0; y <= height; ++y) {
        if (y < height && !blank(plain, barColumn, y)) continue;
        if (y - start > bottom - top) top = start, bottom = y;
        start = y + 1;
    }
    ASSERT_GT(bottom - top, height / 2);
    for (int x = barLeft - 4; x < width; ++x) {
        for (int d = 1; d <= 3; ++d) {
            EXPECT_TRUE(blank(plain, x, top - d)) << "above the bar at " << x << ", " << top - d;
            EXPECT_TRUE(blank(plain, x, bottom - 1 + d)) << "below the bar at " << x << ", " << bottom - 1 + d;
        }
    }
    int upperLabel = 0, lowerLabel = 0;
    for (int x = barLeft + 26; x < width; ++x) {
        for (int d = 0; d < 16; ++d) {
            upperLabel += dark(plain, x, top + d);
            lowerLabel += dark(plain, x, bottom - 1 - d);
        }
    }
    EXPECT_GT(upperLabel, 10) << "+1 beside the bar's top";
    EXPECT_GT(lowerLabel, 10) << "-1 beside the bar's bottom";
}

}  // namespace
}  // namespace kestrin::tool

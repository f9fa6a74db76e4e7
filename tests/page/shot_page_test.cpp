// The shot page (kestrin ... -o shot.html): the writer's data layout, its
// size, and the demo's page opened in headless Chromium, where what it
// decodes, draws and shows must be the tool's own numbers.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "mesh/obj_reader.h"
#include "page/shot_page.h"
#include "files/colour_map.h"
#include "files/format_error.h"
#include "png_file.h"
#include "tool_runner.h"

namespace kestrin::test {
namespace {

using formats::ShotKind;
using formats::ShotPage;

// The JSON index the page carries after its data blocks.
nlohmann::json pageIndex(const std::string& path) {
    const std::string page = readText(path);
    const std::string opening = "<script type=\"application/json\" id=\"kestrin-shot\">";
    const size_t start = page.find(opening) + opening.size();
    return nlohmann::json::parse(page.substr(start, page.find("</script>", start) - start));
}

std::vector<float> csvWeights(const std::string& path) {
    std::vector<float> weights;
    const std::string text = readText(path);
    for (size_t line = text.find('\n'); line + 1 < text.size(); line = text.find('\n', line + 1)) {
        weights.push_back(std::strtof(text.c_str() + text.find(',', line) + 1, nullptr));
    }
    return weights;
}

std::vector<Point3> ring(size_t count, double scale) {
    std::vector<Point3> points(count);
    for (size_t i = 0; i < count; ++i) {
        points[i] = {scale * std::cos(i * 0.1), scale * std::sin(i * 0.1), 0.01 * static_cast<double>(i)};
    }
    return points;
}

// Positions and displacements are quantised unless a coordinate is not
// finite; equal weights in consecutive frames share one block; a frame that
// does not fit the mesh is refused; an unfinished page leaves no file.
TEST(ShotPageWriter, EncodesEachFrameByWhatItHolds) {
    ScratchDirectory scratch;
    const std::string path = scratch.file("shot.html");
    //   0---1
    //   |   |   one quad, split into two triangles
    //   3---2
    std::vector<Point3> withNan = ring(4, 1.0);
    withNan[2].y = NAN;
    const std::vector<float> weights = {0.5f, -0.25f, 0.0f, 1.5f};
    {
        formats::ShotPage page(path, ring(4, 1.0), {{0, 1, 2, 3}}, formats::ShotKind::weights, 30.0);
        page.addFrame(11, ring(4, 1.0), weights);
        page.addFrame(12, withNan, weights);
        page.addFrame(13, ring(4, 2.0), {});
        EXPECT_THROW(page.addFrame(14, ring(3, 1.0), weights), formats::FormatError);
        EXPECT_THROW(page.addFrame(14, ring(4, 1.0), weights, &withNan), formats::FormatError);
        page.addFrame(14, ring(4, 2.5), {0.5f, NAN, INFINITY, 0.0f});
        page.addFrame(15, ring(4, 2.5), {0.5f, NAN, 0.0f, 0.0f});
        page.finish();
    }
    const nlohmann::json index = pageIndex(path);
    EXPECT_EQ(index["kind"], "weights");
    EXPECT_EQ(index["points"], 4);
    EXPECT_EQ(index["triangles"]["count"], 2);
    EXPECT_EQ(index["rate"], 30.0);
    const nlohmann::json& frames = index["frames"];
    ASSERT_EQ(frames.size(), 5u);
    // A frame's codes are predicted by the last frame's only when both are
    // codes on the same footing.
    const std::vector<std::string> poses = {"u16 point", "f32 point", "u16 point", "u16 frame", "u16 frame"};
    const std::vector<std::string> weighted = {"i16 point", "i16 point", "", "f32 point", "i16 point"};
    for (size_t f = 0; f < frames.size(); ++f) {
        const auto coding = [](const nlohmann::json& entry) {
            return entry.is_null() ? std::string() : entry["encoding"].get<std::string>() + " " +
                                                         entry["predict"].get<std::string>();
        };
        EXPECT_EQ(coding(frames[f]["pose"]), poses[f]) << "frame " << f;
        EXPECT_EQ(coding(frames[f]["weights"]), weighted[f]) << "frame " << f;
    }
    EXPECT_EQ(frames[0]["weights"]["block"], frames[1]["weights"]["block"]);
    EXPECT_EQ(frames[0]["weights"]["range"], 1.5);
    EXPECT_TRUE(frames[2]["weights"].is_null());
    EXPECT_EQ(frames[2]["pose"]["max"][0], 2.0);
    EXPECT_EQ(frames[0]["frame"], 11);
    EXPECT_EQ(frames[2]["frame"], 13);

    const std::string morphPath = scratch.file("morph.html");
    {
        formats::ShotPage page(morphPath, ring(4, 1.0), {{0, 1, 2, 3}}, formats::ShotKind::morph);
        const std::vector<Point3> corrected = ring(4, 1.5);
        page.addFrame(1, ring(4, 1.0), {}, &corrected);
        page.addFrame(2, ring(4, 1.0), {}, &withNan);
        page.finish();
    }
    const nlohmann::json morphFrames = pageIndex(morphPath)["frames"];
    ASSERT_EQ(morphFrames.size(), 2u);
    EXPECT_EQ(morphFrames[0]["displacement"]["encoding"], "s16");
    EXPECT_EQ(morphFrames[0]["displacement"]["scale"][0], 0.5);  // point 0, the furthest along x
    EXPECT_EQ(morphFrames[0]["corrected"]["max"][0], 1.5);
    EXPECT_EQ(morphFrames[1]["displacement"]["encoding"], "f32");

    {
        formats::ShotPage unfinished(scratch.file("unfinished.html"), ring(3, 1.0), {{0, 1, 2}}, formats::ShotKind::morph);
        std::vector<Point3> corrected = ring(3, 1.5);
        unfinished.addFrame(1, ring(3, 1.0), {}, &corrected);
    }
    EXPECT_EQ(scratch.entries(), (std::vector<std::string>{"morph.html", "shot.html"}));
    EXPECT_THROW(formats::ShotPage(scratch.file("bad.html"), ring(3, 1.0), {{0, 1, 7}}, formats::ShotKind::weights),
                 formats::FormatError);
}

// A 500,000-point, 30-pose shot must stay under 100 MB: scaled up from a
// page a twenty-fifth that size (two triangles a point, as a closed quad
// mesh has), for weights and for a morph with a weight map (the same every
// frame), on a shot that moves a little from frame to frame as an
// animation does. The real size and opening time are bench/page's.
TEST(ShotPageWriter, StaysWithinTheSizeBudget) {
    ScratchDirectory scratch;
    const size_t points = 20000;
    Polygons quads;
    for (int32_t i = 0; i + 3 < static_cast<int32_t>(points); ++i) quads.add({i, i + 1, i + 2, i + 3});
    for (formats::ShotKind kind : {formats::ShotKind::weights, formats::ShotKind::morph}) {
        std::vector<uintmax_t> sizes;
        for (int frames : {1, 3}) {
            const std::string path = scratch.file("size.html");
            formats::ShotPage page(path, ring(points, 1.0), quads, kind);
            std::vector<float> weights(points);
            for (int f = 0; f < frames; ++f) {
                for (size_t i = 0; i < points; ++i) {
                    weights[i] = kind == formats::ShotKind::weights ? std::sin(0.001f * i + 0.1f * f) : 0.5f;
                }
                const std::vector<Point3> pose = ring(points, 1.0 + 0.01 * f);
                std::vector<Point3> corrected = pose;
                for (size_t i = 0; i < points; i += 3) corrected[i].z += 0.01 * std::sin(0.01 * i + f);
                page.addFrame(f + 1, pose, weights, kind == formats::ShotKind::morph ? &corrected : nullptr);
            }
            page.finish();
            sizes.push_back(std::filesystem::file_size(path));
        }
        const double perFrame = (sizes[1] - sizes[0]) / 2.0;
        const double once = static_cast<double>(sizes[0]) - perFrame;  // faces and viewer
        const double scale = 500000.0 / points;
        EXPECT_LT(once * scale + perFrame * scale * 30, 100e6)
            << "bytes per point per frame: " << perFrame / points;
    }
}

// 50,000 points: 300 frames fit the budget, 600 do not, nor 400 of three
// measures, and the warning says how many frames a page can hold and how to
// ask for them.
TEST(ShotPageWriter, WarnsOfAPageOverTheBudget) {
    formats::MeshData rest;
    rest.points.resize(50000);
    for (int32_t i = 0; i + 3 < 50000; i += 2) rest.polygons.add({i, i + 1, i + 3, i + 2});
    const formats::ShotLayout fits{rest, 300, {}, {}};
    const formats::ShotLayout over{rest, 600, {}, {}};
    EXPECT_EQ(formats::pageSizeWarning("shot.html", fits, ShotKind::weights), "");
    formats::ShotLayout measures{rest, 400, {}, {}};
    EXPECT_EQ(formats::pageSizeWarning("shot.html", measures, ShotKind::weights), "");
    measures.measures = {{"along", ""}, {"across", ""}, {"area", ""}};
    EXPECT_NE(formats::pageSizeWarning("shot.html", measures, ShotKind::weights), "");
    const std::string warning = formats::pageSizeWarning("shot.html", over, ShotKind::morph);
    EXPECT_NE(warning.find("shot.html: a page of 600 frames of 50000 points comes to about"), std::string::npos)
        << warning;
    EXPECT_NE(warning.find("--frames 1-"), std::string::npos) << warning;
}

std::string quoted(const std::string& text) { return "'" + text + "'"; }

// What drive_shot_page.js saw of the page (its results.json, written under
// `out` with its screenshots), the mouse placed by points `from` and `to`.
// `address`: what follows the page's name in its link, "#frame=12".
nlohmann::json browse(const std::string& page, const std::string& out, int from, int to,
                      const std::string& address = "") {
    std::filesystem::create_directory(out);
    const std::string command = std::string(KESTRIN_NODE) + " " + quoted(KESTRIN_PAGE_DRIVER) + " " +
                                quoted(KESTRIN_CHROMIUM) + " " + quoted(page) + " " + quoted(out) + " " +
                                std::to_string(from) + " " + std::to_string(to) + " " + quoted(address);
    if (std::system(command.c_str()) != 0) {
        ADD_FAILURE() << command;
        return nlohmann::json::object();
    }
    return nlohmann::json::parse(readText(out + "/results.json"));
}

// Pixels within `reach` of (x, y) whose colour passes `test`.
template <typename Test>
int pixelsNear(const unsigned char* image, int width, int height, double x, double y, int reach, Test test) {
    int found = 0;
    for (int py = std::max(0, int(y) - reach); py <= std::min(height - 1, int(y) + reach); ++py) {
        for (int px = std::max(0, int(x) - reach); px <= std::min(width - 1, int(x) + reach); ++px) {
            const unsigned char* p = image + (static_cast<size_t>(py) * width + px) * 3;
            found += test(p[0], p[1], p[2]) ? 1 : 0;
        }
    }
    return found;
}

bool reddish(int r, int g, int b) { return r > g + 30 && r > b + 25; }
bool bluish(int r, int g, int b) { return b > r + 30 && b > g + 10; }

TEST(ShotPageInBrowser, DemoPageShowsTheToolsNumbers) {
    if (!std::filesystem::exists(KESTRIN_CHROMIUM)) GTEST_SKIP() << "no Chromium at " KESTRIN_CHROMIUM;
    ScratchDirectory scratch;
    const ToolRun demo = runTool({"demo", "--out", scratch.file("demo")});
    ASSERT_EQ(demo.exitCode, 0) << demo.err;
    const auto demoFile = [&](const char* pattern, int frame) {
        char name[64];
        std::snprintf(name, sizeof name, pattern, frame);
        return scratch.file("demo/" + std::string(name));
    };
    const int frameCount = 5;
    std::vector<std::vector<float>> weights;
    for (int frame = 1; frame <= frameCount; ++frame) weights.push_back(csvWeights(demoFile("weights_%04d.csv", frame)));
    const std::vector<float>& last = weights.back();
    // The middle one of the points within 5 % of the most stretched (the
    // whole elbow's outside is as stretched as its first ring), and the same
    // for the most squashed: the elbow's middle ring.
    const auto middleOfMost = [&](float sign) {
        const float most = sign * *std::max_element(last.begin(), last.end(), [&](float a, float b) {
            return sign * a < sign * b;
        });
        std::vector<int> near;
        for (size_t i = 0; i < last.size(); ++i) {
            if (sign * last[i] >= 0.95f * most) near.push_back(static_cast<int>(i));
        }
        return near[near.size() / 2];
    };
    const int stretched = middleOfMost(1.0f);
    const int squashed = middleOfMost(-1.0f);

    const std::string out = scratch.file("browser");
    const nlohmann::json seen = browse(scratch.file("demo/shot.html"), out, stretched, squashed);
    ASSERT_TRUE(seen.contains("decoded"));
    EXPECT_EQ(seen["errors"], nlohmann::json::array());

    // What the page decoded: weights within half a step of their 16 bits on
    // the frame's colour range, positions within the quantisation's promise
    // of a thousandth of the box.
    const nlohmann::json& decoded = seen["decoded"];
    ASSERT_EQ(decoded["kind"], "morph");
    ASSERT_EQ(decoded["frames"].size(), static_cast<size_t>(frameCount));
    const auto weightStep = [&](int f) { return formats::colourRange(weights[f]) / 65534.0 * (1 + 0x1p-20); };
    for (int f = 0; f < frameCount; ++f) {
        const nlohmann::json& frame = decoded["frames"][f];
        ASSERT_EQ(frame["weights"].size(), last.size());
        for (size_t i = 0; i < last.size(); ++i) {
            ASSERT_NEAR(frame["weights"][i].get<double>(), weights[f][i], weightStep(f))
                << "frame " << f + 1 << " point " << i;
        }
        for (const char* part : {"pose", "corrected"}) {
            const formats::MeshData mesh = formats::readObj(
                demoFile(std::string(part) == "pose" ? "arm_pose_%04d.obj" : "corrected_%04d.obj", f + 1));
            double low[3] = {1e300, 1e300, 1e300}, high[3] = {-1e300, -1e300, -1e300};
            for (const Point3& p : mesh.points) {
                const double c[3] = {p.x, p.y, p.z};
                for (int a = 0; a < 3; ++a) low[a] = std::min(low[a], c[a]), high[a] = std::max(high[a], c[a]);
            }
            const double tolerance = 1e-3 * std::max({high[0] - low[0], high[1] - low[1], high[2] - low[2]});
            const nlohmann::json& values = frame[part];
            ASSERT_EQ(values.size(), mesh.points.size() * 3);
            for (size_t i = 0; i < mesh.points.size(); ++i) {
                const double c[3] = {mesh.points[i].x, mesh.points[i].y, mesh.points[i].z};
                for (int a = 0; a < 3; ++a) {
                    ASSERT_NEAR(values[i * 3 + a].get<double>(), c[a], tolerance) << part << " " << f + 1 << " " << i;
                }
            }
        }
    }

    // Each point's displacement as the page holds it: exactly 0 where the
    // tool's corrected mesh is its pose, elsewhere within 1/65534 of the
    // frame's largest move along each axis (and float32's rounding).
    std::vector<double> lastMoves;
    double lastTolerance[3] = {};
    for (int f = 0; f < frameCount; ++f) {
        const formats::MeshData pose = formats::readObj(demoFile("arm_pose_%04d.obj", f + 1));
        const formats::MeshData corrected = formats::readObj(demoFile("corrected_%04d.obj", f + 1));
        std::vector<double> moves;
        double tolerance[3] = {};
        for (size_t i = 0; i < pose.points.size(); ++i) {
            const Point3 &from = pose.points[i], &to = corrected.points[i];
            moves.insert(moves.end(), {to.x - from.x, to.y - from.y, to.z - from.z});
            for (int a = 0; a < 3; ++a) {
                tolerance[a] = std::max(tolerance[a], std::fabs(moves[i * 3 + a]) * (1.0 / 65534 + 0x1p-24));
            }
        }
        const nlohmann::json& values = decoded["frames"][f]["displacement"];
        ASSERT_EQ(values.size(), moves.size()) << "frame " << f + 1 << ": no displacement on the page";
        int still = 0;
        for (size_t i = 0; i < pose.points.size(); ++i) {
            const bool moved = moves[i * 3] != 0.0 || moves[i * 3 + 1] != 0.0 || moves[i * 3 + 2] != 0.0;
            still += moved ? 0 : 1;
            for (int a = 0; a < 3; ++a) {
                ASSERT_NEAR(values[i * 3 + a].get<double>(), moves[i * 3 + a], moved ? tolerance[a] : 0.0)
                    << "frame " << f + 1 << " point " << i << (moved ? "" : ", which did not move");
            }
        }
        EXPECT_GT(still, 0) << "frame " << f + 1 << " has points the morph leaves alone";
        lastMoves = moves;
        std::copy(tolerance, tolerance + 3, lastTolerance);
    }
    // The colours the page draws the last frame in are the tool's colour map
    // of the tool's weights (the PLY's and the PNG's), within one 8-bit step.
    const nlohmann::json& drawn = seen["weightColours"];
    ASSERT_EQ(drawn.size(), last.size() * 3);
    const float lastRange = formats::colourRange(last);
    for (size_t i = 0; i < last.size(); ++i) {
        const formats::Rgb tool = formats::divergingColour(last[i], lastRange);
        const int expected[3] = {tool.red, tool.green, tool.blue};
        for (int c = 0; c < 3; ++c) {
            ASSERT_NEAR(drawn[i * 3 + c].get<double>() * 255, expected[c], 1.0 + 1e-9)
                << "point " << i << " channel " << c;
        }
    }

    // Coloured by movement, the last frame's still points are white and the
    // ones that moved are not.
    const nlohmann::json& colours = seen["movedColours"];
    ASSERT_EQ(colours.size(), lastMoves.size());
    int white = 0, tinted = 0;
    for (size_t i = 0; i < lastMoves.size(); i += 3) {
        const bool moved = lastMoves[i] != 0.0 || lastMoves[i + 1] != 0.0 || lastMoves[i + 2] != 0.0;
        const bool isWhite = colours[i] == 1.0 && colours[i + 1] == 1.0 && colours[i + 2] == 1.0;
        if (!moved) {
            ASSERT_TRUE(isWhite) << "point " << i / 3 << " did not move and is coloured " << colours[i];
        }
        white += isWhite ? 1 : 0;
        tinted += moved && colours[i + 1].get<double>() < 0.9 ? 1 : 0;
    }
    EXPECT_GT(white, 0);
    EXPECT_GT(tinted, 0);

    // The slider moved the frame, and the point under the mouse reads as the
    // CSV of the frame shown.
    EXPECT_EQ(seen["last"]["frame"], "frame 5 of 1-5");
    EXPECT_EQ(seen["before"]["frame"], "frame 4 of 1-5");
    EXPECT_EQ(seen["first"]["frame"], "frame 1 of 1-5");
    for (const auto& [state, frame] : {std::pair{"last", 5}, std::pair{"before", 4}}) {
        const nlohmann::json& shown = seen[state];
        ASSERT_TRUE(shown["point"].is_string()) << state << ": no point under the mouse";
        const int point = std::stoi(shown["point"].get<std::string>());
        // Its text rounded to the last digit the page holds.
        EXPECT_NEAR(std::strtod(shown["weight"].get<std::string>().c_str(), nullptr), weights[frame - 1][point],
                    weightStep(frame - 1) + 1e-5)
            << state << ": point " << point << " shows " << shown["weight"];
    }
    EXPECT_GT(std::strtof(seen["last"]["weight"].get<std::string>().c_str(), nullptr), 0.05f)
        << "the mouse was on the stretched side of the elbow";
    // ...and how far it moved.
    const size_t under = std::stoul(seen["last"]["point"].get<std::string>()) * 3;
    const double moved = std::hypot(lastMoves[under], lastMoves[under + 1], lastMoves[under + 2]);
    EXPECT_NEAR(std::strtod(seen["last"]["moved"].get<std::string>().c_str(), nullptr), moved,
                std::hypot(lastTolerance[0], lastTolerance[1], lastTolerance[2]) + moved * 0x1p-23);

    // What it drew: the last frame red outside the elbow and blue inside; the
    // first frame, at rest, neither.
    const RgbImage lastPicture = readPng(out + "/last.png");
    ASSERT_FALSE(lastPicture.rgb.empty());
    const unsigned char* lastImage = lastPicture.rgb.data();
    const int width = lastPicture.width, height = lastPicture.height;
    const double sx = seen["stretchAt"]["x"], sy = seen["stretchAt"]["y"];
    const double qx = seen["squashAt"]["x"], qy = seen["squashAt"]["y"];
    // The two points lie on the outline, so much of each square is background
    // or shaded dark.
    EXPECT_GT(pixelsNear(lastImage, width, height, sx, sy, 12, reddish), 30);
    EXPECT_EQ(pixelsNear(lastImage, width, height, sx, sy, 12, bluish), 0);
    EXPECT_GT(pixelsNear(lastImage, width, height, qx, qy, 12, bluish), 30);
    EXPECT_EQ(pixelsNear(lastImage, width, height, qx, qy, 12, reddish), 0);
    const RgbImage firstPicture = readPng(out + "/first.png");
    ASSERT_EQ(firstPicture.width, width);
    ASSERT_EQ(firstPicture.height, height);
    const unsigned char* firstImage = firstPicture.rgb.data();
    // The mesh's area: left of the legend, between the readout and the controls.
    const auto heat = [](int r, int g, int b) { return reddish(r, g, b) || bluish(r, g, b); };
    EXPECT_EQ(pixelsNear(firstImage, width, height, 320, 260, 170, heat), 0);
}

// A page of three measures: its menu lists them with their help, and
// choosing one colours every point as that measure's page of its own does,
// the legend, the readout and the address naming it. A grid stretched
// along x more the further up it lies, squashed along y more the further
// right, so that the three differ point by point.
TEST(ShotPageInBrowser, MeasureMenuShowsEachMeasureAsItsOwnPageDoes) {
    if (!std::filesystem::exists(KESTRIN_CHROMIUM)) {
        if (std::getenv("CI") != nullptr) FAIL() << "no Chromium at " KESTRIN_CHROMIUM;
        GTEST_SKIP() << "no Chromium at " KESTRIN_CHROMIUM;
    }
    ScratchDirectory scratch;
    const int side = 12;
    const auto gridObj = [&](double f) {
        std::string text;
        for (int row = 0; row < side; ++row) {
            for (int column = 0; column < side; ++column) {
                const double x = column * (1.0 + 0.04 * f * row), y = row * (1.0 - 0.04 * f * column);
                text += "v " + std::to_string(x) + " " + std::to_string(y) + " 0\n";
            }
        }
        for (int row = 1; row < side; ++row) {
            for (int column = 1; column < side; ++column) {
                const int at = row * side + column + 1;
                text += "f " + std::to_string(at - side - 1) + " " + std::to_string(at - side) + " " +
                        std::to_string(at) + " " + std::to_string(at - 1) + "\n";
            }
        }
        return text;
    };
    std::vector<std::string> arguments = {"weights", "--rest", "rest.obj", "--axis", "1,0,0", "--pose"};
    writeText(scratch.file("rest.obj"), gridObj(0.0));
    for (int f = 1; f <= 3; ++f) {
        writeText(scratch.file("pose_" + std::to_string(f) + ".obj"), gridObj(f));
        arguments.push_back("pose_" + std::to_string(f) + ".obj");
    }
    const std::vector<std::string> measures = {"along", "across", "area"};
    std::vector<std::string> pages = {scratch.file("all.html")};
    std::vector<std::string> all = arguments;
    for (const std::string& measure : measures) {
        all.insert(all.end(), {"--direction", measure});
        std::vector<std::string> alone = arguments;
        alone.insert(alone.end(), {"--direction", measure, "-o", measure + ".html"});
        ASSERT_EQ(runTool(alone, scratch.path()).exitCode, 0) << measure;
        pages.push_back(scratch.file(measure + ".html"));
    }
    all.insert(all.end(), {"-o", "all.html"});
    const ToolRun run = runTool(all, scratch.path());
    ASSERT_EQ(run.exitCode, 0) << run.err;

    const std::string out = scratch.file("browser");
    std::filesystem::create_directory(out);
    std::string command = std::string(KESTRIN_NODE) + " " + quoted(KESTRIN_MENU_DRIVER) + " " +
                          quoted(KESTRIN_CHROMIUM) + " " + quoted(out) + " '#frame=3' " +
                          std::to_string(side * side / 2 + side / 2);
    for (const std::string& page : pages) command += " " + quoted(page);
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    const nlohmann::json seen = nlohmann::json::parse(readText(out + "/results.json"));
    EXPECT_EQ(seen["errors"], nlohmann::json::array());
    EXPECT_TRUE(seen["menuVisible"]);
    ASSERT_EQ(seen["options"].size(), measures.size());
    ASSERT_EQ(seen["shown"].size(), measures.size());
    for (size_t m = 0; m < measures.size(); ++m) {
        const nlohmann::json& option = seen["options"][m];
        const nlohmann::json& shown = seen["shown"][m];
        const nlohmann::json& alone = seen["alone"][m];
        EXPECT_EQ(option["name"], measures[m]);
        EXPECT_EQ(option["label"], measures[m]);
        EXPECT_FALSE(option["help"].get<std::string>().empty()) << measures[m];
        EXPECT_EQ(shown["measure"], measures[m]);
        EXPECT_EQ(shown["legend"], measures[m]);
        EXPECT_NE(shown["readout"].get<std::string>().find(measures[m] + " "), std::string::npos) << shown["readout"];
        EXPECT_EQ(shown["address"], "#frame=3&measure=" + measures[m]);
        EXPECT_FALSE(alone["menuVisible"]) << "a page of one measure has no menu";
        ASSERT_EQ(shown["colours"].size(), static_cast<size_t>(side * side * 3));
        EXPECT_EQ(shown["colours"], alone["colours"]) << measures[m] << " differs from its own page";
        if (m > 0) {
            EXPECT_NE(shown["colours"], seen["shown"][m - 1]["colours"]) << "the measures should differ";
        }
    }
}

// A grid 100 units across, frames 11-13, each frame raised a little; in the
// last one corner moved 0.013, small beside the grid's box: every other
// point reads exactly no movement and stays white, the corner reads its move
// within 1/65534 of it on each axis and takes the full colour. Opened by a
// link to frame 12, the page shows frame 12 and keeps its address on the
// frame shown.
TEST(ShotPageInBrowser, OpensAtTheLinkedFrameAndShowsStillPointsStill) {
    if (!std::filesystem::exists(KESTRIN_CHROMIUM)) GTEST_SKIP() << "no Chromium at " KESTRIN_CHROMIUM;
    ScratchDirectory scratch;
    const int side = 30;
    std::vector<Point3> grid;
    Polygons quads;
    for (int row = 0; row < side; ++row) {
        for (int column = 0; column < side; ++column) {
            grid.push_back({100.0 * column / (side - 1), 100.0 * row / (side - 1), 0.5 * std::sin(row + column)});
            if (row > 0 && column > 0) {
                const int32_t at = row * side + column;
                quads.add({at - side - 1, at - side, at, at - 1});
            }
        }
    }
    const double move[3] = {-0.0078, -0.0104, 0.0};  // 0.013 out of the grid's box
    const std::string path = scratch.file("still.html");
    {
        ShotPage page(path, grid, quads, ShotKind::morph);
        for (int frame = 11; frame <= 13; ++frame) {
            std::vector<Point3> pose = grid;
            for (Point3& p : pose) p.y += 10.0 * (frame - 11);
            std::vector<Point3> corrected = pose;
            if (frame == 13) corrected[0] = {pose[0].x + move[0], pose[0].y + move[1], pose[0].z + move[2]};
            page.addFrame(frame, pose, {}, &corrected);
        }
        page.finish();
    }
    const nlohmann::json seen = browse(path, scratch.file("browser"), 0, side * side - 1, "#frame=12");
    ASSERT_TRUE(seen.contains("decoded"));
    EXPECT_EQ(seen["errors"], nlohmann::json::array());

    // Opened at frame 12: labelled so, drawn where frame 12 draws (the
    // driver's "before" is the frame before the last), and the address
    // follows the slider.
    EXPECT_EQ(seen["opened"]["frame"], "frame 12 of 11-13");
    EXPECT_EQ(seen["opened"]["index"], 1);
    EXPECT_EQ(seen["opened"]["at"], seen["before"]["at"]);
    EXPECT_NE(seen["opened"]["at"], seen["last"]["at"]);
    EXPECT_EQ(seen["last"]["address"], "#frame=13");
    EXPECT_EQ(seen["first"]["address"], "#frame=11");

    // Counts the points past the corner that `values` shows moving.
    const auto moving = [&](const nlohmann::json& values, double still) {
        int count = 0;
        for (size_t i = 3; i < values.size(); i += 3) {
            count += values[i] != still || values[i + 1] != still || values[i + 2] != still ? 1 : 0;
        }
        return count;
    };
    const nlohmann::json& colours = seen["movedColours"];
    ASSERT_EQ(colours.size(), grid.size() * 3);
    EXPECT_EQ(moving(colours, 1.0), 0) << "points coloured as moving that did not move";
    const nlohmann::json& displacement = seen["decoded"]["frames"][2]["displacement"];
    ASSERT_EQ(displacement.size(), grid.size() * 3);
    EXPECT_EQ(moving(displacement, 0.0), 0) << "points read as moving that did not move";
    for (int a = 0; a < 3; ++a) {
        EXPECT_NEAR(displacement[a].get<double>(), move[a], std::fabs(move[a]) * (1.0 / 65534 + 0x1p-24)) << a;
    }
    const int movedEnd[3] = {84, 39, 143};  // the viewer's colour of the largest move
    for (int c = 0; c < 3; ++c) EXPECT_EQ(std::lround(colours[c].get<double>() * 255), movedEnd[c]) << c;
}

}  // namespace
}  // namespace kestrin::test

// Grainmark through the host simulator: its channels and panel, its one
// measure at a time, its "GrainData" block, and degenerate meshes that must
// reach the host as finite weights. The values themselves are held to an
// independent reference in tests/python/test_grainmark.py.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "../../grainmark/instance.h"
#include "host.h"
#include "messages.h"
#include "plugins.h"

namespace kestrin::test {

// The meshes Strainmark's tests measure (strainmark_fixture.cpp).
host::Mesh gridMesh(int columns, int rows);
host::Mesh cubeMesh();

namespace {

using ::testing::ElementsAre;

class GrainmarkTest : public ::testing::Test {
protected:
    host::Host host;
    int module = -1;
    HostHandle item = 0;

    void SetUp() override {
        module = loadPlugin(host, grainmarkPath);
        host.send(module, 0, MSG_INTERFACE, INTERFACE_BUILD);
    }
    void TearDown() override {
        for (const host::SceneObject& object : host.scene.objects()) {
            if (host.typeData(module, object.id) != nullptr) host.send(module, object.id, MSG_OBJECT, OBJ_DESTROY);
        }
    }
    HostHandle addInstance(host::Mesh mesh, const std::string& name = "Mesh") {
        item = host.scene.addObject(name, std::move(mesh));
        host.send(module, item, MSG_OBJECT, OBJ_CREATE);
        return item;
    }
    const GrainInstance* record() const { return static_cast<const GrainInstance*>(host.typeData(module, item)); }
    const host::Control& control(const std::string& label) {
        const host::Control* found = host.controls.find(module, label);
        EXPECT_NE(found, nullptr) << label;
        return *found;
    }
    void tick(const std::string& label, int32_t value) { host.changeControl(control(label).id, item, value); }
    bool shownTicked(const std::string& label) {
        host.refreshControl(control(label).id, item);
        return control(label).intValue != 0;
    }
    std::vector<float> weights() {
        return host.scene.weightMap(host.computeWeights(module, item, "Grain"))->values;
    }
};

const char* const measureLabels[] = {"Along Axis", "Across Axis", "Area", "Most Stretched", "Most Squashed"};

// Channels 0-4 are Strainmark's, 5-7 the axis (0, 1, 0); the panel has a
// control for each, Strainmark's check boxes, then one box per measure, of
// which one is ticked at a time and unticking it keeps it chosen.
TEST_F(GrainmarkTest, ChannelsPanelAndMeasureBoxes) {
    addInstance(gridMesh(1, 1));
    const std::vector<std::pair<std::string, double>> channels = {
        {"Exponent", 0.2}, {"Pre Multiplier", 0.5}, {"Post Multiplier", 0.5}, {"Stretch Multi", 0.5},
        {"Squash Multi", 0.5}, {"Axis X", 0.0}, {"Axis Y", 1.0}, {"Axis Z", 0.0}};
    for (int32_t index = 0; index < int32_t(channels.size()); ++index) {
        const host::Channel* channel = host.channels.find(module, item, index);
        ASSERT_NE(channel, nullptr) << index;
        EXPECT_EQ(channel->name, channels[index].first);
        EXPECT_EQ(channel->value, channels[index].second) << channel->name;
        EXPECT_NE(channel->link, nullptr) << channel->name;
    }
    for (const char* label : {"Exponent", "Pre Multi", "Axis X", "Axis Z", "Clamp", "Only Positive"}) control(label);

    EXPECT_EQ(record()->measure, GRAIN_ALONG);
    EXPECT_TRUE(shownTicked("Along Axis"));
    for (int32_t measure = 0; measure < GRAIN_MEASURE_COUNT; ++measure) {
        tick(measureLabels[measure], 1);
        EXPECT_EQ(record()->measure, measure);
        for (int32_t other = 0; other < GRAIN_MEASURE_COUNT; ++other) {
            EXPECT_EQ(shownTicked(measureLabels[other]), other == measure) << measureLabels[other];
        }
    }
    tick("Most Squashed", 0);
    EXPECT_EQ(record()->measure, GRAIN_MOST_SQUASHED);
    host.controlEvent(control("Area").id, item, CONTROL_CHANGED | (uint64_t{1} << 32));
    EXPECT_EQ(record()->measure, GRAIN_MOST_SQUASHED);
}

// The block of its own, in order: Strainmark's check boxes in their saved
// positions, the measure, the exponent and multipliers. A fresh instance
// loads it whole; a load drops the rest state; a block without the measure,
// or with one that names none, leaves the one chosen.
TEST_F(GrainmarkTest, GrainDataSavesAndLoadsTheSettings) {
    addInstance(cubeMesh(), "Saved");
    tick("Clamp", 0);
    tick("Only Positive", 1);
    tick("Across Axis", 1);
    host.channels.set(item, "Exponent", 0.35);
    host.channels.set(item, "Pre Multiplier", 0.8);
    host::SettingsContext saved;
    host.log.clear();
    host.saveInstance(module, item, saved);
    EXPECT_THAT(host.log.texts(),
                ElementsAre("fxObjectGetTypeData(" + std::to_string(item) + ", 0)",
                            "fxFormatNew(&, \"GrainData\", 0)", "fxArgSaveInt(&, \"positive\", 1, 0)",
                            "fxArgSaveInt(&, \"switch_mode\", 0, 0)", "fxArgSaveInt(&, \"clamp_values\", 0, 0)",
                            "fxArgSaveInt(&, \"measure\", 1, 0)", "fxArgSaveDouble(&, \"lag\", 0.35, 0)",
                            "fxArgSaveDouble(&, \"multiplier1\", 0.8, 0)",
                            "fxArgSaveDouble(&, \"multiplier2\", 0.5, 0)"));

    addInstance(cubeMesh(), "Loaded");
    weights();
    ASSERT_EQ(record()->captured, 1);
    host.loadInstance(module, item, saved);
    EXPECT_EQ(record()->captured, 0);
    EXPECT_EQ(record()->clampValues, 0);
    EXPECT_EQ(record()->onlyPositive, 1);
    EXPECT_EQ(record()->measure, GRAIN_ACROSS);
    EXPECT_EQ(record()->exponent, 0.35);
    EXPECT_EQ(record()->preMultiplier, 0.8);

    for (int32_t bad : {9, -1}) {
        host::SettingsContext damaged = saved;
        for (host::SavedValue& value : damaged.block("GrainData")->values) {
            if (value.key == "measure") value.intValue = bad;
        }
        host.loadInstance(module, item, damaged);
        EXPECT_EQ(record()->measure, GRAIN_ACROSS) << bad;
    }

    host::SettingsContext empty;
    host.loadInstance(module, item, empty);
    EXPECT_EQ(record()->clampValues, 1) << "ticked by default, so ticked again by the reset";
    EXPECT_EQ(record()->measure, GRAIN_ACROSS);
}

// Meshes and axes with nothing to measure: each point reads unchanged (0
// with the defaults), never not-a-number, for every measure. A zero-area
// rest triangle next to a good one leaves the good one's reading alone.
TEST_F(GrainmarkTest, DegenerateInputReadsUnchangedForEveryMeasure) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        const char* what;
        host::Mesh mesh;
        std::vector<Point3> pose;  // empty: the rest shape stretched 1.5 along x
        Point3 axis;
        std::vector<int> measured;  // points with a triangle: the others read 0 whatever the measure
    };
    const std::vector<int> nine = {0, 1, 2, 3, 4, 5, 6, 7, 8};
    // 2           the lone triangle 0 1 2 and a line 0 3 4 of no area, a
    // | \         point 5 used by no polygon, a polygon with a corner out of
    // 0--1  3  4  range and one of two points
    const host::Mesh mixed({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {2, 0, 0}, {3, 0, 0}, {5, 5, 5}},
                           {{0, 1, 2}, {0, 3, 4}, {1, 3, 9}, {3, 4}});
    std::vector<Case> cases = {
        {"zero-area and stray polygons", mixed, {}, {1, 0, 0}, {0, 1, 2}},
        {"axis along the normal", gridMesh(2, 2), {}, {0, 0, 1}, nine},
        {"zero axis", gridMesh(2, 2), {}, {0, 0, 0}, nine},
        {"axis not a number", gridMesh(2, 2), {}, {nan, 0, 0}, nine},
        {"axis of huge numbers, still x", gridMesh(2, 2), {}, {1e300, 0, 0}, nine},
        {"pose not a number", gridMesh(1, 1), {{nan, 0, 0}, {nan, 0, 0}, {nan, 0, 0}, {nan, 0, 0}}, {1, 0, 0}, {}},
        {"all points at one place at rest",
         host::Mesh({{1, 1, 1}, {1, 1, 1}, {1, 1, 1}}, {{0, 1, 2}}), {}, {1, 0, 0}, {}},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.what);
        addInstance(c.mesh, c.what);
        host::Mesh& mesh = host.scene.object(item)->mesh;
        if (c.pose.empty()) {
            for (const Point3& p : mesh.base()) c.pose.push_back({1.5 * p.x, p.y, p.z});
        }
        mesh.setCurrent(c.pose);
        host.channels.set(item, "Axis X", c.axis.x);
        host.channels.set(item, "Axis Y", c.axis.y);
        host.channels.set(item, "Axis Z", c.axis.z);
        const bool axisLess = !(std::fabs(c.axis.x) + std::fabs(c.axis.y) > 0.0);
        for (int32_t measure = 0; measure < GRAIN_MEASURE_COUNT; ++measure) {
            SCOPED_TRACE(measureLabels[measure]);
            tick(measureLabels[measure], 1);
            const std::vector<float> w = weights();
            for (int point = 0; point < int(w.size()); ++point) {
                ASSERT_TRUE(std::isfinite(w[point])) << point;
                const bool read = std::count(c.measured.begin(), c.measured.end(), point) > 0;
                const bool axisMeasure = measure == GRAIN_ALONG || measure == GRAIN_ACROSS;
                // The axis (0, 0, 1) lies along the grid's normal.
                if (!read || (axisMeasure && axisLess)) {
                    EXPECT_EQ(w[point], 0.0f) << point;
                }
            }
            const bool stretched = measure == GRAIN_AREA || measure == GRAIN_MOST_STRETCHED ||
                                   (measure == GRAIN_ALONG && !axisLess);
            if (!c.measured.empty() && stretched) {
                EXPECT_GT(w[c.measured[0]], 0.1f) << "the triangle stretched along x";
            }
        }
    }
}

// Point numbers the captured mesh has not: 0 writes nothing, a number past
// the points writes 0; the rest state is built all the same.
TEST_F(GrainmarkTest, PointNumbersOutsideTheMeshWriteNothingOrZero) {
    addInstance(gridMesh(1, 1));
    host.weightScan.pointNumbers = {0, -3, 1, 9};
    host.log.clear();
    host.computeWeights(module, item, "Grain");
    std::vector<std::string> writes;
    for (const host::WeightWrite& write : host.weightScan.writes) {
        writes.push_back(std::to_string(write.point) + "=" + std::to_string(write.weight));
    }
    EXPECT_THAT(writes, ElementsAre("0=0.000000", "8=0.000000"));
    EXPECT_EQ(record()->captured, 1);
}

}  // namespace
}  // namespace kestrin::test

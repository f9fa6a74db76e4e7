// Strainmark's weights, computed through the simulator, equal the direct
// computation's (bit for bit where doubles are evaluated at their own
// precision, same_values.h) on every benchmark mesh kind and under settings
// that exercise each branch of the formula. The benchmarks' ratios are only
// meaningful while this holds.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host.h"
#include "meshes.h"
#include "messages.h"
#include "plugins.h"
#include "reference.h"
#include "same_values.h"

namespace kestrin::bench {
namespace {

struct Setting {
    const char* name;
    WeightSettings settings;
};

std::vector<Setting> settingsTable() {
    std::vector<Setting> table;
    table.push_back({"defaults", WeightSettings()});
    WeightSettings shaped;
    shaped.exponent = 0.35;
    shaped.preMultiplier = 0.8;
    shaped.postMultiplier = 0.6;
    shaped.stretchMultiplier = 0.7;
    shaped.squashMultiplier = 0.3;
    table.push_back({"every multiplier and the exponent", shaped});
    WeightSettings unclamped;
    unclamped.clampValues = 0;
    unclamped.preMultiplier = unclamped.postMultiplier = 1.0;
    table.push_back({"clamp off", unclamped});
    WeightSettings switched;
    switched.switchMode = 1;
    switched.onlyPositive = 1;
    table.push_back({"switch and only positive", switched});
    WeightSettings flat;
    flat.exponent = 0.0;
    table.push_back({"exponent 0", flat});
    return table;
}

std::vector<MeshData> meshTable() {
    return {quadGrid(31, 29), triangulatedSphere(1500), fan(400), gridWithIsolatedPoints(400, 300)};
}

class StrainmarkMatchesReference : public ::testing::Test {
protected:
    void SetUp() override {
        module = test::loadPlugin(host, test::strainmarkPath);
        ASSERT_GE(module, 0);
        // Thousands of calls per scan: not recorded.
        host.log.enable(false);
        host.send(module, 0, MSG_INTERFACE, INTERFACE_BUILD);
    }

    HostHandle control(const char* label) {
        const host::Control* found = host.controls.find(module, label);
        EXPECT_NE(found, nullptr) << label;
        return found != nullptr ? found->id : 0;
    }

    // Sets the instance on item to `s` through its channels and toggles.
    void apply(HostHandle item, const WeightSettings& s) {
        EXPECT_TRUE(host.channels.set(module, item, "Exponent", s.exponent));
        EXPECT_TRUE(host.channels.set(module, item, "Pre Multiplier", s.preMultiplier));
        EXPECT_TRUE(host.channels.set(module, item, "Post Multiplier", s.postMultiplier));
        EXPECT_TRUE(host.channels.set(module, item, "Stretch Multi", s.stretchMultiplier));
        EXPECT_TRUE(host.channels.set(module, item, "Squash Multi", s.squashMultiplier));
        host.changeControl(control("Clamp"), item, s.clampValues);
        host.changeControl(control("Squash/Stretch switch"), item, s.switchMode);
        host.changeControl(control("Only Positive"), item, s.onlyPositive);
    }

    host::Host host;
    int module = -1;
};

TEST_F(StrainmarkMatchesReference, WeightsEqualTheDirectOnes) {
    for (const MeshData& mesh : meshTable()) {
        const HostHandle item = host.scene.addObject(mesh.name, toHostMesh(mesh, true));
        host.send(module, item, MSG_OBJECT, OBJ_CREATE);

        const Neighbours neighbours = buildNeighbours(mesh);
        std::vector<double> rest(mesh.pointCount());
        meanEdgeLengths(neighbours, mesh.rest.data(), rest.data());

        for (const Setting& setting : settingsTable()) {
            SCOPED_TRACE(mesh.name + ", " + setting.name);
            apply(item, setting.settings);
            const HostHandle map = host.computeWeights(module, item, "tension");
            const std::vector<float>& got = host.scene.weightMap(map)->values;
            std::vector<float> expected(mesh.pointCount());
            tensionWeights(neighbours, rest.data(), mesh.pose.data(), setting.settings,
                           expected.data());
            ASSERT_EQ(got.size(), expected.size());
            // The pose stretches some regions and squashes others.
            int32_t stretched = 0, squashed = 0;
            for (float w : expected) {
                stretched += w > 0.0f;
                squashed += w < 0.0f;
            }
            EXPECT_GT(stretched + squashed, mesh.pointCount() / 5);
            int32_t differing = 0, first = -1;
            for (size_t i = 0; i < got.size(); ++i) {
                if (!sameValue(got[i], expected[i])) {
                    if (first < 0) first = static_cast<int32_t>(i);
                    ++differing;
                }
            }
            EXPECT_EQ(differing, 0) << "first at point " << first << ": " << got[first]
                                    << " instead of " << expected[first];
        }
        host.send(module, item, MSG_OBJECT, OBJ_DESTROY);
    }
}

}  // namespace
}  // namespace kestrin::bench

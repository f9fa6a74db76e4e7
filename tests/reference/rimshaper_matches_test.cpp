// Rimshaper's displaced positions, computed through the simulator with the
// real tangent-space provider, equal the direct computation's (bit for bit
// where doubles are evaluated at their own precision, same_values.h) when it
// is given the same frames: on every benchmark mesh kind, with and
// without a weight map, under settings that reach each branch.
#include <math.h>
#include <string.h>

#include <array>
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

// The provider's published functions, typed as the effect calls them.
struct TangentFunctions {
#define TANGENT_FUNCTION(name) HostFunction name = nullptr;
#define TANGENT_CALL(name, result, parameters) result(*name) parameters = nullptr;
#include "tangent_functions.def"
};

struct Setting {
    const char* name;
    MorphSettings settings;
};

std::vector<Setting> settingsTable() {
    std::vector<Setting> table;
    table.push_back({"defaults", MorphSettings()});
    MorphSettings shaped;
    shaped.exponent = 0.15;
    shaped.preMultiplier = 0.9;
    shaped.postMultiplier = 0.4;
    shaped.stretchMultiplier = 0.8;
    shaped.squashMultiplier = 0.35;
    table.push_back({"every multiplier and the exponent", shaped});
    MorphSettings flat;
    flat.exponent = 0.0;
    table.push_back({"exponent 0", flat});
    return table;
}

// A target that differs from the rest shape by a different offset at every
// point, so that each frame turns its own offset.
std::vector<Point3> wobbledTarget(const MeshData& mesh, double amount) {
    std::vector<Point3> target(mesh.rest);
    for (size_t i = 0; i < target.size(); ++i) {
        target[i].x += amount * sin(0.7 * i);
        target[i].y += amount * cos(1.3 * i);
        target[i].z += amount;
    }
    return target;
}

class RimshaperMatchesReference : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(host.provider.load(test::tangentSpacePath, &error)) << error;
        module = test::loadPlugin(host, test::rimshaperPath);
        ASSERT_GE(module, 0);
        host.log.enable(false);
        host.linkModules();
        host.send(module, 0, MSG_INTERFACE, INTERFACE_BUILD);
#define TANGENT_FUNCTION(name) \
    tangent.name = reinterpret_cast<decltype(tangent.name)>(host.lookup(#name, BIND_PUBLISHED));
#include "tangent_functions.def"
        ASSERT_NE(tangent.useful_TangentGetMatrix, nullptr);
    }

    HostHandle control(const char* label) {
        const host::Control* found = host.controls.find(module, label);
        EXPECT_NE(found, nullptr) << label;
        return found != nullptr ? found->id : 0;
    }

    void apply(HostHandle item, const MorphSettings& s) {
        EXPECT_TRUE(host.channels.set(module, item, "Exponent", s.exponent));
        EXPECT_TRUE(host.channels.set(module, item, "Pre Multiplier", s.preMultiplier));
        EXPECT_TRUE(host.channels.set(module, item, "Post Multiplier", s.postMultiplier));
        EXPECT_TRUE(host.channels.set(module, item, "Stretch Multi", s.stretchMultiplier));
        EXPECT_TRUE(host.channels.set(module, item, "Squash Multi", s.squashMultiplier));
    }

    // The provider's frames for the item's mesh as it is now, 16 doubles a
    // point, from a tangent space of the test's own.
    std::vector<double> frames(HostHandle item) {
        TangentSpaceHandle space = tangent.useful_CreateTangentSpace(item, 77);
        tangent.useful_TangentSpaceCalculate(space);
        const int32_t n = host.scene.object(item)->mesh.pointCount();
        std::vector<double> result(16 * static_cast<size_t>(n));
        for (int32_t i = 0; i < n; ++i) tangent.useful_TangentGetMatrix(space, i, &result[16 * i]);
        return result;
    }

    host::Host host;
    int module = -1;
    TangentFunctions tangent;
};

TEST_F(RimshaperMatchesReference, DisplacedPositionsEqualTheDirectOnes) {
    for (const MeshData& mesh : {quadGrid(23, 21), triangulatedSphere(900), fan(300),
                                 gridWithIsolatedPoints(300, 200)}) {
        const int32_t n = mesh.pointCount();
        const std::vector<Point3> stretchTarget = wobbledTarget(mesh, 0.3);
        const std::vector<Point3> squashTarget = wobbledTarget(mesh, -0.2);
        const HostHandle item = host.scene.addObject(mesh.name, toHostMesh(mesh, true));
        const HostHandle stretch = host.scene.addObject("stretch", host::Mesh(stretchTarget, {}));
        const HostHandle squash = host.scene.addObject("squash", host::Mesh(squashTarget, {}));
        const HostHandle map = host.scene.addWeightMap(item, "falloff");
        std::vector<float>& mapValues = host.scene.weightMap(map)->values;
        for (int32_t i = 0; i < n; ++i) mapValues[i] = static_cast<float>(i % 7) / 6.0f;

        host.send(module, item, MSG_OBJECT, OBJ_CREATE);
        host.changeControlObject(control("Stretch object"), item, stretch);
        host.changeControlObject(control("Squash object"), item, squash);
        host.setupEffect(module, item);

        // The reference's rest state, with the frames the capture saw (the
        // mesh at rest) and those the displacement sees (the pose).
        host::Mesh& hostMesh = host.scene.object(item)->mesh;
        hostMesh.setCurrent(mesh.rest);
        const std::vector<double> restFrames = frames(item);
        hostMesh.setCurrent(mesh.pose);
        const std::vector<double> poseFrames = frames(item);
        const Neighbours neighbours = buildNeighbours(mesh);
        std::vector<double> rest(n), tensions(n);
        meanEdgeLengths(neighbours, mesh.rest.data(), rest.data());
        std::vector<Point3> stretchDeltas(n), squashDeltas(n), expected(n);
        targetDeltas(n, mesh.rest.data(), stretchTarget.data(), restFrames.data(),
                     stretchDeltas.data());
        targetDeltas(n, mesh.rest.data(), squashTarget.data(), restFrames.data(),
                     squashDeltas.data());

        for (bool weighted : {false, true}) {
            host.changeControlObject(control("Weight"), item, weighted ? map : 0);
            for (const Setting& setting : settingsTable()) {
                SCOPED_TRACE(mesh.name + ", " + setting.name + (weighted ? ", weighted" : ""));
                apply(item, setting.settings);
                host.displaceEffect(module, item);
                const std::vector<Point3>& got = host.scene.object(item)->output;
                displace(neighbours, rest.data(), mesh.pose.data(), poseFrames.data(),
                         stretchDeltas.data(), squashDeltas.data(),
                         weighted ? mapValues.data() : nullptr, setting.settings,
                         tensions.data(), expected.data());
                ASSERT_EQ(got.size(), expected.size());
                int32_t moved = 0, differing = 0, first = -1;
                for (int32_t i = 0; i < n; ++i) {
                    moved += memcmp(&expected[i], &mesh.pose[i], sizeof(Point3)) != 0;
                    if (!samePoint(got[i], expected[i])) {
                        if (first < 0) first = i;
                        ++differing;
                    }
                }
                EXPECT_GT(moved, n / 4);
                EXPECT_EQ(differing, 0) << "first at point " << first;
            }
        }
        host.send(module, item, MSG_OBJECT, OBJ_DESTROY);
    }
}

}  // namespace
}  // namespace kestrin::bench

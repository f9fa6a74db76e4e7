// Instances come and go by the thousand, as in a long session: the three
// plug-ins in one host (the two weight tools on the same items), several live instances each, captures, passes, saves and loads
// (into the same instance, into another one, and loads of a save that lacks
// the block) between creation and destruction, destroyed in varying orders.
// After every cycle no record is attached to any item and no channel is left,
// linked or not. The sanitizer build runs this too, so a leak, a double free
// or a host write through a stale channel link fails it there.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "../morpher/strainshaper_fixture.h"
#include "messages.h"
#include "plugins.h"
#include "reliability_counts.h"

namespace kestrin::test {
namespace {

constexpr int cycles = 1000;
constexpr int itemsPerPlugin = 4;
constexpr int liveInstances = 3;

class Lifecycle : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(host.provider.load(tangentSpacePath, &error)) << error;
        strainmark = loadPlugin(host, strainmarkPath);
        rimshaper = loadPlugin(host, rimshaperPath);
        grainmark = loadPlugin(host, grainmarkPath);
        ASSERT_GE(grainmark, 0);
        ASSERT_GE(strainmark, 0);
        ASSERT_GE(rimshaper, 0);
        host.log.enable(false);
        host.linkModules();
        host.send(strainmark, 0, MSG_INTERFACE, INTERFACE_BUILD);
        host.send(rimshaper, 0, MSG_INTERFACE, INTERFACE_BUILD);
        host.send(grainmark, 0, MSG_INTERFACE, INTERFACE_BUILD);

        rest = gridPoints(3, 3);
        for (int k = 0; k < itemsPerPlugin; ++k) {
            weightItems.push_back(
                host.scene.addObject("Weighed " + std::to_string(k), host::Mesh(rest, gridQuads(3, 3))));
            effectItems.push_back(
                host.scene.addObject("Shaped " + std::to_string(k), host::Mesh(rest, gridQuads(3, 3))));
        }
        stretchTarget = host.scene.addObject(
            "Stretch", host::Mesh(mapped(rest, [](Point3 p) { return add(p, {0.0, 0.0, 0.3}); }),
                                  gridQuads(3, 3)));
        // Fewer points than the items: the missing ones get no offset.
        squashTarget = host.scene.addObject("Squash", host::Mesh(gridPoints(3, 2), gridQuads(3, 2)));
        weightMap = host.scene.addWeightMap(effectItems[0], "Mask");
    }

    // A cycle that failed part-way leaves its instances to the closing scene.
    void TearDown() override {
        for (const host::SceneObject& object : host.scene.objects()) {
            for (int module : {strainmark, rimshaper, grainmark}) {
                if (host.typeData(module, object.id) != nullptr) {
                    host.send(module, object.id, MSG_OBJECT, OBJ_DESTROY);
                }
            }
        }
    }

    HostHandle control(int module, const std::string& label) {
        const host::Control* found = host.controls.find(module, label);
        EXPECT_NE(found, nullptr) << label;
        return found != nullptr ? found->id : 0;
    }

    // Moves the item's points to a pose that depends on the cycle.
    void pose(HostHandle item, int cycle) {
        const double r = 0.5 + 0.1 * (cycle % 11);
        host.scene.object(item)->mesh.setCurrent(
            mapped(rest, [r](Point3 p) { return Point3{p.x * r, p.y, p.z + 0.05 * p.x}; }));
    }

    void expectFiniteWeights(HostHandle map) {
        for (float w : host.scene.weightMap(map)->values) ASSERT_TRUE(std::isfinite(w));
    }

    void expectFiniteOutput(HostHandle item) {
        for (const Point3& p : host.scene.object(item)->output) {
            ASSERT_TRUE(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z));
        }
    }

    // Everything a cycle does to a weight tool's instances between creation
    // and destruction.
    void workOnWeights(int tool, const std::vector<HostHandle>& items, int cycle) {
        static const char* const measures[] = {"Along Axis", "Across Axis", "Area", "Most Stretched",
                                               "Most Squashed"};
        host::SettingsContext saved;
        host::SettingsContext empty;
        for (size_t k = 0; k < items.size(); ++k) {
            const HostHandle item = items[k];
            if ((cycle + k) % 2 == 0) {
                host.changeControl(control(tool, "Clamp"), item, int32_t(cycle % 3 != 0));
                host.channels.set(tool, item, "Exponent", 0.1 * (cycle % 4));
                if (tool == grainmark) host.changeControl(control(tool, measures[cycle % 5]), item, 1);
            }
            pose(item, cycle + int(k));
            if ((cycle + k) % 3 != 2) expectFiniteWeights(host.computeWeights(tool, item, "Tension"));
        }
        host.saveInstance(tool, items[0], saved);
        // Loading throws the rest state away; the next computation builds it
        // again.
        host.loadInstance(tool, items[cycle % items.size()], saved);
        host.loadInstance(tool, items[1], empty);
        expectFiniteWeights(host.computeWeights(tool, items[1], "Tension"));
        host.send(tool, items[2], MSG_DISPLAY, DISPLAY_SETUP);
    }

    void workOnEffects(const std::vector<HostHandle>& items, int cycle) {
        host::SettingsContext saved;
        for (size_t k = 0; k < items.size(); ++k) {
            const HostHandle item = items[k];
            if ((cycle + k) % 4 != 3) {
                host.changeControlObject(control(rimshaper, "Stretch object"), item, stretchTarget);
                host.changeControlObject(control(rimshaper, "Squash object"), item, squashTarget);
            }
            if (item == effectItems[0] && cycle % 2 == 0) {
                host.changeControlObject(control(rimshaper, "Weight"), item, weightMap);
            }
            if ((cycle + k) % 5 != 4) host.setupEffect(rimshaper, item);
            pose(item, cycle + int(k));
            host.displaceEffect(rimshaper, item);
            expectFiniteOutput(item);
        }
        host.saveInstance(rimshaper, items[cycle % items.size()], saved);
        host.loadInstance(rimshaper, items[(cycle + 1) % items.size()], saved);
        // A new capture after the load replaces the arrays it held.
        host.setupEffect(rimshaper, items[(cycle + 1) % items.size()]);
        host.displaceEffect(rimshaper, items[(cycle + 1) % items.size()]);
        if (cycle % 50 == 0) host.linkModules();
    }

    // The three destruction orders: as created, reversed, middle first.
    std::vector<HostHandle> destructionOrder(std::vector<HostHandle> items, int cycle) {
        if (cycle % 3 == 1) return {items.rbegin(), items.rend()};
        if (cycle % 3 == 2) std::swap(items[0], items[items.size() / 2]);
        return items;
    }

    host::Host host;
    int strainmark = -1;
    int rimshaper = -1;
    int grainmark = -1;
    std::vector<Point3> rest;
    std::vector<HostHandle> weightItems;
    std::vector<HostHandle> effectItems;
    HostHandle stretchTarget = 0;
    HostHandle squashTarget = 0;
    HostHandle weightMap = 0;
};

TEST_F(Lifecycle, ThousandCyclesLeaveNothingAttachedAndNoChannelBehind) {
    long long instances = 0;
    for (int cycle = 0; cycle < cycles; ++cycle) {
        SCOPED_TRACE("cycle " + std::to_string(cycle));
        std::vector<HostHandle> weighed;
        std::vector<HostHandle> shaped;
        for (int k = 0; k < liveInstances; ++k) {
            weighed.push_back(weightItems[(cycle + k) % itemsPerPlugin]);
            shaped.push_back(effectItems[(3 * cycle + k) % itemsPerPlugin]);
        }
        for (int k = 0; k < liveInstances; ++k) {
            EXPECT_EQ(host.send(strainmark, weighed[k], MSG_OBJECT, OBJ_CREATE), 0);
            EXPECT_EQ(host.send(rimshaper, shaped[k], MSG_OBJECT, OBJ_CREATE), 0);
            EXPECT_EQ(host.send(grainmark, weighed[k], MSG_OBJECT, OBJ_CREATE), 0);
        }
        instances += 3 * liveInstances;
        ASSERT_EQ(host.attachedRecords(), size_t(3 * liveInstances));
        ASSERT_EQ(host.channels.linkCount(), size_t(2 * liveInstances * 5 + liveInstances * 8));

        workOnWeights(strainmark, weighed, cycle);
        workOnWeights(grainmark, weighed, cycle);
        workOnEffects(shaped, cycle);

        for (HostHandle item : destructionOrder(weighed, cycle)) {
            EXPECT_EQ(host.send(strainmark, item, MSG_OBJECT, OBJ_DESTROY), 0);
            EXPECT_EQ(host.typeData(strainmark, item), nullptr);
        }
        for (HostHandle item : destructionOrder(weighed, cycle + 2)) {
            EXPECT_EQ(host.send(grainmark, item, MSG_OBJECT, OBJ_DESTROY), 0);
            EXPECT_EQ(host.typeData(grainmark, item), nullptr);
        }
        for (HostHandle item : destructionOrder(shaped, cycle + 1)) {
            EXPECT_EQ(host.send(rimshaper, item, MSG_OBJECT, OBJ_DESTROY), 0);
            // A second destroy finds no record and does nothing.
            EXPECT_EQ(host.send(rimshaper, item, MSG_OBJECT, OBJ_DESTROY), 0);
        }
        ASSERT_EQ(host.attachedRecords(), 0u);
        ASSERT_EQ(host.channels.linkCount(), 0u);
        ASSERT_TRUE(host.channels.all().empty());
        // A message for an item whose record is gone reaches nothing.
        host.channels.writeLinks();
        EXPECT_EQ(host.send(strainmark, weighed[0], MSG_WEIGHT_TOOL, WEIGHT_COMPUTE), 0);
        EXPECT_EQ(host.send(grainmark, weighed[0], MSG_WEIGHT_TOOL, WEIGHT_COMPUTE), 0);
        EXPECT_EQ(host.displaceEffect(rimshaper, shaped[0]), 0);
    }
    recordCount("lifecycle cycles", cycles);
    recordCount("lifecycle instances created and destroyed", instances);
}

}  // namespace
}  // namespace kestrin::test

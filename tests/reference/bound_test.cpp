// The tension curve's bound (measure/tension_bound.h) against what the two
// plug-ins hand on through the simulator: no weight Strainmark writes and no
// factor Rimshaper moves a point by passes it, and a saturated stretch or
// squash reaches it. A grid scaled uniformly by r gives every point the
// length ratio r.
#include <math.h>

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "../../morpher/instance.h"
#include "host.h"
#include "messages.h"
#include "plugins.h"
#include "tension_bound.h"

namespace kestrin::test {
namespace {

struct BoundCase {
    const char* name;
    TensionSettings settings;  // exponent, pre, post, stretch, squash
    WeightSwitches switches;   // clamp, switch, only positive
    bool reached;              // by a ratio of 4 or 1/4; never passed in any case
};

const BoundCase cases[] = {
    {"defaults", {0.2, 0.5, 0.5, 0.5, 0.5}, {1, 0, 0}, true},
    {"unclamped, every multiplier", {0.15, 0.9, 0.8, 0.7, 0.35}, {0, 0, 0}, true},
    {"cubed, a negative squash multiplier", {0.3, 0.5, 0.5, 0.6, -0.8}, {0, 0, 0}, true},
    {"switched and only positive", {0.2, 0.5, 0.9, 0.6, 0.7}, {0, 1, 1}, true},
    {"exponent 0", {0.0, 0.5, 0.7, 0.5, 0.5}, {0, 0, 0}, true},
    {"a negative exponent", {-0.1, 0.5, 0.5, 0.5, 0.5}, {0, 0, 0}, false},
    {"a ramp that never saturates", {0.2, 0.05, 0.8, 0.6, 0.6}, {0, 0, 0}, false},
};
const double ratios[] = {0.25, 0.5, 0.8, 1.0, 1.25, 2.0, 4.0};

// A 4 x 4 grid of quads about the origin; scaling its current positions by r
// scales every edge by r.
host::Mesh grid() {
    std::vector<Point3> points;
    std::vector<std::vector<int32_t>> quads;
    for (int32_t y = 0; y < 5; ++y) {
        for (int32_t x = 0; x < 5; ++x) points.push_back({x - 2.0, y - 2.0, 0.1 * x * y});
    }
    for (int32_t y = 0; y < 4; ++y) {
        for (int32_t x = 0; x < 4; ++x) quads.push_back({5 * y + x, 5 * y + x + 1, 5 * y + x + 6, 5 * y + x + 5});
    }
    return host::Mesh(points, quads);
}

void scale(host::Host& host, HostHandle item, double r) {
    host::Mesh& mesh = host.scene.object(item)->mesh;
    std::vector<Point3> points = mesh.base().copy();
    for (Point3& p : points) p = {p.x * r, p.y * r, p.z * r};
    mesh.setCurrent(points);
}

HostHandle control(host::Host& host, int module, const char* label) {
    const host::Control* found = host.controls.find(module, label);
    EXPECT_NE(found, nullptr) << label;
    return found != nullptr ? found->id : 0;
}

void setChannels(host::Host& host, int module, HostHandle item, const TensionSettings& s) {
#define TENSION_CHANNEL(field, name, ...) EXPECT_TRUE(host.channels.set(module, item, name, s.field));
#include "tension_channels.def"
}

TEST(TensionBound, NoWeightPassesItAndASaturatedOneReachesIt) {
    host::Host host;
    const int module = loadPlugin(host, strainmarkPath);
    ASSERT_GE(module, 0);
    host.log.enable(false);
    host.send(module, 0, MSG_INTERFACE, INTERFACE_BUILD);
    const HostHandle item = host.scene.addObject("grid", grid());
    host.send(module, item, MSG_OBJECT, OBJ_CREATE);
    for (const BoundCase& c : cases) {
        SCOPED_TRACE(c.name);
        setChannels(host, module, item, c.settings);
#define WEIGHT_TOGGLE(field, callback, label, ...) \
    host.changeControl(control(host, module, label), item, c.switches.field);
#include "weight_toggles.def"
        const double bound = weightBound(c.settings, c.switches);
        double largest = 0.0;
        for (double r : ratios) {
            scale(host, item, r);
            const HostHandle map = host.computeWeights(module, item, "tension");
            for (float w : host.scene.weightMap(map)->values) {
                EXPECT_LE(fabs(w), bound) << "ratio " << r;
                largest = std::max(largest, (double)fabs(w));
            }
        }
        if (c.reached) {
            EXPECT_EQ(largest, bound);
        }
    }
    host.send(module, item, MSG_OBJECT, OBJ_DESTROY);
}

TEST(TensionBound, NoDisplacementFactorPassesItAndASaturatedOneReachesIt) {
    host::Host host;
    std::string error;
    ASSERT_TRUE(host.provider.load(tangentSpacePath, &error)) << error;
    const int module = loadPlugin(host, rimshaperPath);
    ASSERT_GE(module, 0);
    host.log.enable(false);
    host.linkModules();
    host.send(module, 0, MSG_INTERFACE, INTERFACE_BUILD);
    const HostHandle item = host.scene.addObject("grid", grid());
    const HostHandle stretch = host.scene.addObject("stretch", grid());
    const HostHandle squash = host.scene.addObject("squash", grid());
    host.send(module, item, MSG_OBJECT, OBJ_CREATE);
    host.changeControlObject(control(host, module, "Stretch object"), item, stretch);
    host.changeControlObject(control(host, module, "Squash object"), item, squash);
    host.setupEffect(module, item);
    const auto* record = static_cast<const MorpherInstance*>(host.typeData(module, item));
    ASSERT_NE(record, nullptr);
    ASSERT_EQ(record->captured, 1);
    for (const BoundCase& c : cases) {
        SCOPED_TRACE(c.name);
        setChannels(host, module, item, c.settings);
        const double bound = displacementBound(c.settings);
        double largest = 0.0;
        for (double r : ratios) {
            scale(host, item, r);
            host.displaceEffect(module, item);
            // After a pass each point's factor is left in the tension buffer.
            for (int32_t i = 0; i < record->rest.pointCount; ++i) {
                const double factor = record->tensions[i];
                if (isnan(factor)) continue;  // no real factor: the point stays
                EXPECT_LE(fabs(factor), bound) << "ratio " << r;
                largest = std::max(largest, fabs(factor));
            }
        }
        if (c.reached) {
            EXPECT_EQ(largest, bound);
        }
    }
    host.send(module, item, MSG_OBJECT, OBJ_DESTROY);
}

}  // namespace
}  // namespace kestrin::test

// The plug-ins in a simulated host, holding the current case's mesh, driven
// exactly as the host drives them.
#ifndef KESTRIN_BENCH_PLUGIN_SCENE_H
#define KESTRIN_BENCH_PLUGIN_SCENE_H

#include <stddef.h>
#include <stdint.h>

#include <memory>
#include <string>
#include <vector>

#include "host.h"

namespace kestrin::bench {

struct Case;

struct PluginScene {
    std::unique_ptr<host::Host> host;
    int strainmark = -1;
    int strainshaper = -1;
    HostHandle mesh = 0;           // the posed mesh, the item both plug-ins work on
    HostHandle stretchObject = 0;  // target shapes (points only)
    HostHandle squashObject = 0;
    HostHandle weightMap = 0;      // the map Strainmark fills
    bool strainmarkCaptured = false;  // its instance holds a rest state
    bool strainshaperCaptured = false;
    HostHandle stretchControl = 0;  // the effect's object popups
    HostHandle squashControl = 0;
};

// The scene of the held case, made on first use: a fresh host with both
// plug-ins loaded and the case's mesh posed. The tangent frames come from a
// stand-in provider that gives every point the identity frame at no cost, so
// that a Strainshaper pass is measured without any provider's own work and its
// results equal the reference's with identity frames.
PluginScene& pluginScene(Case& c);
void dropPluginScene();

// Strainmark: a new instance on the mesh (the old one destroyed), so that the
// next computation captures.
void strainmarkFreshInstance(PluginScene& scene);
// One WEIGHT_COMPUTE as the host sends it, filling the scene's weight map.
void strainmarkCompute(PluginScene& scene);
// The weights the last computation left.
const std::vector<float>& strainmarkWeights(PluginScene& scene);

// The Strainshaper effect: a new instance on the mesh with both target objects chosen in
// its panel, so that the next setup pass captures.
void strainshaperFreshInstance(PluginScene& scene);
// One EFFECT_SETUP and one EFFECT_DISPLACE pass as the host sends them.
void strainshaperSetup(PluginScene& scene);
void strainshaperDisplace(PluginScene& scene);
// The positions the last displacement pass produced.
const std::vector<Point3>& strainshaperOutput(PluginScene& scene);

// Heap bytes in use, as the C library counts them (payload and chunk
// overhead): differences give what a pass kept.
size_t heapInUse();

}  // namespace kestrin::bench

#endif

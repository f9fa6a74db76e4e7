// The plug-ins in a simulated host, holding the current case's mesh: set up
// by the driving layer as every driver sets them up, then each pass sent as
// the host sends it, on the pose the scene already holds, so that what is
// timed is the plug-in's pass and not a driver's copies of the pose.
#ifndef KESTRIN_BENCH_PLUGIN_SCENE_H
#define KESTRIN_BENCH_PLUGIN_SCENE_H

#include <stddef.h>

#include <memory>

#include "plugin_instances.h"
#include "polygons.h"
#include "session.h"

namespace kestrin::bench {

struct Case;

struct PluginScene {
    const Case* c = nullptr;
    std::unique_ptr<host::Session> session;
    Polygons polygons;  // the case's, as the driving layer takes them
    std::unique_ptr<drive::Strainmark> strainmark;
    std::unique_ptr<drive::Strainshaper> strainshaper;
    std::unique_ptr<drive::Grainmark> grainmark;
    bool strainmarkCaptured = false;  // its instance holds a rest state
    bool strainshaperCaptured = false;
    bool grainmarkCaptured = false;
};

// The scene of the held case, made on first use: a session that finds the
// plug-ins beside the program, as the tool does, and, for tangent frames, a stand-in provider that gives
// every point the identity frame at no cost, so that a Strainshaper pass is
// measured without any provider's own work and its results equal the
// reference's with identity frames.
PluginScene& pluginScene(Case& c);
void dropPluginScene();

// Strainmark: a new instance on a new mesh posed as the case (the old one
// closed), so that the next computation captures.
void strainmarkFreshInstance(PluginScene& scene);
// One WEIGHT_COMPUTE as the host sends it.
void strainmarkCompute(PluginScene& scene);

// Grainmark, measuring along its default axis, the same way.
void grainmarkFreshInstance(PluginScene& scene);
void grainmarkCompute(PluginScene& scene);

// The Strainshaper effect: a new instance on a new mesh posed as the case,
// both targets chosen, its setup pass not yet run, so that the next one
// captures.
void strainshaperFreshInstance(PluginScene& scene);
// One EFFECT_SETUP and one EFFECT_DISPLACE pass as the host sends them.
void strainshaperSetup(PluginScene& scene);
void strainshaperDisplace(PluginScene& scene);

// Heap bytes in use, as the C library counts them (payload and chunk
// overhead): differences give what a pass kept.
size_t heapInUse();

}  // namespace kestrin::bench

#endif

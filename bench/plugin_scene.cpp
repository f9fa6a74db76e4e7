#include "plugin_scene.h"

#include <malloc.h>
#include <stdio.h>
#include <stdlib.h>

#include "cases.h"
#include "session_access.h"

namespace kestrin::bench {
namespace {

std::unique_ptr<PluginScene> held;

// The map the bench's scans fill; made before a timed capture, so that the
// capture's heap figure is the instance's alone.
const char* const scanMap = "tension";

host::Host& simulator(PluginScene& scene) { return host::simulatorOf(*scene.session); }

// The instance's mesh posed as the case, its scan map made at full size.
void poseMesh(PluginScene& scene, const host::Instance& instance) {
    host::Host& host = simulator(scene);
    host.scene.object(instance.item)->mesh.lendCurrent(scene.c->mesh.pose.data(), scene.c->mesh.pose.size());
    const HostHandle map = host.scene.addWeightMap(instance.item, scanMap);
    host.scene.weightMap(map)->values.assign(scene.c->mesh.rest.size(), 0.0f);
}

template <typename F>
void orDie(const char* what, F&& f) {
    try {
        f();
    } catch (const std::exception& error) {
        fprintf(stderr, "%s: %s\n", what, error.what());
        exit(1);
    }
}

// One plug-in's scene at a time: the large cases' meshes take hundreds of
// megabytes each.
void closeBoth(PluginScene& scene) {
    scene.strainmark.reset();
    scene.strainshaper.reset();
    scene.grainmark.reset();
    scene.strainmarkCaptured = false;
    scene.strainshaperCaptured = false;
    scene.grainmarkCaptured = false;
}

}  // namespace

PluginScene& pluginScene(Case& c) {
    if (held != nullptr && held->c == &c) return *held;
    dropPluginScene();
    held = std::make_unique<PluginScene>();
    PluginScene& scene = *held;
    scene.c = &c;
    scene.polygons.offsets = c.mesh.polygonStart;
    scene.polygons.vertices = c.mesh.polygonVertices;
    orDie("cannot set up the plug-ins", [&] {
        scene.session = std::make_unique<host::Session>();
        scene.session->loadProvider(IDENTITY_PROVIDER_PATH);
    });
    return scene;
}

void dropPluginScene() {
    // The instances close before their session goes.
    if (held != nullptr) closeBoth(*held);
    held.reset();
}

namespace {

// A weight tool of the given kind on a new mesh posed as the case.
template <typename Tool>
void freshWeightTool(PluginScene& scene, std::unique_ptr<Tool>& tool) {
    closeBoth(scene);
    orDie("cannot set up the weight tool", [&] {
        tool = std::make_unique<Tool>(*scene.session, scene.c->mesh.rest, scene.polygons, drive::PluginSettings{});
    });
    poseMesh(scene, tool->instance());
}

void computeWeights(PluginScene& scene, const drive::WeightTool& tool, bool& captured) {
    const host::Instance& instance = tool.instance();
    simulator(scene).computeWeights(instance.plugin.index, instance.item, scanMap);
    captured = true;
}

}  // namespace

void strainmarkFreshInstance(PluginScene& scene) { freshWeightTool(scene, scene.strainmark); }

void strainmarkCompute(PluginScene& scene) {
    computeWeights(scene, *scene.strainmark, scene.strainmarkCaptured);
}

void grainmarkFreshInstance(PluginScene& scene) { freshWeightTool(scene, scene.grainmark); }

void grainmarkCompute(PluginScene& scene) { computeWeights(scene, *scene.grainmark, scene.grainmarkCaptured); }


void strainshaperFreshInstance(PluginScene& scene) {
    closeBoth(scene);
    const Case& c = *scene.c;
    orDie("cannot set up the Strainshaper", [&] {
        scene.strainshaper = std::make_unique<drive::Strainshaper>(
            *scene.session, c.mesh.rest, scene.polygons, c.stretchTarget, c.squashTarget, std::nullopt,
            drive::PluginSettings{}, drive::ObjectNames{}, drive::SetupPass::Later);
    });
    poseMesh(scene, scene.strainshaper->instance());
}

void strainshaperSetup(PluginScene& scene) {
    scene.strainshaper->capture();
    scene.strainshaperCaptured = true;
}

void strainshaperDisplace(PluginScene& scene) {
    const host::Instance& instance = scene.strainshaper->instance();
    simulator(scene).displaceEffect(instance.plugin.index, instance.item);
}

size_t heapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;  // small chunks and mapped ones
}

}  // namespace kestrin::bench

#include "plugin_scene.h"

#include <malloc.h>
#include <stdio.h>
#include <stdlib.h>

#include "cases.h"
#include "messages.h"

namespace kestrin::bench {
namespace {

std::unique_ptr<PluginScene> held;
const Case* heldFor = nullptr;

int loadOrDie(host::Host& host, const char* path) {
    std::string error;
    const int module = host.load(path, &error);
    if (module < 0 || host.module(module).entryResult != 0) {
        fprintf(stderr, "cannot load %s: %s\n", path, error.c_str());
        exit(1);
    }
    return module;
}

}  // namespace

PluginScene& pluginScene(Case& c) {
    if (held != nullptr && heldFor == &c) return *held;
    dropPluginScene();
    held = std::make_unique<PluginScene>();
    heldFor = &c;
    PluginScene& scene = *held;
    scene.host = std::make_unique<host::Host>();
    scene.strainmark = loadOrDie(*scene.host, STRAINMARK_PATH);
    scene.rimshaper = loadOrDie(*scene.host, RIMSHAPER_PATH);
    scene.mesh = scene.host->scene.addObject(c.spec.label, toHostMesh(c.mesh, true));
    scene.stretchObject =
        scene.host->scene.addObject("stretch", host::Mesh(c.stretchTarget, {}));
    scene.squashObject = scene.host->scene.addObject("squash", host::Mesh(c.squashTarget, {}));
    return scene;
}

void dropPluginScene() {
    if (held != nullptr && held->host != nullptr) {
        host::Host& host = *held->host;
        if (host.typeData(held->strainmark, held->mesh) != nullptr) {
            host.send(held->strainmark, held->mesh, MSG_OBJECT, OBJ_DESTROY);
        }
        if (host.typeData(held->rimshaper, held->mesh) != nullptr) {
            host.send(held->rimshaper, held->mesh, MSG_OBJECT, OBJ_DESTROY);
        }
    }
    held.reset();
    heldFor = nullptr;
}

void strainmarkFreshInstance(PluginScene& scene) {
    host::Host& host = *scene.host;
    if (host.typeData(scene.strainmark, scene.mesh) != nullptr) {
        host.send(scene.strainmark, scene.mesh, MSG_OBJECT, OBJ_DESTROY);
    }
    host.send(scene.strainmark, scene.mesh, MSG_OBJECT, OBJ_CREATE);
}

void strainmarkCompute(PluginScene& scene) {
    scene.weightMap = scene.host->computeWeights(scene.strainmark, scene.mesh, "tension");
}

const std::vector<float>& strainmarkWeights(PluginScene& scene) {
    return scene.host->scene.weightMap(scene.weightMap)->values;
}

size_t heapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;  // small chunks and mapped ones
}

}  // namespace kestrin::bench

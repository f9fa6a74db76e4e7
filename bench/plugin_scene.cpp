#include "plugin_scene.h"

#include <malloc.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "cases.h"
#include "messages.h"
#include "reference.h"
#include "session.h"

namespace kestrin::bench {
namespace {

std::unique_ptr<PluginScene> held;
const Case* heldFor = nullptr;

// The stand-in tangent-space provider: one space for every (mesh, target),
// the identity frame at every point.
char identitySpace;

TangentSpaceHandle identityCreate(HostHandle, uint32_t) { return &identitySpace; }
TangentSpaceHandle identityFetch(HostHandle, uint32_t) { return &identitySpace; }
void identityDelete() {}
int32_t identityCalculate(TangentSpaceHandle) { return 1; }
int32_t identityMatrix(TangentSpaceHandle, int32_t, double* matrix) {
    memcpy(matrix, identityFrame(), 16 * sizeof(double));
    return 1;
}

void publishIdentityProvider(host::Host& host) {
    host.publish("useful_CreateTangentSpace", reinterpret_cast<HostFunction>(&identityCreate));
    host.publish("useful_FetchTangentSpace", reinterpret_cast<HostFunction>(&identityFetch));
    host.publish("useful_DeleteTangentSpace", reinterpret_cast<HostFunction>(&identityDelete));
    host.publish("useful_TangentSpaceCalculate",
                 reinterpret_cast<HostFunction>(&identityCalculate));
    host.publish("useful_TangentGetMatrix", reinterpret_cast<HostFunction>(&identityMatrix));
}

HostHandle controlOf(host::Host& host, int module, const char* label) {
    const host::Control* control = host.controls.find(module, label);
    if (control == nullptr) {
        fprintf(stderr, "no control \"%s\" in the panel\n", label);
        exit(1);
    }
    return control->id;
}

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
    scene.strainshaper = loadOrDie(*scene.host, RIMSHAPER_PATH);
    publishIdentityProvider(*scene.host);
    scene.host->linkModules();
    scene.host->send(scene.strainshaper, 0, MSG_INTERFACE, INTERFACE_BUILD);
    scene.stretchControl = controlOf(*scene.host, scene.strainshaper, host::stretchObjectPopup);
    scene.squashControl = controlOf(*scene.host, scene.strainshaper, host::squashObjectPopup);
    scene.mesh = scene.host->scene.addObject(c.caseSpec.label, toHostMesh(c.mesh, true));
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
        if (host.typeData(held->strainshaper, held->mesh) != nullptr) {
            host.send(held->strainshaper, held->mesh, MSG_OBJECT, OBJ_DESTROY);
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
    scene.strainmarkCaptured = false;
}

void strainmarkCompute(PluginScene& scene) {
    scene.weightMap = scene.host->computeWeights(scene.strainmark, scene.mesh, "tension");
    scene.strainmarkCaptured = true;
}

const std::vector<float>& strainmarkWeights(PluginScene& scene) {
    return scene.host->scene.weightMap(scene.weightMap)->values;
}

void strainshaperFreshInstance(PluginScene& scene) {
    host::Host& host = *scene.host;
    if (host.typeData(scene.strainshaper, scene.mesh) != nullptr) {
        host.send(scene.strainshaper, scene.mesh, MSG_OBJECT, OBJ_DESTROY);
    }
    host.send(scene.strainshaper, scene.mesh, MSG_OBJECT, OBJ_CREATE);
    host.changeControlObject(scene.stretchControl, scene.mesh, scene.stretchObject);
    host.changeControlObject(scene.squashControl, scene.mesh, scene.squashObject);
    scene.strainshaperCaptured = false;
}

void strainshaperSetup(PluginScene& scene) {
    scene.host->setupEffect(scene.strainshaper, scene.mesh);
    scene.strainshaperCaptured = true;
}

void strainshaperDisplace(PluginScene& scene) {
    scene.host->displaceEffect(scene.strainshaper, scene.mesh);
}

const std::vector<Point3>& strainshaperOutput(PluginScene& scene) {
    return scene.host->scene.object(scene.mesh)->output;
}

size_t heapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;  // small chunks and mapped ones
}

}  // namespace kestrin::bench

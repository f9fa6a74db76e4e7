#include "fuzz_host.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "messages.h"

namespace kestrin::fuzz {
namespace {

void keepLoaded(const char* path) {
    if (dlopen(path, RTLD_NOW | RTLD_LOCAL) == nullptr) {
        std::fprintf(stderr, "cannot load %s: %s\n", path, dlerror());
        std::abort();
    }
}

void keepPluginsLoaded() {
    static bool kept = false;
    if (kept) return;
    kept = true;
    keepLoaded(TANGENTSPACE_PATH);
    keepLoaded(STRAINMARK_PATH);
    keepLoaded(RIMSHAPER_PATH);
    keepLoaded(GRAINMARK_PATH);
}

int loadOrAbort(host::Host& host, const char* path) {
    std::string error;
    const int module = host.load(path, &error);
    if (module < 0 || host.module(module).entryResult != 0) {
        std::fprintf(stderr, "cannot enter %s: %s\n", path, error.c_str());
        std::abort();
    }
    return module;
}

bool finiteText(const std::string& text) {
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    return end != text.c_str() && std::isfinite(value);
}

std::vector<std::string>& pathsToRemove() {
    static std::vector<std::string> paths;
    return paths;
}

void removePaths() {
    std::error_code ignored;
    for (const std::string& path : pathsToRemove()) std::filesystem::remove_all(path, ignored);
}

}  // namespace

std::string scratchPath(const std::string& name) {
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("kestrin-fuzz-" + std::to_string(getpid()) + "-" + name))
                                 .string();
    if (pathsToRemove().empty()) std::atexit(removePaths);
    pathsToRemove().push_back(path);
    return path;
}

void require(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

LoadedPlugins loadPlugins(host::Host& host) {
    keepPluginsLoaded();
    std::string error;
    require(host.provider.load(TANGENTSPACE_PATH, &error), "the provider loads");
    LoadedPlugins plugins;
    plugins.strainmark = loadOrAbort(host, STRAINMARK_PATH);
    plugins.rimshaper = loadOrAbort(host, RIMSHAPER_PATH);
    plugins.grainmark = loadOrAbort(host, GRAINMARK_PATH);
    host.linkModules();
    host.log.enable(true);
    return plugins;
}

void checkHandedValues(host::Host& host) {
    for (const host::HostCall& call : host.log.calls()) {
        if (call.function == "fxWeightToolValueSet") {
            require(call.args.size() >= 2 && finiteText(call.args[1]),
                    "a weight handed to the host is finite");
        } else if (call.function == "fxDisplacePoint") {
            require(call.args.size() >= 5, "fxDisplacePoint has its five arguments");
            for (size_t i = 2; i < 5; ++i) {
                require(finiteText(call.args[i]), "a displaced position is finite");
            }
        }
    }
    host.log.clear();
}

void closeScene(host::Host& host, const LoadedPlugins& plugins,
                const std::vector<HostHandle>& others) {
    std::vector<HostHandle> items = others;
    for (const host::SceneObject& object : host.scene.objects()) items.push_back(object.id);
    for (HostHandle item : items) {
        for (int module : {plugins.strainmark, plugins.rimshaper, plugins.grainmark}) {
            if (host.typeData(module, item) == nullptr) continue;
            require(host.send(module, item, MSG_OBJECT, OBJ_DESTROY) == 0,
                    "OBJ_DESTROY is answered 0");
        }
    }
    require(host.attachedRecords() == 0, "no record stays attached after the scene closes");
    require(host.channels.linkCount() == 0, "no channel link outlives its record");
    checkHandedValues(host);
}

}  // namespace kestrin::fuzz

#include "provider.h"

#include <dlfcn.h>

#include "host.h"

namespace kestrin::host {
namespace {

HostFunction lookupForProvider(const char* name, uint32_t groupBits) {
    Host* host = Host::active();
    return host != nullptr ? host->lookup(name, groupBits) : nullptr;
}

void publishForProvider(const char* name, HostFunction function) {
    Host* host = Host::active();
    if (host != nullptr && name != nullptr) host->publish(name, function);
}

}  // namespace

TangentProvider::~TangentProvider() { close(); }

bool TangentProvider::load(const std::string& path, std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error != nullptr) *error = why;
        return false;
    };
    unload();
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        const char* reason = dlerror();
        return fail(reason != nullptr ? reason : path + ": cannot be loaded");
    }
    auto entry = reinterpret_cast<TangentProviderEntry>(dlsym(library, "tangentProviderEntry"));
    auto exit = reinterpret_cast<TangentProviderExit>(dlsym(library, "tangentProviderExit"));
    if (entry == nullptr || exit == nullptr) {
        dlclose(library);
        return fail(path + ": not a tangent-space provider");
    }
    if (entry(&lookupForProvider, &publishForProvider) != 0) {
        // The entry may have published some before it failed.
        exit();
#define TANGENT_FUNCTION(name) host_.unpublish(#name);
#include "tangent_functions.def"
        dlclose(library);
        return fail(path + ": the provider's entry failed");
    }
    library_ = library;
    exit_ = exit;
    return true;
}

void TangentProvider::unload() {
    if (!loaded()) return;
#define TANGENT_FUNCTION(name) host_.unpublish(#name);
#include "tangent_functions.def"
    close();
}

// Touches only the library: it also runs while the host is being torn down.
void TangentProvider::close() {
    if (library_ == nullptr) return;
    exit_();
    dlclose(library_);
    library_ = nullptr;
    exit_ = nullptr;
}

}  // namespace kestrin::host

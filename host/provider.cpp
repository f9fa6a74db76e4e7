#include "provider.h"

#include <dlfcn.h>

#include "host.h"
#include "private_library.h"

namespace kestrin::host {
namespace {

HostFunction lookupForProvider(const char* name, uint32_t groupBits) {
    return Host::active()->lookup(name, groupBits);
}

void publishForProvider(const char* name, HostFunction function) {
    if (name != nullptr) Host::active()->publish(name, function);
}

}  // namespace

TangentProvider::~TangentProvider() { close(); }

bool TangentProvider::load(const std::string& path, std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error != nullptr) *error = why;
        return false;
    };
    unload();
    std::string reason;
    void* library = openPrivateLibrary(&host_, path, RTLD_NOW | RTLD_LOCAL, &reason);
    if (library == nullptr) return fail(reason);
    auto entry = reinterpret_cast<TangentProviderEntry>(dlsym(library, "tangentProviderEntry"));
    auto exit = reinterpret_cast<TangentProviderExit>(dlsym(library, "tangentProviderExit"));
    if (entry == nullptr || exit == nullptr) {
        closePrivateLibrary(library);
        return fail(path + ": not a tangent-space provider");
    }
    // The provider looks up and publishes through this host, also when
    // another host lives beside it.
    if (host_.callInto(-1, [&] { return entry(&lookupForProvider, &publishForProvider); }) != 0) {
        // The entry may have published some before it failed.
        exit();
#define TANGENT_FUNCTION(name) host_.unpublish(#name);
#include "tangent_functions.def"
        closePrivateLibrary(library);
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
    closePrivateLibrary(library_);
    library_ = nullptr;
    exit_ = nullptr;
}

}  // namespace kestrin::host

// The tangent-space provider, loaded beside the plug-ins. Once loaded, its five
// functions are published, so plug-ins find them through HostLookup with
// BIND_PUBLISHED (after the host's next LINK_FUNCTIONS, Host::linkModules).
// Without it the simulator runs on; those lookups then answer null.
#ifndef KESTRIN_HOST_PROVIDER_H
#define KESTRIN_HOST_PROVIDER_H

#include <string>

#include "provider_entry.h"

namespace kestrin::host {

class Host;

class TangentProvider {
public:
    explicit TangentProvider(Host& host) : host_(host) {}
    // Releases the provider's tangent spaces and unloads it.
    ~TangentProvider();
    TangentProvider(const TangentProvider&) = delete;
    TangentProvider& operator=(const TangentProvider&) = delete;

    // Loads the library at path, enters it with the host's lookup and
    // publishes what it hands over (replacing a provider loaded before).
    // False, with the reason in *error and nothing published, when the file
    // cannot be loaded, lacks the two exports or its entry fails.
    bool load(const std::string& path, std::string* error = nullptr);
    // Releases its tangent spaces, withdraws its functions and unloads it.
    // Plug-ins still holding them must be sent LINK_FUNCTIONS before their
    // next pass.
    void unload();
    bool loaded() const { return library_ != nullptr; }

private:
    void close();

    Host& host_;
    void* library_ = nullptr;
    TangentProviderExit exit_ = nullptr;
};

}  // namespace kestrin::host

#endif

// Channels and their links into plug-in records.
// Not served yet: each records its call and answers 0.
#include "host.h"
#include "served.h"

namespace kestrin::host::served {

int32_t fxChannelSetup(HostHandle item, const char* name, int32_t index, int32_t type, double initial, double low, double high, int32_t flags) {
    Host::active()->log.record("fxChannelSetup", item, name, index, type, initial, low, high, flags);
    return {};
}

int32_t fxChannelDataLink(HostHandle item, int32_t index, int32_t kind, double* field, int32_t flags) {
    Host::active()->log.record("fxChannelDataLink", item, index, kind, field, flags);
    return {};
}

}  // namespace kestrin::host::served

namespace kestrin::host {

void ChannelStore::writeLinks() {}

}  // namespace kestrin::host

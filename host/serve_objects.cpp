// Records that plug-ins attach to items.
#include "host.h"
#include "served.h"

namespace kestrin::host::served {

void* fxObjectGetTypeData(HostHandle item, int32_t flags) {
    Host* host = Host::active();
    host->log.record(__func__, item, flags);
    return host->typeData(host->callingModule(), item);
}

int32_t fxObjectSetTypeData(HostHandle item, void* record, int32_t flags) {
    Host* host = Host::active();
    host->log.record(__func__, item, record, flags);
    host->setTypeData(host->callingModule(), item, record);
    return 0;
}

}  // namespace kestrin::host::served

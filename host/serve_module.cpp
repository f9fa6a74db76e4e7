// Module registration and messages to the user.
#include "host.h"
#include "served.h"

namespace kestrin::host::served {

int32_t fxMessageSend(int32_t owner, const char* title, int32_t style, const char* text,
                      int32_t flags) {
    Host* host = Host::active();
    host->log.record(__func__, owner, title, style, text, flags);
    host->shown.push_back({title != nullptr ? title : "", style, text != nullptr ? text : ""});
    return 0;
}

int32_t fxModuleDescription(const char* text, int32_t flags) {
    Host* host = Host::active();
    host->log.record(__func__, text, flags);
    if (host->callingModule() >= 0 && text != nullptr) {
        host->module(host->callingModule()).description = text;
    }
    return 0;
}

int32_t fxModuleAccess(uint32_t messageClass, uint64_t subKindMask, int32_t flags) {
    Host* host = Host::active();
    host->log.record(__func__, messageClass, subKindMask, flags);
    if (host->callingModule() >= 0) {
        host->module(host->callingModule()).access.push_back({messageClass, subKindMask});
    }
    return 0;
}

int32_t fxModuleRegister(int32_t moduleClass, const char* name, ModuleCallback callback,
                         int32_t flags) {
    Host* host = Host::active();
    host->log.record(__func__, moduleClass, name, callback, flags);
    if (host->callingModule() >= 0) {
        LoadedModule& module = host->module(host->callingModule());
        module.moduleClass = moduleClass;
        module.name = name != nullptr ? name : "";
        module.callback = callback;
        module.registerFlags = flags;
    }
    return 0;
}

}  // namespace kestrin::host::served

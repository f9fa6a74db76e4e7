// A plug-in that registers and answers every message with 0, but writes
// through a null pointer (SIGSEGV) on DISPLAY_SETUP.
#include "entry.h"
#include "messages.h"

namespace {

using ModuleAccess = int32_t (*)(uint32_t, uint64_t, int32_t);
using ModuleRegister = int32_t (*)(int32_t, const char*, ModuleCallback, int32_t);

int32_t onMessage(void*, HostHandle, uint32_t messageClass, uint64_t subKind) {
    if (messageClass == MSG_DISPLAY && subKind == DISPLAY_SETUP) {
        volatile int* volatile nowhere = nullptr;
        *nowhere = 1;
    }
    return 0;
}

}  // namespace

int32_t kestrinAPI(void) { return KESTRIN_API_VERSION; }

int32_t kestrinEntry(char*, HostLookup lookup, int32_t, int32_t) {
    auto access = reinterpret_cast<ModuleAccess>(lookup("fxModuleAccess", BIND_MODULE));
    auto registerModule = reinterpret_cast<ModuleRegister>(lookup("fxModuleRegister", BIND_MODULE));
    if (access == nullptr || registerModule == nullptr) return 4;
    access(MSG_OBJECT, OBJ_CREATE | OBJ_DESTROY, 0);
    access(MSG_DISPLAY, DISPLAY_SETUP, 0);
    return registerModule(1, "CrashOnMessage", &onMessage, 0);
}

void kestrinExit(void) {}

// The callback every plug-in registers: the messages all plug-ins answer
// alike (their records' life, saved blocks, panel and display) dispatched
// here, the rest handed to the plug-in's own moduleMessage.
#include "display.h"
#include "messages.h"
#include "module.h"

int32_t moduleCallback(void* data, HostHandle item, uint32_t messageClass, uint64_t subKind) {
    switch (messageClass) {
        case MSG_OBJECT:
            if (subKind == OBJ_CREATE) {
                createInstance(item);
            } else if (subKind == OBJ_DESTROY) {
                destroyInstance(item);
            } else if (subKind == OBJ_LOAD) {
                loadSettings(data, item);
            } else if (subKind == OBJ_SAVE) {
                saveSettings(data, item);
            }
            break;
        case MSG_INTERFACE:
            if (subKind == INTERFACE_BUILD) buildPanel();
            break;
        case MSG_DISPLAY:
            if (subKind == DISPLAY_SETUP) setupModuleDisplay();
            break;
        default:
            moduleMessage(item, messageClass, subKind);
            break;
    }
    return 0;
}

// A plug-in whose kestrinEntry tells the user why it cannot run and fails
// with 5, as a plug-in does in a host it does not support.
#include "entry.h"
#include "messages.h"

using MessageSend = int32_t (*)(int32_t, const char*, int32_t, const char*, int32_t);

int32_t kestrinAPI(void) { return KESTRIN_API_VERSION; }

int32_t kestrinEntry(char*, HostLookup lookup, int32_t, int32_t) {
    auto send = reinterpret_cast<MessageSend>(lookup("fxMessageSend", BIND_MESSAGE));
    if (send != nullptr) send(0, "FailInEntry", 0, "this host is not supported", 0);
    return 5;
}

void kestrinExit(void) {}

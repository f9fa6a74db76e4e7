// A plug-in whose kestrinEntry never returns.
#include <unistd.h>

#include "entry.h"
#include "messages.h"

int32_t kestrinAPI(void) { return KESTRIN_API_VERSION; }

int32_t kestrinEntry(char*, HostLookup, int32_t, int32_t) {
    for (;;) pause();
}

void kestrinExit(void) {}

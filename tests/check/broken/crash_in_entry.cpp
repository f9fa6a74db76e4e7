// A plug-in whose kestrinEntry writes through a null pointer (SIGSEGV).
#include "entry.h"
#include "messages.h"

int32_t kestrinAPI(void) { return KESTRIN_API_VERSION; }

int32_t kestrinEntry(char*, HostLookup, int32_t, int32_t) {
    // Volatile both ways: the compiler may neither see the null (and trap
    // instead) nor drop the write.
    volatile int* volatile nowhere = nullptr;
    *nowhere = 1;
    return 0;
}

void kestrinExit(void) {}

// The extension carries its C++ runtime (linked statically, python/CMakeLists.txt),
// and libstdc++'s std::random_device calls arc4random when the C library it
// was built against has it (glibc 2.36). Defined here, hidden, that call
// stays inside the extension and the glibc it asks for stays at 2.34, where
// threads and dlopen moved into libc (Ubuntu 22.04 and Rocky 9 have it; 2.36
// is Debian 12's). Nothing of the module draws random numbers; this serves
// the runtime alone.
#include <errno.h>
#include <stdint.h>
#include <stdlib.h>
#include <sys/random.h>

extern "C" __attribute__((visibility("hidden"))) uint32_t arc4random(void) noexcept {
    uint32_t value = 0;
    while (getrandom(&value, sizeof value, 0) != static_cast<ssize_t>(sizeof value)) {
        if (errno != EINTR) abort();
    }
    return value;
}

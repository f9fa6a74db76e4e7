#include "memory_report.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace kestrin::tool {
namespace {

// VmRSS and VmHWM from /proc/self/status, in KiB.
bool residentKiB(long* now, long* peak) {
    std::FILE* status = std::fopen("/proc/self/status", "r");
    if (status == nullptr) return false;
    char line[256];
    while (std::fgets(line, sizeof line, status) != nullptr) {
        if (std::strncmp(line, "VmRSS:", 6) == 0) *now = std::atol(line + 6);
        if (std::strncmp(line, "VmHWM:", 6) == 0) *peak = std::atol(line + 6);
    }
    std::fclose(status);
    return true;
}

// When the run started, near enough: static objects are made before main.
const std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();

}  // namespace

void reportMemory(const char* stage) {
    static const bool wanted = std::getenv("KESTRIN_MEMORY_REPORT") != nullptr;
    if (!wanted) return;
    static std::mutex mutex;
    static long last = 0;
    std::lock_guard<std::mutex> lock(mutex);
    long now = 0;
    long peak = 0;
    if (!residentKiB(&now, &peak)) return;
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::fprintf(stderr, "memory: %-44s %8.1f MB resident (%+8.1f MB), peak %8.1f MB, at %.3f s\n", stage,
                 now / 1024.0, (now - last) / 1024.0, peak / 1024.0, seconds);
    last = now;
}

}  // namespace kestrin::tool

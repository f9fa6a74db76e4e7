// Command over calloc for the whole process, the dlopen'ed plug-ins included:
// this program defines calloc and free (exported, so the plug-ins' calls bind
// to them) and forwards to the C library's own. A test can make the n-th
// calloc from now fail, and see which blocks made while watching are still
// held.
#ifndef KESTRIN_TEST_CALLOC_CONTROL_H
#define KESTRIN_TEST_CALLOC_CONTROL_H

#include <stddef.h>

#include <string>

namespace kestrin::test {

// Starts watching: the calloc after `succeed` successful ones fails with
// ENOMEM (never when succeed is negative), and every block calloc hands out
// is noted until it is freed.
void watchCalloc(int succeed);
// The same for the callocs that the already loaded library at path makes
// itself; every other calloc passes unwatched. For a plug-in whose work calls
// into another one (Rimshaper into the tangent-space provider), so that only
// its own allocations fail.
void watchCallocIn(const std::string& libraryPath, int succeed);
// Stops watching; returns whether a calloc was made to fail.
bool stopWatchingCalloc();
// Blocks handed out while watching that are still held.
size_t heldCallocBlocks();
// Callocs made while watching, the failed one included.
int callocCallsWatched();

}  // namespace kestrin::test

#endif

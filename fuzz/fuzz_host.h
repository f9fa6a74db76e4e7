// What the fuzz targets share: a host per input with the plug-ins loaded, and
// the checks every input must pass. A failed check aborts, which libFuzzer
// and the corpus replay both report as a crash with the message printed.
#ifndef KESTRIN_FUZZ_HOST_H
#define KESTRIN_FUZZ_HOST_H

#include <string>
#include <vector>

#include "host.h"

namespace kestrin::fuzz {

struct LoadedPlugins {
    int strainmark = -1;
    int rimshaper = -1;
    int grainmark = -1;
};

// Loads the tangent-space provider, Strainmark, the Strainshaper effect
// (Rimshaper.so) and Grainmark into host and links them. The libraries stay loaded for the whole process (a reference
// is kept from the first call on): unloading and loading them per input
// would be slow, and libFuzzer counts coverage per loaded library, which
// must not come and go. Their binding is done once; later entries find
// every group bound already and register again.
LoadedPlugins loadPlugins(host::Host& host);

// "kestrin-fuzz-PID-NAME" in the temporary directory: a path of this process
// alone, removed (with whatever is in it) when the process ends.
std::string scratchPath(const std::string& name);

// Aborts with "invariant broken: what" unless condition holds.
void require(bool condition, const char* what);

// Every weight and every displaced position handed to the host since the
// call log was last cleared is a finite number. Clears the log.
void checkHandedValues(host::Host& host);

// Destroys every record still attached to a scene object or to one of
// `others` (handles the scene does not know that may have been sent
// OBJ_CREATE), as a closing scene does, checking each answer; afterwards no
// record and no channel link may be left.
void closeScene(host::Host& host, const LoadedPlugins& plugins,
                const std::vector<HostHandle>& others = {});

}  // namespace kestrin::fuzz

#endif

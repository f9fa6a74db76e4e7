// For tests, fuzz targets and the pass benchmarks only: the simulator behind
// a session, to withhold names, fill name buffers oddly, read the call log or
// send one pass on the pose the scene holds. Drivers never include this (it
// is not on their include path).
#ifndef KESTRIN_HOST_SESSION_ACCESS_H
#define KESTRIN_HOST_SESSION_ACCESS_H

#include "host.h"
#include "session.h"

namespace kestrin::host {

Host& simulatorOf(Session& session);

}  // namespace kestrin::host

#endif

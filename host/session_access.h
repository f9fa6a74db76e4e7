// For tests and fuzz targets only: the simulator behind a session, to
// withhold names, fill name buffers oddly or read the call log. Drivers
// never include this (it is not on their include path).
#ifndef KESTRIN_HOST_SESSION_ACCESS_H
#define KESTRIN_HOST_SESSION_ACCESS_H

#include "host.h"
#include "session.h"

namespace kestrin::host {

Host& simulatorOf(Session& session);

}  // namespace kestrin::host

#endif

// Where the built plug-ins are, and a host with one of them loaded.
#ifndef KESTRIN_TEST_PLUGINS_H
#define KESTRIN_TEST_PLUGINS_H

#include <string>

#include "host.h"

namespace kestrin::test {

inline const std::string strainmarkPath = STRAINMARK_PATH;
inline const std::string rimshaperPath = RIMSHAPER_PATH;
inline const std::string grainmarkPath = GRAINMARK_PATH;
inline const std::string tangentSpacePath = TANGENTSPACE_PATH;

// Loads the plug-in into the host with call recording on; fails the test
// when the library cannot be loaded or its entry does not answer 0.
int loadPlugin(host::Host& host, const std::string& path);

}  // namespace kestrin::test

#endif

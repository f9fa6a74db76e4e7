// The tangent-space provider's functions, fetched by name on LINK_FUNCTIONS:
// one module-wide pointer per function, named after it, null until fetched
// and whenever the provider did not publish it.
#ifndef RIMSHAPER_TANGENT_API_H
#define RIMSHAPER_TANGENT_API_H

#include "kestrin_types.h"

#define TANGENT_FUNCTION(name) extern HostFunction name;
#define TANGENT_CALL(name, result, parameters) extern result(*name) parameters;
#include "tangent_functions.def"

// Fetches all five again through the host's lookup with BIND_PUBLISHED, in
// list order, storing each result as returned (null included).
void linkTangentFunctions(void);

#endif

// The plug-in's host function table: one module-wide pointer per host
// function, named after it, null until bindHostFunctions fills it. Functions
// the plug-ins call are typed (contracts in host_functions.def); the rest are
// held as plain HostFunction values.
#ifndef KESTRIN_HOST_API_H
#define KESTRIN_HOST_API_H

#include "kestrin_types.h"

#define HOST_FUNCTION(group, name) extern HostFunction name;
#define HOST_CALL(group, name, result, parameters) extern result(*name) parameters;
#include "host_functions.def"

#endif

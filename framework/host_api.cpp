#include "host_api.h"

#define HOST_FUNCTION(group, name) HostFunction name = nullptr;
#define HOST_CALL(group, name, result, parameters) result(*name) parameters = nullptr;
#include "host_functions.def"

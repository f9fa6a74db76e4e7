// Controls panels the modules build, and the values their controls hold.
#ifndef KESTRIN_HOST_CONTROLS_H
#define KESTRIN_HOST_CONTROLS_H

#include "kestrin_types.h"

namespace kestrin::host {

class ControlStore {
public:
};

}  // namespace kestrin::host

#endif

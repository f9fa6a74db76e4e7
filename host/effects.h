// Effect passes: target scans and the displacement being collected.
#ifndef KESTRIN_HOST_EFFECTS_H
#define KESTRIN_HOST_EFFECTS_H

#include "kestrin_types.h"

namespace kestrin::host {

struct EffectState {
};

}  // namespace kestrin::host

#endif

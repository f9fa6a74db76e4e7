// Weight-tool scans: which weight map is being filled.
#ifndef KESTRIN_HOST_WEIGHT_SCAN_H
#define KESTRIN_HOST_WEIGHT_SCAN_H

#include "kestrin_types.h"

namespace kestrin::host {

struct WeightScanState {
};

}  // namespace kestrin::host

#endif

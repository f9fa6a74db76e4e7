// Weight-tool scans: which weight map is being filled, and what reached it.
//
// Host::computeWeights (host.h) makes or chooses the map on the item's mesh,
// clears it and sends WEIGHT_COMPUTE; the module's fxWeightToolScan then runs
// its routine once per point number with the instance, and each
// fxWeightToolValueSet lands in that map. Values set outside a scan are
// counted and dropped.
#ifndef KESTRIN_HOST_WEIGHT_SCAN_H
#define KESTRIN_HOST_WEIGHT_SCAN_H

#include <stdint.h>

#include <vector>

#include "kestrin_types.h"

namespace kestrin::host {

// One fxWeightToolValueSet of the last scan, as the plug-in made it.
struct WeightWrite {
    int32_t point;
    float weight;
};

struct WeightScanState {
    // The computation requested by Host::computeWeights: the item and the map
    // it fills; 0 when none is in progress.
    HostHandle item = 0;
    HostHandle map = 0;
    // True while fxWeightToolScan is calling the routine.
    bool scanning = false;
    // Point numbers the next scans pass, when not empty; otherwise 1..n for a
    // mesh of n points. Lets a test call the routine with 0 or out of range.
    std::vector<int32_t> pointNumbers;

    // The writes of the last scan, in order; kept only while the host records
    // calls (CallLog), so that a scan outside tests stays a plain store.
    std::vector<WeightWrite> writes;
    int32_t scans = 0;                // fxWeightToolScan calls that ran a scan
    int32_t strayWrites = 0;          // values set outside a scan, dropped
};

}  // namespace kestrin::host

#endif

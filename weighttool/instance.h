// Strainmark's per-item record and its life: creation with its channels,
// reset, and release with everything it owns.
#ifndef STRAINMARK_INSTANCE_H
#define STRAINMARK_INSTANCE_H

#include <stdint.h>

#include "kestrin_types.h"
#include "rest_state.h"
#include "tension_channels.h"

// One per item carrying the weight tool, attached to the item as its type
// data. The five doubles are channel-linked: the host writes the channels'
// current values into them before every message and scan. The toggles are
// 0 or 1 and count as on only when equal to 1 (weight_toggles.def).
typedef struct WeightToolInstance {
    // exponent, preMultiplier, postMultiplier, stretchMultiplier,
    // squashMultiplier: channels 0 to 4 (tension_channels.def).
#define TENSION_CHANNEL(field, ...) double field;
#include "tension_channels.def"
    int32_t onlyPositive;      // "Only Positive": weights limited to 0..1
    int32_t switchMode;        // "Squash/Stretch switch": sign inverted
    int32_t clampValues;       // "Clamp": weights limited to -1..1

    // The rest state, built by the first computation after creation or load.
    int32_t captured;  // 1 once rest describes the rest shape
    RestState rest;

    // Set when the rest state could not be built in the scan in progress, so
    // that the scan writes nothing rather than retrying at every point.
    // Cleared when a scan starts.
    int32_t captureFailed;
} WeightToolInstance;

// Sets exponent 0.0 and captured 0, and ticks again the check boxes that
// are ticked by default (Clamp); touches nothing else.
void resetWeightTool(WeightToolInstance* tool);

// OBJ_CREATE: attaches a new record with its defaults to the item and makes
// and links its five channels. Without memory the item gets no record.
void createInstance(HostHandle item);

// OBJ_DESTROY: releases the item's record and all it owns, then detaches it.
void destroyInstance(HostHandle item);

// The item's record, or null.
WeightToolInstance* findInstance(HostHandle item);

#endif

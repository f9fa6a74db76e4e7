// Grainmark's per-item record and its life: creation with its channels,
// reset, and release with everything it owns.
#ifndef GRAINMARK_INSTANCE_H
#define GRAINMARK_INSTANCE_H

#include <stdint.h>

#include "grain_lists.h"
#include "grain_rest.h"
#include "kestrin_types.h"

// One per item carrying the tool, attached to the item as its type data.
// The doubles are channel-linked: the host writes the channels' current
// values into them before every message and scan.
typedef struct GrainInstance {
    // Channels 0-4 (tension_channels.def), then the axis, channels 5-7
    // (axis_channels.def).
#define TENSION_CHANNEL(field, ...) double field;
#include "tension_channels.def"
#define AXIS_CHANNEL(field, ...) double field;
#include "axis_channels.def"
    // The check boxes of weight_toggles.def, 0 or 1, on only when 1.
#define WEIGHT_TOGGLE(field, ...) int32_t field;
#include "weight_toggles.def"
    int32_t measure;  // a GrainMeasure; any other value measures nothing (unchanged)

    // The rest state, built by the first computation after creation or load.
    int32_t captured;  // 1 once rest describes the rest shape
    GrainRest rest;
    // Set when the rest state could not be built in the scan in progress, so
    // that the scan writes nothing rather than retrying at every point.
    int32_t captureFailed;
    // 1 once the scan in progress has read the current pose into
    // rest.pose, with the axis below; cleared when a scan starts.
    int32_t poseRead;
    double unitAxis[3];  // the axis channels made unit length, read with the pose
    int32_t axisUsable;  // 0 when the axis has no direction (zero or not finite)
} GrainInstance;

// Sets exponent 0.0 and captured 0, and ticks again the check boxes that
// are ticked by default; touches nothing else.
void resetGrainmark(GrainInstance* grain);

// OBJ_CREATE: attaches a new record with its defaults to the item and makes
// and links its eight channels. Without memory the item gets no record.
void createInstance(HostHandle item);

// OBJ_DESTROY: releases the item's record and all it owns, then detaches it.
void destroyInstance(HostHandle item);

// The item's record, or null.
GrainInstance* findInstance(HostHandle item);

#endif

// Grainmark's own lists (axis_channels.def, grain_measures.def), counted
// once for the plug-in and every door.
#ifndef KESTRIN_GRAIN_LISTS_H
#define KESTRIN_GRAIN_LISTS_H

#include <stdint.h>

#include "tension_channels.h"

enum : int32_t {
    AXIS_CHANNEL_COUNT = 0
#define AXIS_CHANNEL(field, ...) +1
#include "axis_channels.def"
    ,
    // The axis channels follow the tension channels.
    FIRST_AXIS_CHANNEL = TENSION_CHANNEL_COUNT,
};

enum GrainMeasure : int32_t {
#define GRAIN_MEASURE(id, ...) id,
#include "grain_measures.def"
    GRAIN_MEASURE_COUNT
};

#endif

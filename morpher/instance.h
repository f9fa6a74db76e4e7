// One Strainshaper effect on one item: the user's settings, bound to the
// item's channels and controls, and the rest state the capture builds.
#ifndef RIMSHAPER_INSTANCE_H
#define RIMSHAPER_INSTANCE_H

#include <stdint.h>

#include "kestrin_types.h"
#include "rest_state.h"
#include "tension_channels.h"

// The field order is part of the record's identity: the host writes the five
// channel values straight into the first five fields.
typedef struct MorpherInstance {
    // exponent, preMultiplier, postMultiplier, stretchMultiplier,
    // squashMultiplier: channels 0 to 4 (tension_channels.def), read by the
    // tension curve (measure/tension_curve.h).
#define TENSION_CHANNEL(field, ...) double field;
#include "tension_channels.def"
    HostHandle weightMap;      // 0 = none
    HostHandle stretchObject;  // 0 = none
    HostHandle squashObject;   // 0 = none
    int32_t scanFlag;          // saved and loaded, otherwise unused
    int32_t captured;          // 1 while a complete rest state is held

    // Rest state: every array holds rest.pointCount entries and is owned here.
    RestState rest;
    TangentSpaceHandle tangentSpace;  // owned by the provider, never released here
    Point3* squashDeltas;             // offsets in each point's rest tangent frame
    Point3* stretchDeltas;
    double* tensions;  // per-pass work buffer: each point's last displacement factor
} MorpherInstance;

// The record attached to item, or null when the item has none.
MorpherInstance* findInstance(HostHandle item);

// Sets exponent to 0.0 and captured to 0; nothing else.
void resetInstance(MorpherInstance* record);

// Attaches a new record with the default settings to item and creates and
// binds its five channels. Without memory the item gets no record.
void createInstance(HostHandle item);

// Releases item's record and everything it owns, and detaches it.
void destroyInstance(HostHandle item);

// Releases everything a capture made (the rest state, both offset arrays and
// the tension buffer), clears their pointers and the tangent-space handle,
// and leaves captured 0.
void releaseCapture(MorpherInstance* record);

#endif

// The five animatable settings both plug-ins keep at the head of their
// records, in channel index order.
#ifndef KESTRIN_TENSION_CHANNELS_H
#define KESTRIN_TENSION_CHANNELS_H

#include <stdint.h>

#include "kestrin_types.h"

enum : int32_t { TENSION_CHANNEL_COUNT = 5 };

// fields: the record's exponent, preMultiplier, postMultiplier,
// stretchMultiplier and squashMultiplier, in that order. Writes their
// defaults (0.2, then 0.5 for each multiplier), creates the item's channels
// 0-4 ("Exponent", "Pre Multiplier", "Post Multiplier", "Stretch Multi",
// "Squash Multi") with those defaults, then links each channel to its field,
// after which the host keeps the field equal to the channel's current value.
void setupTensionChannels(HostHandle item, double* const fields[TENSION_CHANNEL_COUNT]);

#endif

// The five animatable settings both plug-ins keep at the head of their
// records, in channel index order: names, defaults and saved keys are those
// of tension_channels.def.
#ifndef KESTRIN_TENSION_CHANNELS_H
#define KESTRIN_TENSION_CHANNELS_H

#include <stdint.h>

#include "kestrin_types.h"

enum : int32_t {
    TENSION_CHANNEL_COUNT = 0
#define TENSION_CHANNEL(name, value, savedKey, option, help) +1
#include "tension_channels.def"
};

// In each routine below, fields are the record's exponent, preMultiplier,
// postMultiplier, stretchMultiplier and squashMultiplier: the fields of
// channels 0 to 4, in that order.

// Writes the channels' defaults into the fields, creates the item's channels
// 0-4 with their names and those defaults, then links each channel to its
// field, after which the host keeps the field equal to the channel's current
// value.
void setupTensionChannels(HostHandle item, double* const fields[TENSION_CHANNEL_COUNT]);

// Writes into block, in channel order, the value of each channel that has a
// saved key; the others travel with their channels only.
void saveTensionChannels(FormatBlock block, double* const fields[TENSION_CHANNEL_COUNT]);

// Reads back, in the same order, what saveTensionChannels wrote; a key the
// block lacks leaves its field as it was.
void loadTensionChannels(FormatBlock block, double* const fields[TENSION_CHANNEL_COUNT]);

#endif

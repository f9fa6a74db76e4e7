// Channels of a plug-in's record, whatever list they come from: created
// with their defaults and linked to their fields, shown as controls.
#ifndef KESTRIN_CHANNEL_SETUP_H
#define KESTRIN_CHANNEL_SETUP_H

#include <stdint.h>

#include "kestrin_types.h"

// Channels first .. first + count - 1 of the item, in index order: each
// field (count of them) gets its default, then every channel is created with
// its name and that value, then every channel is linked to its field, after
// which the host keeps the field equal to the channel's current value.
void setupChannels(HostHandle item, int32_t first, int32_t count, const char* const names[],
                   const double defaults[], double* const fields[]);

// One channel control per channel first .. first + count - 1, labelled with
// labels, in index order. Channel 0's control is placed where the host
// starts the block's controls; the others follow the one before.
void buildChannelControlRange(int32_t first, int32_t count, const char* const labels[]);

#endif

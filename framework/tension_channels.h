// The five animatable settings both plug-ins keep at the head of their
// records, in channel index order: fields, names, labels, defaults and saved
// keys are those of tension_channels.def.
#ifndef KESTRIN_TENSION_CHANNELS_H
#define KESTRIN_TENSION_CHANNELS_H

#include <stdint.h>

#include "kestrin_types.h"
#include "tension_curve.h"

enum : int32_t {
    TENSION_CHANNEL_COUNT = 0
#define TENSION_CHANNEL(field, ...) +1
#include "tension_channels.def"
};

// The curve reads exactly the channels: one double per channel, each filled
// by name in tensionSettingsOf.
static_assert(sizeof(TensionSettings) == TENSION_CHANNEL_COUNT * sizeof(double),
              "the tension curve's settings are the tension channels");

// The record's channel fields, in channel order, into r_fields. Record is a
// plug-in record that declares the fields from the list.
template <typename Record>
void tensionChannelFields(Record* record, double* r_fields[TENSION_CHANNEL_COUNT]) {
    int32_t i = 0;
#define TENSION_CHANNEL(field, ...) r_fields[i++] = &record->field;
#include "tension_channels.def"
}

// The record's channel values as the tension curve reads them.
template <typename Record>
TensionSettings tensionSettingsOf(const Record* record) {
    TensionSettings settings;
#define TENSION_CHANNEL(field, ...) settings.field = record->field;
#include "tension_channels.def"
    return settings;
}

// In each routine below, fields are the record's channel fields in channel
// order, as tensionChannelFields gives them.

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

// A panel's five channel controls, in channel order, labelled with labels
// (the plug-in's column of the list); the first is placed where the host
// starts the block's controls, the others follow it.
void buildChannelControls(const char* const labels[TENSION_CHANNEL_COUNT]);

#endif

#include "panel.h"

#include "host_api.h"
#include "instance.h"
#include "messages.h"

HostHandle morpherBlock = 0;

namespace {

const int32_t POPUP_WIDTH = 175;
// Every object may be chosen: no filter.
const int32_t OBJECT_POPUP_FLAGS = 256;

const char* const channelLabels[TENSION_CHANNEL_COUNT] = {
#define TENSION_CHANNEL(field, name, weightToolLabel, effectLabel, ...) effectLabel,
#include "tension_channels.def"
};

// Moves a choice between a control and the record field it edits. A choice
// never touches the rest state: a new target reaches it only through a capture.
void exchangeChoice(HostHandle control, uint64_t event, HostHandle* field) {
    if (event == CONTROL_CHANGED) {
        fxConGetObj(control, field);
    } else if (event == CONTROL_REFRESH) {
        fxConSetObj(control, *field);
    }
}

}  // namespace

void buildPanel(void) {
    morpherBlock = fxCC_Block("Strainshaper", 0, 0, 0);
    // The channel controls edit channels, which the host carries into the
    // record's fields: they need no callback.
    buildChannelControls(channelLabels);
    fxCC_WeightPopup("Weight", onWeightControl, 1, POPUP_WIDTH);
    fxCC_ObjectPopup("Squash object", onSquashObjectControl, 1, POPUP_WIDTH, nullptr,
                     nullptr, nullptr, OBJECT_POPUP_FLAGS);
    fxCC_ObjectPopup("Stretch object", onStretchObjectControl, 1, POPUP_WIDTH, nullptr,
                     nullptr, nullptr, OBJECT_POPUP_FLAGS);
    fxInterfaceBlockSet("Animate", nullptr, nullptr, morpherBlock, 0);
    fxInterfaceBlockSet("Animate", "Animate", "Spline", 0, 0);
    fxInterfaceBlockSet("Setup", nullptr, nullptr, morpherBlock, 0);
}

int32_t onWeightControl(HostHandle control, HostHandle item, void*, uint64_t event) {
    MorpherInstance* record = findInstance(item);
    if (record != nullptr) exchangeChoice(control, event, &record->weightMap);
    return 0;
}

int32_t onStretchObjectControl(HostHandle control, HostHandle item, void*, uint64_t event) {
    MorpherInstance* record = findInstance(item);
    if (record != nullptr) exchangeChoice(control, event, &record->stretchObject);
    return 0;
}

int32_t onSquashObjectControl(HostHandle control, HostHandle item, void*, uint64_t event) {
    MorpherInstance* record = findInstance(item);
    if (record != nullptr) exchangeChoice(control, event, &record->squashObject);
    return 0;
}

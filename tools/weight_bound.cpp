#include "weight_bound.h"

#include "tension_bound.h"

namespace kestrin::tool {

double weightToolBound(const drive::WeightTool& tool) {
    TensionSettings settings;
#define TENSION_CHANNEL(field, name, ...) settings.field = tool.channel(name);
#include "tension_channels.def"
    WeightSwitches switches;
#define WEIGHT_TOGGLE(field, callback, label, ...) switches.field = tool.toggle(label) ? 1 : 0;
#include "weight_toggles.def"
    return weightBound(settings, switches);
}

}  // namespace kestrin::tool

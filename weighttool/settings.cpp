#include "settings.h"

#include "host_api.h"
#include "instance.h"

void saveWeightTool(void* data, HostHandle item) {
    WeightToolInstance* tool = findWeightTool(item);
    if (tool == nullptr) return;
    FormatBlock block = fxFormatNew(data, "LagData", 0);
    fxArgSaveInt(block, "positive", tool->onlyPositive, 0);
    fxArgSaveInt(block, "switch_mode", tool->switchMode, 0);
    fxArgSaveInt(block, "clamp_values", tool->clampValues, 0);
    fxArgSaveDouble(block, "lag", tool->exponent, 0);
    fxArgSaveDouble(block, "multiplier1", tool->preMultiplier, 0);
    fxArgSaveDouble(block, "multiplier2", tool->postMultiplier, 0);
}

void loadWeightTool(void* data, HostHandle item) {
    WeightToolInstance* tool = findWeightTool(item);
    if (tool == nullptr) return;
    resetWeightTool(tool);
    FormatBlock block = fxFormatGet(data, "LagData");
    fxArgLoadInt(block, "positive", &tool->onlyPositive);
    fxArgLoadInt(block, "switch_mode", &tool->switchMode);
    fxArgLoadInt(block, "clamp_values", &tool->clampValues);
    fxArgLoadDouble(block, "lag", &tool->exponent);
    fxArgLoadDouble(block, "multiplier1", &tool->preMultiplier);
    fxArgLoadDouble(block, "multiplier2", &tool->postMultiplier);
    tool->captured = 0;
}

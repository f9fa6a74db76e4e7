#include "display.h"

#include "host_api.h"

void setupModuleDisplay(void) {
    fxInitEffectManipulator("EditSlider", 0);
    fxInitEffectColor(200, 220, 0);
    fxInitEffectTool("Null", 0);
}

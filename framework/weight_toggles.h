// The weight tool's check boxes of weight_toggles.def, counted and checked
// once for every weight tool.
#ifndef KESTRIN_WEIGHT_TOGGLES_H
#define KESTRIN_WEIGHT_TOGGLES_H

#include <stdint.h>

#include "weight_curve.h"

// Where the saved block carries each check box (1 first), in list order.
constexpr int32_t weightToggleSavedPositions[] = {
#define WEIGHT_TOGGLE(field, callback, label, savedKey, savedPosition, ...) savedPosition,
#include "weight_toggles.def"
};
constexpr int32_t WEIGHT_TOGGLE_COUNT =
    sizeof weightToggleSavedPositions / sizeof weightToggleSavedPositions[0];

// The curve reads exactly the check boxes, each filled by name in
// weightSwitchesOf.
static_assert(sizeof(WeightSwitches) == WEIGHT_TOGGLE_COUNT * sizeof(int32_t),
              "the weight curve's switches are the check boxes");

// True when the saved positions are 1 to WEIGHT_TOGGLE_COUNT, each once.
constexpr bool savedPositionsComplete() {
    for (int32_t position = 1; position <= WEIGHT_TOGGLE_COUNT; ++position) {
        int32_t taken = 0;
        for (int32_t given : weightToggleSavedPositions) taken += given == position ? 1 : 0;
        if (taken != 1) return false;
    }
    return true;
}
static_assert(savedPositionsComplete(), "each check box has its own place in the saved block");

// The record's check boxes as the weight curve reads them. Record is a
// weight tool's record with the list's fields.
template <typename Record>
WeightSwitches weightSwitchesOf(const Record* record) {
    WeightSwitches switches;
#define WEIGHT_TOGGLE(field, ...) switches.field = record->field;
#include "weight_toggles.def"
    return switches;
}

#endif

// The live tangent spaces, in a plain array. A handle is a serial number, not
// an address: a handle kept after its space was replaced or released names
// nothing instead of freed memory.
#include <stdlib.h>

#include "tangent_space.h"

namespace {

TangentSpace** spaces = nullptr;
int32_t spaceCount = 0;
int32_t spaceCapacity = 0;
uintptr_t lastId = 0;

int32_t indexOfHandle(TangentSpaceHandle handle) {
    const uintptr_t id = reinterpret_cast<uintptr_t>(handle);
    for (int32_t k = 0; k < spaceCount; ++k) {
        if (spaces[k]->id == id) return k;
    }
    return -1;
}

void removeAt(int32_t k) {
    free(spaces[k]->frames);
    free(spaces[k]);
    spaces[k] = spaces[spaceCount - 1];
    --spaceCount;
}

}  // namespace

TangentSpaceHandle handleOf(const TangentSpace* space) {
    return space != nullptr ? reinterpret_cast<TangentSpaceHandle>(space->id) : nullptr;
}

TangentSpace* spaceOfPair(HostHandle mesh, uint32_t targetId) {
    for (int32_t k = 0; k < spaceCount; ++k) {
        if (spaces[k]->mesh == mesh && spaces[k]->targetId == targetId) return spaces[k];
    }
    return nullptr;
}

TangentSpace* spaceOfHandle(TangentSpaceHandle handle) {
    const int32_t k = indexOfHandle(handle);
    return k >= 0 ? spaces[k] : nullptr;
}

TangentSpace* createSpace(HostHandle mesh, uint32_t targetId) {
    if (TangentSpace* old = spaceOfPair(mesh, targetId)) releaseSpace(handleOf(old));
    if (spaceCount == spaceCapacity) {
        const int32_t capacity = spaceCapacity * 2 + 4;
        TangentSpace** grown =
            static_cast<TangentSpace**>(realloc(spaces, sizeof(TangentSpace*) * capacity));
        if (grown == nullptr) return nullptr;
        spaces = grown;
        spaceCapacity = capacity;
    }
    TangentSpace* space = static_cast<TangentSpace*>(calloc(1, sizeof(TangentSpace)));
    if (space == nullptr) return nullptr;
    space->id = ++lastId;
    space->mesh = mesh;
    space->targetId = targetId;
    spaces[spaceCount++] = space;
    return space;
}

bool releaseSpace(TangentSpaceHandle handle) {
    const int32_t k = indexOfHandle(handle);
    if (k < 0) return false;
    removeAt(k);
    return true;
}

void releaseAllSpaces(void) {
    while (spaceCount > 0) removeAt(spaceCount - 1);
    free(spaces);
    spaces = nullptr;
    spaceCapacity = 0;
}

// Message classes, their sub-kinds, control events and the group bits of the
// host function table. Sub-kinds and events are 64-bit and always compared
// whole: a value with any other bit set, high word included, matches nothing.
#ifndef KESTRIN_MESSAGES_H
#define KESTRIN_MESSAGES_H

#include <stdint.h>

// The classes and sub-kinds themselves are listed in messages.def.
enum : uint32_t {
#define MESSAGE_CLASS(name, value) name = value,
#include "messages.def"
};

enum : uint64_t {
#define MESSAGE_SUB_KIND(messageClass, name, value) name = value,
#include "messages.def"
};

enum : uint64_t {
    CONTROL_CHANGED = 0,
    CONTROL_REFRESH = 1,
};

// Group bits of the host function table. They are not in lookup order; the
// order is the one of the list in host_functions.def.
enum : uint32_t {
    BIND_OBJECT = 0x1,
    BIND_MESH = 0x2,
    BIND_CHANNEL = 0x4,
    BIND_INTERFACE = 0x8,
    BIND_EFFECT = 0x10,
    BIND_SHADER = 0x20,
    BIND_FUNCTION = 0x80,
    BIND_COMMAND = 0x100,
    BIND_MESSAGE = 0x200,
    BIND_FORMAT = 0x400,
    BIND_DATA = 0x800,
    BIND_TIME = 0x4000,
    BIND_MODULE = 0x8000,
    BIND_EXPRESSION = 0x10000,
    BIND_VARIABLE = 0x20000,
    BIND_GROUP = 0x40000,
    BIND_ARMATURE = 0x80000,
    BIND_ACTION = 0x100000,
    BIND_WEIGHT_TOOL = 0x200000,
    BIND_ALL = 0x7fffffff,
    // Functions that other plug-ins publish through the host.
    BIND_PUBLISHED = 0x80000000,
};

// kestrinAPI's answer: the interface version both plug-ins speak.
enum : int32_t { KESTRIN_API_VERSION = 0x103000 };

#endif

// Names of the message classes and sub-kinds, from the one list the plug-ins
// compile against.
#include <cstdio>

#include "messages.h"
#include "plugin_check.h"

namespace kestrin::host {
namespace {

struct SubKindName {
    uint32_t messageClass;
    uint64_t subKind;
    const char* name;
};

constexpr SubKindName subKindNames_[] = {
#define MESSAGE_SUB_KIND(messageClass, name, value) {messageClass, value, #name},
#include "messages.def"
};

std::string hex(uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(value));
    return text;
}

}  // namespace

const char* messageClassName(uint32_t messageClass) {
    switch (messageClass) {
#define MESSAGE_CLASS(name, value) \
    case value: return #name;
#include "messages.def"
    }
    return nullptr;
}

const char* subKindName(uint32_t messageClass, uint64_t subKind) {
    for (const SubKindName& entry : subKindNames_) {
        if (entry.messageClass == messageClass && entry.subKind == subKind) return entry.name;
    }
    return nullptr;
}

std::string describeMessage(uint32_t messageClass, uint64_t subKind) {
    std::string text = std::to_string(messageClass) + "/" + hex(subKind);
    const char* cls = messageClassName(messageClass);
    if (cls == nullptr) return text;
    const char* sub = subKindName(messageClass, subKind);
    return text + " (" + cls + (sub != nullptr ? std::string("/") + sub : std::string()) + ")";
}

std::string subKindNames(uint32_t messageClass, uint64_t mask) {
    std::string list;
    for (int bit = 0; bit < 64; ++bit) {
        const uint64_t subKind = uint64_t{1} << bit;
        if ((mask & subKind) == 0) continue;
        const char* name = subKindName(messageClass, subKind);
        if (!list.empty()) list += ' ';
        list += name != nullptr ? name : hex(subKind);
    }
    return list;
}

}  // namespace kestrin::host

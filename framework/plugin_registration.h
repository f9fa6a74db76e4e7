// What a plug-in told the host when it was entered, as plain values: the
// simulator fills it from the loaded module, and its doors (the session, the
// plug-in check) hand it to drivers, which print it.
#ifndef KESTRIN_PLUGIN_REGISTRATION_H
#define KESTRIN_PLUGIN_REGISTRATION_H

#include <stdint.h>

#include <string>

namespace kestrin {

struct PluginRegistration {
    int32_t apiVersion = 0;    // kestrinAPI's answer
    int32_t entryResult = -1;  // kestrinEntry's answer; 0 when registered
    std::string name;          // fxModuleRegister's name
    std::string description;   // fxModuleDescription's text
    int32_t moduleClass = 0;   // fxModuleRegister's class and flags
    int32_t registerFlags = 0;
};

}  // namespace kestrin

#endif

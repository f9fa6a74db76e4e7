// The plug-in check: loads a plug-in library in a fresh host, as the kestrin
// host does, and reports what it registered and how it answered every
// message, the effect passes included (run with the tangent-space provider
// when one is given). The whole check, the library's loading and its
// kestrinEntry included, runs in a child process under a time limit, so a
// plug-in that crashes or hangs is reported instead of taking its caller
// down with it.
//
// Plain values only: a driver prints the report without knowing the
// simulator.
#ifndef KESTRIN_PLUGIN_CHECK_H
#define KESTRIN_PLUGIN_CHECK_H

#include <stddef.h>
#include <stdint.h>

#include <chrono>
#include <string>
#include <vector>

#include "plugin_registration.h"

namespace kestrin::host {

// One fxModuleAccess call of the plug-in.
struct DeclaredMessages {
    uint32_t messageClass = 0;
    uint64_t subKindMask = 0;
};

// One message the check sent, and the plug-in's answer.
struct AnsweredMessage {
    uint32_t messageClass = 0;
    uint64_t subKind = 0;
    int32_t answer = 0;
};

// A message the plug-in showed the user (fxMessageSend).
struct ShownText {
    std::string title;
    std::string text;
};

struct PluginReport {
    std::string path;  // the file as it was loaded

    // Registration. `entered` is false when the file could not be loaded or
    // has no entry points; the fields below it are then unset.
    bool entered = false;
    PluginRegistration registration;
    size_t lookups = 0;        // HostLookup requests during kestrinEntry
    std::vector<DeclaredMessages> declared;  // in the order declared
    std::vector<ShownText> shown;            // during the whole check

    // The provider loaded before the plug-in: its path, "" when none was.
    std::string provider;

    // The message run: `planned` messages, of which `answered` came back, in
    // the order sent.
    size_t planned = 0;
    std::vector<AnsweredMessage> answered;

    // The effect passes (EFFECT_SETUP with the targets chosen in the
    // plug-in's object popups, then EFFECT_DISPLACE on the mesh stretched to
    // 1.5 times its size). Set when the plug-in declared either pass.
    bool effectPasses = false;
    size_t targetsChosen = 0;   // object popups given a target
    size_t pointCount = 0;      // points of the displaced mesh
    size_t pointsMoved = 0;     // points the displacement moved off the pose
    size_t tangentCalls = 0;    // calls into the provider's functions

    // Why the check failed, in one line; "" when the plug-in passed: it
    // loaded, registered, answered every message with 0 and neither crashed
    // nor hung, the library's unloading included.
    std::string failure;

    bool passed() const { return failure.empty(); }
};

// Checks the plug-in at pluginPath, with the tangent-space provider at
// providerPath loaded first ("" for none). A path without a slash is looked
// up as dlopen does (the library path, not the current folder). Gives up on
// the child after timeout and reports what it had done so far.
PluginReport checkPlugin(const std::string& pluginPath, const std::string& providerPath,
                         std::chrono::seconds timeout);

// Names from messages.def: "MSG_EFFECT", "EFFECT_SETUP"; null for a value
// the list does not hold.
const char* messageClassName(uint32_t messageClass);
const char* subKindName(uint32_t messageClass, uint64_t subKind);
// "10/0x4 (MSG_EFFECT/EFFECT_SETUP)", names left out where unknown.
std::string describeMessage(uint32_t messageClass, uint64_t subKind);
// The sub-kinds of a mask by name, hexadecimal where unnamed, space separated.
std::string subKindNames(uint32_t messageClass, uint64_t mask);

}  // namespace kestrin::host

#endif

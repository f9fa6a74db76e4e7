// The host simulator: loads plug-in libraries, serves every host function by
// name, owns the scene and the host-side state of the services, sends the
// numbered messages and drives the scans, as the kestrin host does.
//
// The host functions are plain C functions without a context argument, so
// they reach the host through Host::active(): the host that is calling into
// a plug-in on this thread. Several hosts may live at once (two sessions of
// a Python program, a test that compares two scenes); each sets itself as
// the active one for the length of every call it makes into plug-in code.
#ifndef KESTRIN_HOST_HOST_H
#define KESTRIN_HOST_HOST_H

#include <dlfcn.h>
#include <stdint.h>

#include <map>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "call_log.h"
#include "channels.h"
#include "controls.h"
#include "effects.h"
#include "kestrin_types.h"
#include "plugin_registration.h"
#include "provider.h"
#include "scene.h"
#include "settings.h"
#include "weight_scan.h"

namespace kestrin::host {

// One HostLookup request, as the plug-in made it.
struct LookupRequest {
    std::string name;
    uint32_t group;
};

// What fxMessageSend showed the user.
struct ShownMessage {
    std::string title;
    int32_t style;
    std::string text;
};

struct ModuleAccessRecord {
    uint32_t messageClass;
    uint64_t subKindMask;
};

// A plug-in library the host loaded, and what it registered.
struct LoadedModule {
    std::string path;
    void* library = nullptr;
    int32_t apiVersion = 0;
    int32_t entryResult = -1;
    // The whole 256-byte name buffer as kestrinEntry left it (it starts as
    // Host::nameBufferFill with a 0xAA guard byte at 255).
    std::vector<unsigned char> nameBuffer;
    std::string description;
    std::vector<ModuleAccessRecord> access;
    // fxModuleRegister's arguments; callback is null until registered.
    int32_t moduleClass = 0;
    std::string name;
    ModuleCallback callback = nullptr;
    int32_t registerFlags = 0;

    bool registered() const { return callback != nullptr; }
    PluginRegistration registration() const {
        return {apiVersion, entryResult, name, description, moduleClass, registerFlags};
    }
};

class Host {
public:
    Host();
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    // The host the host functions serve: the one calling into plug-in code
    // on this thread; outside such a call, the newest live host (a test that
    // calls plug-in code directly); with no host alive, an empty standby
    // host, so that a host function never reaches a null host.
    static Host* active() {
        Host* host = calling_;
        return host != nullptr ? host : ambient();
    }

    // What the next kestrinEntry is given.
    int32_t hostFlags = 0x00100000;
    int32_t hostType = 2;
    // What the name buffer holds before kestrinEntry writes to it (the guard
    // byte at 255 aside); a test fills it with junk to see the zero padding.
    unsigned char nameBufferFill = 0;
    // Hands kestrinEntry a null name buffer instead, as a faulty host might.
    bool nullNameBuffer = false;
    int dlopenFlags = RTLD_LAZY | RTLD_LOCAL;

    // Loads a plug-in and enters it: kestrinAPI, then kestrinEntry with a
    // 256-byte name buffer, the lookup callback, hostFlags and hostType.
    // Returns the module's index, also when the entry failed (see
    // entryResult); -1 when the file cannot be loaded or lacks an entry point,
    // with the reason in *error.
    int load(const std::string& path, std::string* error = nullptr);
    LoadedModule& module(int index) { return modules_[index]; }
    int moduleCount() const { return static_cast<int>(modules_.size()); }

    // HostLookup. Every host function is found under its own group bit only;
    // BIND_PUBLISHED finds what was published. Each request is kept in
    // lookups().
    HostFunction lookup(const char* name, uint32_t groupBits);
    void withhold(const std::string& name) { withheld_.insert(name); }
    void withholdNothing() { withheld_.clear(); }
    const std::vector<LookupRequest>& lookups() const { return lookups_; }
    void clearLookups() { lookups_.clear(); }
    void publish(const std::string& name, HostFunction function) { published_[name] = function; }
    // A published function for the host's own use (not recorded as a lookup);
    // null when none is published under that name.
    HostFunction published(const std::string& name) const {
        auto found = published_.find(name);
        return found == published_.end() ? nullptr : found->second;
    }
    void unpublish(const std::string& name) { published_.erase(name); }
    void unpublishAll() { published_.clear(); }

    // Sends a message to a module as the host does: the linked channels are
    // written into their fields first. Returns the module's answer; a module
    // that is not registered gets nothing and the answer is 0.
    int32_t send(int module, HostHandle item, uint32_t messageClass, uint64_t subKind,
                 void* data = nullptr);

    // The module the host is calling into (during send, entry and control
    // callbacks); -1 outside those calls.
    int callingModule() const { return callingModule_; }
    // Runs f with `module` as the calling module, restoring the previous one.
    // This host is the active one on this thread meanwhile.
    template <typename F>
    auto callInto(int module, F&& f) {
        struct Restore {
            int& slot;
            int saved;
            Host* host;
            ~Restore() {
                slot = saved;
                calling_ = host;
            }
        } restore{callingModule_, callingModule_, calling_};
        callingModule_ = module;
        calling_ = this;
        return f();
    }

    // OBJ_SAVE / OBJ_LOAD with the context as the message's data
    // (settings.h). The host keeps the instance's channel values in the
    // context too: saved before OBJ_SAVE, restored before OBJ_LOAD.
    int32_t saveInstance(int module, HostHandle item, SettingsContext& context);
    int32_t loadInstance(int module, HostHandle item, SettingsContext& context);

    // Fills the weight map of that name on the item's mesh (made when
    // missing, cleared first) by sending WEIGHT_COMPUTE to the module
    // (weight_scan.h). Returns the map's handle; 0 when the item is no object.
    HostHandle computeWeights(int module, HostHandle item, const std::string& mapName);

    // Acting as the user on a control (controls.h). changeControl and
    // changeControlObject set the control's value and call its callback with
    // CONTROL_CHANGED for item; refreshControl asks it to show item's value
    // (CONTROL_REFRESH); controlEvent passes any event. The callback runs as
    // the module that made the control. Returns the callback's answer; -1
    // when there is no such control or it has no callback.
    int32_t changeControl(HostHandle control, HostHandle item, int32_t value);
    int32_t changeControlObject(HostHandle control, HostHandle item, HostHandle value);
    int32_t refreshControl(HostHandle control, HostHandle item);
    int32_t controlEvent(HostHandle control, HostHandle item, uint64_t event);

    // Effect passes (effects.h, effect_passes.cpp). linkModules sends
    // LINK_FUNCTIONS to every registered module that declared it, as the host
    // does once the plug-ins and the provider are loaded. setupEffect sends
    // EFFECT_SETUP with the item's targets evaluated at their rest shape
    // (current = base; their pose is restored afterwards); displaceEffect
    // sends EFFECT_DISPLACE; a target whose pass the module did not close
    // gets its current positions as its output. Both return the module's answer.
    void linkModules();
    int32_t setupEffect(int module, HostHandle item);
    int32_t displaceEffect(int module, HostHandle item);
    // The meshes an effect on item scans: its targets that are objects, or
    // the item itself when it lists none; empty when item is no object.
    std::vector<HostHandle> effectTargets(HostHandle item) const;

    // Records plug-ins attached to items, per module.
    void* typeData(int module, HostHandle item) const;
    void setTypeData(int module, HostHandle item, void* record);
    // Items that still have a record of some module attached.
    size_t attachedRecords() const { return typeData_.size(); }

    CallLog log;
    std::vector<ShownMessage> shown;
    Scene scene;
    ChannelStore channels;
    ControlStore controls;
    WeightScanState weightScan;
    EffectState effects;
    // The tangent-space provider (provider.h); unloaded after the plug-ins.
    TangentProvider provider{*this};

private:
    struct Standby {};
    explicit Host(Standby);
    static Host* ambient();

    // Read by every host function: an inline thread-local load. Initial-exec,
    // so that it stays one instruction also when the simulator is part of a
    // shared library (the Python module).
    static inline thread_local Host* calling_ __attribute__((tls_model("initial-exec"))) = nullptr;
    bool live_ = true;

    std::vector<LoadedModule> modules_;
    std::set<std::string> withheld_;
    std::vector<LookupRequest> lookups_;
    std::map<std::string, HostFunction> published_;
    std::map<std::pair<int, HostHandle>, void*> typeData_;
    int callingModule_ = -1;
};

}  // namespace kestrin::host

#endif

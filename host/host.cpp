#include "host.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "function_table.h"
#include "messages.h"
#include "private_library.h"

namespace kestrin::host {
namespace {

HostFunction lookupCallback(const char* name, uint32_t groupBits) {
    return Host::active()->lookup(name, groupBits);
}

using ApiFunction = int32_t (*)(void);
using EntryFunction = int32_t (*)(char*, HostLookup, int32_t, int32_t);

// The hosts alive in this process, oldest first. Never destroyed: a host
// kept by a static object of the program is destroyed during exit, after
// other files' static objects are gone.
std::mutex liveHostsMutex;
std::vector<Host*>& liveHosts() {
    static std::vector<Host*>* const hosts = new std::vector<Host*>;
    return *hosts;
}

}  // namespace

Host::Host() {
    std::lock_guard<std::mutex> lock(liveHostsMutex);
    liveHosts().push_back(this);
}

Host::Host(Standby) : live_(false) {}

Host::~Host() {
    for (int index = 0; index < moduleCount(); ++index) {
        LoadedModule& module = modules_[index];
        if (module.library == nullptr) continue;
        if (auto exitFunction = reinterpret_cast<void (*)(void)>(dlsym(module.library, "kestrinExit"))) {
            callInto(index, exitFunction);
        }
        closePrivateLibrary(module.library);
    }
    if (!live_) return;
    std::lock_guard<std::mutex> lock(liveHostsMutex);
    std::vector<Host*>& hosts = liveHosts();
    hosts.erase(std::remove(hosts.begin(), hosts.end(), this), hosts.end());
}

Host* Host::ambient() {
    {
        std::lock_guard<std::mutex> lock(liveHostsMutex);
        if (!liveHosts().empty()) return liveHosts().back();
    }
    // Never destroyed: a host function may be reached during exit.
    static Host* standby = new Host(Standby{});
    return standby;
}

int Host::load(const std::string& path, std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error != nullptr) *error = why;
        return -1;
    };
    std::string reason;
    void* library = openPrivateLibrary(this, path, dlopenFlags, &reason);
    if (library == nullptr) return fail(reason);
    auto api = reinterpret_cast<ApiFunction>(dlsym(library, "kestrinAPI"));
    auto entry = reinterpret_cast<EntryFunction>(dlsym(library, "kestrinEntry"));
    if (api == nullptr || entry == nullptr) {
        closePrivateLibrary(library);
        return fail(path + ": not a kestrin plug-in (no kestrinAPI or kestrinEntry)");
    }

    const int index = static_cast<int>(modules_.size());
    modules_.emplace_back();
    modules_.back().path = path;
    modules_.back().library = library;
    modules_.back().apiVersion = api();

    // A guard byte past the 255 the plug-in may write shows an overrun.
    std::vector<unsigned char> nameBuffer(256, nameBufferFill);
    nameBuffer[255] = 0xAA;
    const int32_t result = callInto(index, [&] {
        return entry(nullNameBuffer ? nullptr : reinterpret_cast<char*>(nameBuffer.data()),
                     &lookupCallback, hostFlags, hostType);
    });
    modules_[index].entryResult = result;
    modules_[index].nameBuffer = std::move(nameBuffer);
    return index;
}

HostFunction Host::lookup(const char* name, uint32_t groupBits) {
    lookups_.push_back({name != nullptr ? name : "", groupBits});
    if (name == nullptr || withheld_.count(name) != 0) return nullptr;
    if (groupBits == BIND_PUBLISHED) {
        auto found = published_.find(name);
        return found == published_.end() ? nullptr : found->second;
    }
    const ServedFunction* served = findServedFunction(name);
    if (served == nullptr || served->group != groupBits) return nullptr;
    return served->function;
}

int32_t Host::send(int module, HostHandle item, uint32_t messageClass, uint64_t subKind,
                   void* data) {
    if (module < 0 || module >= moduleCount() || !modules_[module].registered()) return 0;
    channels.writeLinks();
    ModuleCallback callback = modules_[module].callback;
    const int32_t answer =
        callInto(module, [&] { return callback(data, item, messageClass, subKind); });
    // The instance is gone with its record: its channels go too, and no link
    // may point into the freed record any more.
    if (messageClass == MSG_OBJECT && subKind == OBJ_DESTROY) channels.remove(module, item);
    return answer;
}

void* Host::typeData(int module, HostHandle item) const {
    auto found = typeData_.find({module, item});
    return found == typeData_.end() ? nullptr : found->second;
}

void Host::setTypeData(int module, HostHandle item, void* record) {
    // Links point into the record that was attached; a detached or replaced
    // record may be freed next, so they must not be written again.
    if (record != typeData(module, item)) channels.dropLinks(module, item);
    if (record == nullptr) {
        typeData_.erase({module, item});
    } else {
        typeData_[{module, item}] = record;
    }
}

}  // namespace kestrin::host

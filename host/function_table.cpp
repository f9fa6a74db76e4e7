#include "function_table.h"

#include <string>
#include <unordered_map>

#include "host.h"
#include "messages.h"
#include "served.h"

namespace kestrin::host {
namespace {

enum FunctionIndex : int32_t {
#define HOST_FUNCTION(group, name) INDEX_##name,
#include "host_functions.def"
    FUNCTION_COUNT
};
static_assert(FUNCTION_COUNT == 715, "the host function list lost or gained a name");

const char* const functionNames[] = {
#define HOST_FUNCTION(group, name) #name,
#include "host_functions.def"
};

// A function whose arguments the plug-ins never pass: the caller's arguments
// are left where the calling convention put them, unread.
template <int32_t Index>
intptr_t recordingStub() {
    if (Host* host = Host::active()) host->log.record(functionNames[Index]);
    return 0;
}

const ServedFunction table[] = {
#define HOST_FUNCTION(group, name) \
    {#name, group, reinterpret_cast<HostFunction>(&recordingStub<INDEX_##name>), false},
#define HOST_CALL(group, name, result, parameters) \
    {#name, group, reinterpret_cast<HostFunction>(&served::name), true},
#include "host_functions.def"
};

}  // namespace

const ServedFunction* servedFunctions(int32_t* count) {
    *count = FUNCTION_COUNT;
    return table;
}

const ServedFunction* findServedFunction(const char* name) {
    static const std::unordered_map<std::string, int32_t> byName = [] {
        std::unordered_map<std::string, int32_t> map;
        for (int32_t i = 0; i < FUNCTION_COUNT; ++i) map.emplace(table[i].name, i);
        return map;
    }();
    auto found = byName.find(name);
    return found == byName.end() ? nullptr : &table[found->second];
}

}  // namespace kestrin::host

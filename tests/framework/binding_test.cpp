// The lookup of the host function table at entry, and what a missing name
// does.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <string>
#include <utility>
#include <vector>

#include "function_table.h"
#include "messages.h"
#include "plugin_cases.h"

namespace kestrin::test {
namespace {

struct GroupRun {
    uint32_t group;
    int32_t names;
    const char* first;
    const char* last;
};

// The groups in lookup order (not the order of their bits), with their sizes
// and their first and last names.
const GroupRun groupRuns[] = {
    {0x200, 2, "fxMessageSend", "fxMessageProgress"},
    {0x1, 61, "fxObjectSetParent", "fxObjectCreateInstance"},
    {0x2, 18, "fxMeshNumPoints", "fxPointSelect_ClearAll"},
    {0x4, 68, "fxMotionNumKeys", "fxKeyFrameGetBezierHandleOut"},
    {0x8, 91, "fxInterfaceUpdate", "fxConSetInt64"},
    {0x10, 10, "fxEffectCreate", "fxEffectNext"},
    {0x20, 104, "fxShaderCreateInput", "fxShaderProcessInput_SendData"},
    {0x80, 17, "fxFunctionRegister", "fxFunctionArgObj"},
    {0x100, 21, "fxCommandRegister", "fxExpComputeInt64"},
    {0x800, 5, "fxDataCreate", "fxDataFreeKey"},
    {0x400, 79, "fxFormatNew", "fxProcess_SendReplyFlags"},
    {0x4000, 10, "fxFrameCalculate", "fxFrameRangeSet"},
    {0x8000, 18, "fxModuleDescription", "fxModuleArgObj"},
    {0x10000, 84, "Angle", "MetaNURBGetSubPoints"},
    {0x20000, 25, "fxVarCreate", "fxVarSetParent"},
    {0x40000, 18, "fxGroupCreate", "fxGroupColorSet"},
    {0x80000, 59, "fxArmatureCreate", "fxHandleVAlignSet"},
    {0x100000, 18, "fxInitAction", "fxActionOptionsClear"},
    {0x200000, 7, "fxWeightToolData", "fxWeightTargetNext"},
};

// The names a library binds, in order: the simulator's table, from the same
// list the plug-ins are built from.
std::vector<host::LookupRequest> expectedLookups(const PluginCase& plugin) {
    int32_t count = 0;
    const host::ServedFunction* table = host::servedFunctions(&count);
    std::vector<host::LookupRequest> out;
    for (int32_t i = 0; i < plugin.functionCount; ++i) out.push_back({table[i].name, table[i].group});
    return out;
}

std::vector<std::string> lookupTexts(const std::vector<host::LookupRequest>& lookups) {
    std::vector<std::string> out;
    for (const auto& l : lookups) out.push_back(l.name + "@" + std::to_string(l.group));
    return out;
}

class Binding : public ::testing::TestWithParam<PluginCase> {};

TEST_P(Binding, LooksUpEveryNameOnceUnderItsGroupInListOrder) {
    host::Host host;
    loadPlugin(host, GetParam().path);
    EXPECT_EQ(lookupTexts(host.lookups()), lookupTexts(expectedLookups(GetParam())));
}

TEST_P(Binding, GroupsComeInTableOrderWithWeightToolOnlyInStrainmark) {
    host::Host host;
    loadPlugin(host, GetParam().path);
    const std::vector<host::LookupRequest>& lookups = host.lookups();
    ASSERT_EQ(static_cast<int32_t>(lookups.size()), GetParam().functionCount);

    std::vector<GroupRun> expected(std::begin(groupRuns), std::end(groupRuns));
    if (!GetParam().bindsWeightTool) expected.pop_back();
    size_t at = 0;
    for (const GroupRun& run : expected) {
        SCOPED_TRACE(run.first);
        ASSERT_LE(at + run.names, lookups.size());
        for (int32_t k = 0; k < run.names; ++k) {
            ASSERT_EQ(lookups[at + k].group, run.group) << lookups[at + k].name;
        }
        EXPECT_EQ(lookups[at].name, run.first);
        EXPECT_EQ(lookups[at + run.names - 1].name, run.last);
        at += run.names;
    }
    EXPECT_EQ(at, lookups.size());
}

// One representative of each kind of position: the first name after the
// message group, the first of a later group, a name in mid-list, the second
// name of the first group and the last name the library asks for.
TEST_P(Binding, MissingNameIsReportedOnceTitledWithTheModuleAndEntryFails) {
    std::vector<std::string> names = {"fxObjectSetParent", "fxMeshNumPoints", "fxModuleRegister",
                                      "fxMessageProgress"};
    names.push_back(GetParam().bindsWeightTool ? "fxWeightTargetNext" : "fxActionOptionsClear");
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        host::Host host;
        host.log.enable(true);
        host.withhold(name);
        const int module = host.load(GetParam().path);
        ASSERT_GE(module, 0);
        EXPECT_EQ(host.module(module).entryResult, 4);
        EXPECT_FALSE(host.module(module).registered());
        ASSERT_EQ(host.shown.size(), 1u);
        EXPECT_EQ(host.shown[0].title, GetParam().moduleName);
        EXPECT_EQ(host.shown[0].style, 0x500);
        EXPECT_EQ(host.shown[0].text, name + " could not be found!");
        EXPECT_EQ(host.log.texts(), std::vector<std::string>{"fxMessageSend(0, \"" +
                                                             GetParam().moduleName + "\", 1280, \"" +
                                                             name + " could not be found!\", 0)"});
        ASSERT_FALSE(host.lookups().empty());
        EXPECT_EQ(host.lookups().back().name, name) << "asked for a name after the missing one";
    }
}

// Every name of the list in turn: the same single message, nothing looked up
// after it. A weight-tool name is never asked for by Rimshaper, so withholding
// it changes nothing there.
TEST_P(Binding, WithholdingAnyOneNameFailsRightThere) {
    const std::vector<host::LookupRequest> all = expectedLookups(strainmarkCase);
    for (size_t i = 1; i < all.size(); ++i) {
        const std::string& name = all[i].name;
        host::Host host;
        host.withhold(name);
        const int module = host.load(GetParam().path);
        ASSERT_GE(module, 0) << name;
        if (static_cast<int32_t>(i) >= GetParam().functionCount) {
            EXPECT_EQ(host.module(module).entryResult, 0) << name;
            EXPECT_TRUE(host.shown.empty()) << name;
            continue;
        }
        EXPECT_EQ(host.module(module).entryResult, 4) << name;
        ASSERT_EQ(host.shown.size(), 1u) << name;
        EXPECT_EQ(host.shown[0].text, name + " could not be found!");
        EXPECT_EQ(host.shown[0].title, GetParam().moduleName);
        EXPECT_EQ(host.lookups().size(), i + 1) << name;
    }
}

TEST_P(Binding, MissingMessageSendFailsSilently) {
    host::Host host;
    host.log.enable(true);
    host.withhold("fxMessageSend");
    const int module = host.load(GetParam().path);
    ASSERT_GE(module, 0);
    EXPECT_EQ(host.module(module).entryResult, 4);
    EXPECT_TRUE(host.shown.empty());
    EXPECT_TRUE(host.log.texts().empty());
    EXPECT_EQ(lookupTexts(host.lookups()), std::vector<std::string>{"fxMessageSend@512"});
}

// A group is marked bound before its first lookup and never tried again: a
// second entry into the same loaded library, with everything available,
// starts after the group that failed.
TEST_P(Binding, GroupThatFailedIsNotRetriedOnReentry) {
    host::Host host;
    host.withhold("fxChannelSetup");
    const int first = host.load(GetParam().path);
    ASSERT_EQ(host.module(first).entryResult, 4);

    host.withholdNothing();
    host.clearLookups();
    const int second = host.load(GetParam().path);
    EXPECT_EQ(host.module(second).entryResult, 0);
    ASSERT_FALSE(host.lookups().empty());
    EXPECT_EQ(host.lookups().front().name, "fxInterfaceUpdate");
    const int32_t firstFourGroups = 2 + 61 + 18 + 68;
    EXPECT_EQ(static_cast<int32_t>(host.lookups().size()),
              GetParam().functionCount - firstFourGroups);
}

// Each test relies on a fresh copy of the library's module-wide state: the
// host unloads its plug-ins when it goes, so the next host binds again.
TEST_P(Binding, NextHostBindsAgainAfterUnload) {
    for (int round = 0; round < 2; ++round) {
        host::Host host;
        loadPlugin(host, GetParam().path);
        EXPECT_EQ(static_cast<int32_t>(host.lookups().size()), GetParam().functionCount)
            << "the library kept its state across an unload";
    }
}

// A host that hands over no lookup callback supplies no function: the entry
// fails without calling through null.
TEST_P(Binding, NullLookupCallbackFailsTheEntry) {
    void* library = dlopen(GetParam().path.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    auto entry = reinterpret_cast<int32_t (*)(char*, HostLookup, int32_t, int32_t)>(
        dlsym(library, "kestrinEntry"));
    ASSERT_NE(entry, nullptr);
    char name[256] = {};
    EXPECT_EQ(entry(name, nullptr, 0x00100000, 2), 4);
    dlclose(library);
}

KESTRIN_FOR_EVERY_PLUGIN(Binding);

}  // namespace
}  // namespace kestrin::test

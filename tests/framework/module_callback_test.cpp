// What holds for every message, whatever the handlers do: moduleCallback
// answers 0, and a sub-kind that is not exactly a handled one is ignored.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "messages.h"
#include "plugin_cases.h"

namespace kestrin::test {
namespace {

constexpr uint64_t highWord = uint64_t{1} << 32;

// Host calls other than reads of the item's record: what an ignored message
// must not make.
std::vector<std::string> changes(const host::Host& host) {
    std::vector<std::string> out;
    for (const host::HostCall& call : host.log.calls()) {
        if (call.function != "fxObjectGetTypeData") out.push_back(call.text());
    }
    return out;
}

class ModuleCallback : public ::testing::TestWithParam<PluginCase> {
protected:
    void SetUp() override {
        module = loadPlugin(host, GetParam().path);
        item = host.scene.addObject("item", host::Mesh({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}},
                                                       {{0, 1, 2}}));
        host.log.clear();
    }

    host::Host host;
    int module = -1;
    HostHandle item = 0;
};

// Every class, handled or not, with handled and unhandled sub-kinds, to an
// item without a record (OBJ_CREATE aside, which would give it one).
TEST_P(ModuleCallback, AnswersZeroToEveryMessage) {
    const uint32_t classes[] = {0, 1, 10, 11, 12, 22, 23, 24, 29, 30, 31, 32, 0xFFFFFFFF};
    const uint64_t subKinds[] = {0,    2,          4,         256,           1024,
                                 2048, 4096,       0x1004,    0x10000000,    0x10001805,
                                 1 | highWord, 4 | highWord, 256 | highWord, ~uint64_t{0}};
    for (uint32_t messageClass : classes) {
        for (uint64_t subKind : subKinds) {
            EXPECT_EQ(host.send(module, item, messageClass, subKind), 0)
                << "class " << messageClass << ", sub-kind " << subKind;
        }
        if (messageClass != MSG_OBJECT) {
            EXPECT_EQ(host.send(module, item, messageClass, 1), 0) << "class " << messageClass;
        }
    }
    EXPECT_EQ(host.attachedRecords(), 0u);
}

// A sub-kind equal to a handled one in its low word only is not that sub-kind.
TEST_P(ModuleCallback, IgnoresSubKindsWithAHighWord) {
    struct Case {
        uint32_t messageClass;
        uint64_t subKind;
    };
    const Case cases[] = {
        {MSG_OBJECT, OBJ_CREATE | highWord},         {MSG_OBJECT, OBJ_DESTROY | highWord},
        {MSG_OBJECT, OBJ_LOAD | highWord},           {MSG_OBJECT, OBJ_SAVE | highWord},
        {MSG_INTERFACE, INTERFACE_BUILD | highWord}, {MSG_DISPLAY, DISPLAY_SETUP | highWord},
        {MSG_WEIGHT_TOOL, WEIGHT_COMPUTE | highWord}, {MSG_EFFECT, EFFECT_SETUP | highWord},
        {MSG_EFFECT, EFFECT_DISPLACE | highWord},    {MSG_LINK, LINK_FUNCTIONS | highWord},
        {MSG_OBJECT, OBJ_CREATE | (uint64_t{0x80000000} << 32)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "class " << c.messageClass << ", sub-kind 0x"
                                          << std::hex << c.subKind);
        host.log.clear();
        EXPECT_EQ(host.send(module, item, c.messageClass, c.subKind), 0);
        EXPECT_EQ(changes(host), std::vector<std::string>{});
        EXPECT_EQ(host.attachedRecords(), 0u);
        EXPECT_TRUE(host.shown.empty());
    }
}

// Declared with the object messages, never acted on.
TEST_P(ModuleCallback, DeclaredOnlyObjectSubKindChangesNothing) {
    EXPECT_EQ(host.send(module, item, MSG_OBJECT, OBJ_DECLARED_ONLY), 0);
    EXPECT_EQ(changes(host), std::vector<std::string>{});
    EXPECT_EQ(host.attachedRecords(), 0u);
}

KESTRIN_FOR_EVERY_PLUGIN(ModuleCallback);

}  // namespace
}  // namespace kestrin::test

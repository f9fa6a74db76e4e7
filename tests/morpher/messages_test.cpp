// Strainshaper's messages: the record's life, the channels it binds, the
// tangent-space link, and every message that must be ignored.
#include "messages.h"
#include "strainshaper_fixture.h"

namespace kestrin::test {
namespace {

using Texts = std::vector<std::string>;

TEST_F(Strainshaper, CreateAttachesARecordAndBindsFiveChannelsInIndexOrder) {
    const HostHandle other = host.scene.addObject("Other", host::Mesh(rest, gridQuads(3, 3)));
    host.send(module, other, MSG_OBJECT, OBJ_CREATE);
    EXPECT_NE(host.typeData(module, other), nullptr);
    EXPECT_EQ(calls("fxChannelSetup"), (Texts{
                  "fxChannelSetup(4, \"Exponent\", 0, 4, 0.2, 0, 0, 0)",
                  "fxChannelSetup(4, \"Pre Multiplier\", 1, 4, 0.5, 0, 0, 0)",
                  "fxChannelSetup(4, \"Post Multiplier\", 2, 4, 0.5, 0, 0, 0)",
                  "fxChannelSetup(4, \"Stretch Multi\", 3, 4, 0.5, 0, 0, 0)",
                  "fxChannelSetup(4, \"Squash Multi\", 4, 4, 0.5, 0, 0, 0)",
              }));
    EXPECT_EQ(calls("fxChannelDataLink"), (Texts{
                  "fxChannelDataLink(4, 0, 2, &, 0)",
                  "fxChannelDataLink(4, 1, 2, &, 0)",
                  "fxChannelDataLink(4, 2, 2, &, 0)",
                  "fxChannelDataLink(4, 3, 2, &, 0)",
                  "fxChannelDataLink(4, 4, 2, &, 0)",
              }));
    // The links are the record's first five doubles, in field order.
    const auto* record = static_cast<const char*>(host.typeData(module, other));
    for (int32_t index = 0; index < 5; ++index) {
        const host::Channel* channel = host.channels.find(module, other, index);
        ASSERT_NE(channel, nullptr);
        EXPECT_EQ(reinterpret_cast<const char*>(channel->link), record + index * sizeof(double));
    }
}

TEST_F(Strainshaper, DestroyReleasesTheRecordAndASecondDestroyFindsNone) {
    chooseStretch(stretch);
    chooseSquash(squash);
    setup();
    host.send(module, item, MSG_OBJECT, OBJ_DESTROY);
    EXPECT_EQ(host.typeData(module, item), nullptr);
    host.log.clear();
    host.send(module, item, MSG_OBJECT, OBJ_DESTROY);
    EXPECT_EQ(host.log.texts(), Texts{"fxObjectGetTypeData(1, 0)"});
}

TEST_F(Strainshaper, LinkFetchesTheFiveFunctionsByNameEveryTime) {
    for (int round = 0; round < 2; ++round) {
        host.clearLookups();
        host.send(module, 0, MSG_LINK, LINK_FUNCTIONS);
        std::vector<std::string> names;
        for (const host::LookupRequest& request : host.lookups()) {
            EXPECT_EQ(request.group, BIND_PUBLISHED);
            names.push_back(request.name);
        }
        EXPECT_EQ(names, (Texts{"useful_CreateTangentSpace", "useful_FetchTangentSpace",
                                "useful_DeleteTangentSpace", "useful_TangentSpaceCalculate",
                                "useful_TangentGetMatrix"}));
    }
}

// Messages that no handler takes: no host call at all, answer 0.
TEST_F(Strainshaper, UnansweredMessagesDoNothing) {
    const struct {
        uint32_t messageClass;
        uint64_t subKind;
    } ignored[] = {
        {MSG_OBJECT, OBJ_DECLARED_ONLY}, {MSG_OBJECT, 0},          {MSG_OBJECT, 2},
        {MSG_OBJECT, 8192},              {MSG_OBJECT, (1ull << 32) | OBJ_DESTROY},
        {MSG_EFFECT, EFFECT_SETUP | EFFECT_DISPLACE},              {MSG_EFFECT, (1ull << 32) | 4},
        {MSG_INTERFACE, (1ull << 32) | 1}, {MSG_DISPLAY, 257},     {MSG_LINK, 3},
        {MSG_WEIGHT_TOOL, WEIGHT_COMPUTE}, {9, 1}, {12, 1}, {28, 1}, {32, 2},
    };
    for (const auto& message : ignored) {
        SCOPED_TRACE(testing::Message() << message.messageClass << "/" << message.subKind);
        host.log.clear();
        EXPECT_EQ(host.send(module, item, message.messageClass, message.subKind), 0);
        EXPECT_TRUE(host.log.texts().empty());
    }
    EXPECT_NE(host.typeData(module, item), nullptr);
}

// An item that never got a record: each message that needs one stops after
// looking for it; the panel, display and link messages need none.
TEST_F(Strainshaper, MessagesForAnItemWithoutARecordStopAtTheLookup) {
    const HostHandle bare = host.scene.addObject("Bare", host::Mesh(rest, gridQuads(3, 3)));
    host::SettingsContext context;
    context.newBlock("LagData");
    const struct {
        uint32_t messageClass;
        uint64_t subKind;
    } needRecord[] = {
        {MSG_EFFECT, EFFECT_SETUP}, {MSG_EFFECT, EFFECT_DISPLACE}, {MSG_OBJECT, OBJ_DESTROY},
        {MSG_OBJECT, OBJ_LOAD},     {MSG_OBJECT, OBJ_SAVE},
    };
    for (const auto& message : needRecord) {
        host.log.clear();
        EXPECT_EQ(host.send(module, bare, message.messageClass, message.subKind, &context), 0);
        EXPECT_EQ(host.log.texts(), Texts{"fxObjectGetTypeData(4, 0)"}) << message.subKind;
    }
    for (const char* label : {"Weight", "Stretch object", "Squash object"}) {
        for (const uint64_t event : {CONTROL_CHANGED, CONTROL_REFRESH}) {
            host.log.clear();
            EXPECT_EQ(host.controlEvent(control(label), bare, event), 0);
            EXPECT_EQ(host.log.texts(), Texts{"fxObjectGetTypeData(4, 0)"}) << label;
        }
    }
    EXPECT_EQ(context.block("LagData")->values.size(), 0u);
    EXPECT_EQ(host.send(module, bare, MSG_DISPLAY, DISPLAY_SETUP), 0);
    EXPECT_EQ(host.send(module, bare, MSG_LINK, LINK_FUNCTIONS), 0);
    EXPECT_EQ(host.send(module, bare, MSG_INTERFACE, INTERFACE_BUILD), 0);
    EXPECT_EQ(host.typeData(module, bare), nullptr);
}

TEST_F(Strainshaper, EffectPassesScanTheTargetsWithTheRecord) {
    host.send(module, item, MSG_EFFECT, EFFECT_SETUP);
    host.send(module, item, MSG_EFFECT, EFFECT_DISPLACE);
    const Texts scans = calls("fxEffectTargetScan");
    ASSERT_EQ(scans.size(), 2u);
    EXPECT_EQ(scans[0], "fxEffectTargetScan(1, fn, &, 0)");
    const auto& all = host.log.calls();
    std::vector<uintptr_t> routines, instances;
    for (const host::HostCall& call : all) {
        if (call.function != "fxEffectTargetScan") continue;
        routines.push_back(call.pointers[1]);
        instances.push_back(call.pointers[2]);
    }
    EXPECT_NE(routines[0], routines[1]);
    EXPECT_EQ(instances[0], reinterpret_cast<uintptr_t>(host.typeData(module, item)));
    EXPECT_EQ(instances[1], instances[0]);
}

}  // namespace
}  // namespace kestrin::test

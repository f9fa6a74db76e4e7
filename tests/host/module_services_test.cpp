// Messages to the user and the records plug-ins attach to items.
#include <gtest/gtest.h>

#include "host.h"
#include "served.h"

namespace kestrin::test {
namespace {

namespace served = host::served;

TEST(ModuleServices, MessageSendIsWhatTheUserWasShown) {
    host::Host host;
    served::fxMessageSend(0, "Strainmark", 0x500, "fxMeshPoint could not be found!", 0);
    ASSERT_EQ(host.shown.size(), 1u);
    EXPECT_EQ(host.shown[0].title, "Strainmark");
    EXPECT_EQ(host.shown[0].style, 0x500);
    EXPECT_EQ(host.shown[0].text, "fxMeshPoint could not be found!");
}

// Each module sees only the records it attached, item by item; attaching
// null detaches.
TEST(ModuleServices, TypeDataIsKeptPerModuleAndItem) {
    host::Host host;
    int first = 0, second = 0;
    host.callInto(0, [&] { return served::fxObjectSetTypeData(5, &first, 0); });
    host.callInto(1, [&] { return served::fxObjectSetTypeData(5, &second, 0); });
    EXPECT_EQ(host.callInto(0, [&] { return served::fxObjectGetTypeData(5, 0); }), &first);
    EXPECT_EQ(host.callInto(1, [&] { return served::fxObjectGetTypeData(5, 0); }), &second);
    EXPECT_EQ(host.callInto(0, [&] { return served::fxObjectGetTypeData(6, 0); }), nullptr);
    EXPECT_EQ(host.attachedRecords(), 2u);

    host.callInto(0, [&] { return served::fxObjectSetTypeData(5, nullptr, 0); });
    EXPECT_EQ(host.callInto(0, [&] { return served::fxObjectGetTypeData(5, 0); }), nullptr);
    EXPECT_EQ(host.attachedRecords(), 1u);
}

TEST(ModuleServices, LoadingSomethingThatIsNotAPluginFails) {
    host::Host host;
    std::string error;
    EXPECT_EQ(host.load("/nonexistent/Plugin.so", &error), -1);
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(host.moduleCount(), 0);
    EXPECT_EQ(host.send(0, 1, 11, 1), 0) << "no module to send to";
}

}  // namespace
}  // namespace kestrin::test

// kestrinAPI and kestrinEntry's checks of the host, and the name it hands back.
#include <gtest/gtest.h>

#include <cstring>

#include "plugin_cases.h"

namespace kestrin::test {
namespace {

class Entry : public ::testing::TestWithParam<PluginCase> {};

TEST_P(Entry, ReportsInterfaceVersion0x103000) {
    host::Host host;
    const int module = loadPlugin(host, GetParam().path);
    EXPECT_EQ(host.module(module).apiVersion, 0x103000);
}

// Only the low four bits of the type and bits 20-23 of the flags count; the
// type is checked first.
TEST_P(Entry, ChecksHostTypeThenFlags) {
    struct Case {
        uint32_t flags;
        uint32_t type;
        int32_t code;
    };
    const Case cases[] = {
        {0x00100000, 2, 0},          {0x00100000, 0x12, 0},       {0x00100000, 0xFFFFFFF2, 0},
        {0x00800000, 2, 0},          {0x00F00000, 2, 0},          {0x80100000, 2, 0},
        {0xFFFFFFFF, 2, 0},          {0x00100000, 3, 5},          {0x00100000, 0, 5},
        {0x00100000, 0x20, 5},       {0x00100000, 0xFFFFFFF0, 5}, {0x00000000, 3, 5},
        {0x000FFFFF, 0x13, 5},       {0x000FFFFF, 2, 1},          {0x0F000000, 2, 1},
        {0x00000000, 2, 1},          {0xFF0FFFFF, 0x12, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << std::hex << "flags 0x" << c.flags << ", type 0x"
                                          << c.type);
        host::Host host;
        host.hostFlags = static_cast<int32_t>(c.flags);
        host.hostType = static_cast<int32_t>(c.type);
        host.nameBufferFill = 0x5A;
        host.log.enable(true);
        const int module = host.load(GetParam().path);
        ASSERT_GE(module, 0);
        const host::LoadedModule& loaded = host.module(module);
        EXPECT_EQ(loaded.entryResult, c.code);
        EXPECT_EQ(loaded.registered(), c.code == 0);
        if (c.code != 0) {
            // Refused before anything is copied or bound.
            EXPECT_TRUE(host.lookups().empty());
            EXPECT_TRUE(host.log.texts().empty());
            EXPECT_TRUE(host.shown.empty());
            EXPECT_EQ(loaded.nameBuffer[0], 0x5A) << "name copied before the checks";
        }
    }
}

// The host's buffer is filled with junk first: the module name comes back
// followed by zero bytes up to the 255th, and byte 255 is never written.
TEST_P(Entry, HandsBackTheNameZeroPaddedTo255Bytes) {
    host::Host host;
    host.nameBufferFill = 0x5A;
    const int module = loadPlugin(host, GetParam().path);
    const std::vector<unsigned char>& buffer = host.module(module).nameBuffer;
    const std::string& name = GetParam().moduleName;
    ASSERT_EQ(buffer.size(), 256u);
    EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + name.size()), name);
    for (size_t i = name.size(); i < 255; ++i) {
        ASSERT_EQ(buffer[i], 0) << "byte " << i;
    }
    EXPECT_EQ(buffer[255], 0xAA) << "written past the 255 bytes";
}

// A host that passes no buffer gets no name back, but no crash either: the
// module binds and registers as usual, and still titles its messages.
TEST_P(Entry, ANullNameBufferStillLoadsTheModule) {
    host::Host host;
    host.nullNameBuffer = true;
    host.withhold("fxObjectSetParent");
    const int module = host.load(GetParam().path);
    ASSERT_GE(module, 0);
    EXPECT_EQ(host.module(module).entryResult, 4);
    ASSERT_EQ(host.shown.size(), 1u);
    EXPECT_EQ(host.shown[0].title, GetParam().moduleName);

    host::Host second;
    second.nullNameBuffer = true;
    const int loaded = second.load(GetParam().path);
    ASSERT_GE(loaded, 0);
    EXPECT_EQ(second.module(loaded).entryResult, 0);
    EXPECT_TRUE(second.module(loaded).registered());
}

KESTRIN_FOR_EVERY_PLUGIN(Entry);

}  // namespace
}  // namespace kestrin::test

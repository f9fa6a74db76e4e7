// HostLookup as the simulator serves it: every host function under its own
// group bit only, published functions under BIND_PUBLISHED, withheld names
// under none.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "function_table.h"
#include "host.h"
#include "messages.h"

namespace kestrin::test {
namespace {

std::vector<uint32_t> probeBits() {
    std::vector<uint32_t> bits = {0, BIND_ALL};
    for (int bit = 0; bit < 32; ++bit) bits.push_back(uint32_t{1} << bit);
    return bits;
}

TEST(Lookup, FindsEveryNameOnlyUnderItsOwnGroupBit) {
    host::Host host;
    int32_t count = 0;
    const host::ServedFunction* table = host::servedFunctions(&count);
    ASSERT_EQ(count, 715);
    std::set<uint32_t> groups;
    for (int32_t i = 0; i < count; ++i) {
        groups.insert(table[i].group);
        for (uint32_t bits : probeBits()) {
            const HostFunction found = host.lookup(table[i].name, bits);
            if (bits == table[i].group) {
                EXPECT_NE(found, nullptr) << table[i].name;
            } else {
                EXPECT_EQ(found, nullptr) << table[i].name << " under 0x" << std::hex << bits;
            }
        }
        host.clearLookups();
    }
    EXPECT_EQ(groups, (std::set<uint32_t>{0x1, 0x2, 0x4, 0x8, 0x10, 0x20, 0x80, 0x100, 0x200, 0x400,
                                          0x800, 0x4000, 0x8000, 0x10000, 0x20000, 0x40000,
                                          0x80000, 0x100000, 0x200000}));
}

TEST(Lookup, UnknownNameIsNotFound) {
    host::Host host;
    for (uint32_t bits : probeBits()) {
        EXPECT_EQ(host.lookup("fxNoSuchFunction", bits), nullptr);
        EXPECT_EQ(host.lookup("", bits), nullptr);
        EXPECT_EQ(host.lookup(nullptr, bits), nullptr);
    }
}

TEST(Lookup, WithheldNameIsNotFoundUntilReleased) {
    host::Host host;
    host.withhold("fxMeshPoint");
    EXPECT_EQ(host.lookup("fxMeshPoint", BIND_MESH), nullptr);
    EXPECT_NE(host.lookup("fxMeshPointPolys", BIND_MESH), nullptr);
    host.withholdNothing();
    EXPECT_NE(host.lookup("fxMeshPoint", BIND_MESH), nullptr);
}

int32_t publishedFunction() { return 7; }

TEST(Lookup, PublishedFunctionsOnlyUnderThePublishedBit) {
    host::Host host;
    const auto function = reinterpret_cast<HostFunction>(&publishedFunction);
    host.publish("useful_Example", function);
    EXPECT_EQ(host.lookup("useful_Example", BIND_PUBLISHED), function);
    for (uint32_t bits : probeBits()) {
        if (bits != BIND_PUBLISHED) {
            EXPECT_EQ(host.lookup("useful_Example", bits), nullptr);
        }
    }
    EXPECT_EQ(host.lookup("fxMeshPoint", BIND_PUBLISHED), nullptr)
        << "host functions are not published functions";
    host.withhold("useful_Example");
    EXPECT_EQ(host.lookup("useful_Example", BIND_PUBLISHED), nullptr);
}

TEST(Lookup, RecordsEveryRequestInOrder) {
    host::Host host;
    host.withhold("fxMessageSend");
    host.lookup("fxMessageSend", BIND_MESSAGE);
    host.lookup("fxMeshPoint", BIND_OBJECT);
    ASSERT_EQ(host.lookups().size(), 2u);
    EXPECT_EQ(host.lookups()[0].name, "fxMessageSend");
    EXPECT_EQ(host.lookups()[0].group, BIND_MESSAGE);
    EXPECT_EQ(host.lookups()[1].name, "fxMeshPoint");
    EXPECT_EQ(host.lookups()[1].group, BIND_OBJECT);
}

// A function the plug-ins only bind, never call with known arguments: a stub
// that records its name and answers 0.
TEST(Lookup, UntypedFunctionsAreRecordingStubsAnsweringZero) {
    host::Host host;
    host.log.enable(true);
    const HostFunction stub = host.lookup("fxObjectSetParent", BIND_OBJECT);
    ASSERT_NE(stub, nullptr);
    EXPECT_EQ(reinterpret_cast<intptr_t (*)()>(stub)(), 0);
    EXPECT_EQ(host.log.texts(), std::vector<std::string>{"fxObjectSetParent()"});
}

}  // namespace
}  // namespace kestrin::test

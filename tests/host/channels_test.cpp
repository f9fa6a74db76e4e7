// Channels: made per module and item, linked into record fields, written
// before every message, and never written once their record is gone.
#include <gtest/gtest.h>

#include "host.h"
#include "served.h"

namespace kestrin::host {
namespace {

// A stand-in for a plug-in record with two linked fields.
struct Record {
    double first = -1.0;
    double second = -1.0;
};

class ChannelsTest : public ::testing::Test {
protected:
    Host host;
    const int module = 0;
    const HostHandle item = 7;

    void setupAndLink(Record& record) {
        host.callInto(module, [&] {
            served::fxChannelSetup(item, "First", 0, 4, 0.2, 0.0, 0.0, 0);
            served::fxChannelSetup(item, "Second", 1, 4, 0.5, 0.0, 0.0, 0);
            served::fxChannelDataLink(item, 0, 2, &record.first, 0);
            served::fxChannelDataLink(item, 1, 2, &record.second, 0);
            return 0;
        });
    }
};

TEST_F(ChannelsTest, LinkedFieldsGetTheDefaultsThenTheValuesSetByName) {
    Record record;
    setupAndLink(record);
    host.channels.writeLinks();
    EXPECT_EQ(record.first, 0.2);
    EXPECT_EQ(record.second, 0.5);

    EXPECT_EQ(host.channels.set(item, "Second", 0.9), 1);
    EXPECT_EQ(record.second, 0.5) << "values reach the field at the next write";
    host.send(module, item, 11, 1);  // no module loaded: still no write
    host.channels.writeLinks();
    EXPECT_EQ(record.second, 0.9);
    EXPECT_EQ(host.channels.value(item, "Second"), 0.9);
    EXPECT_EQ(host.channels.set(item, "Missing", 1.0), 0);
    EXPECT_FALSE(host.channels.value(item, "Missing").has_value());
}

TEST_F(ChannelsTest, ChannelsOfOtherModulesAndItemsAreApart) {
    Record mine, theirs;
    setupAndLink(mine);
    host.callInto(1, [&] {
        served::fxChannelSetup(item, "First", 0, 4, 3.0, 0.0, 0.0, 0);
        return served::fxChannelDataLink(item, 0, 2, &theirs.first, 0);
    });
    EXPECT_TRUE(host.channels.set(1, item, "First", 4.0));
    host.channels.writeLinks();
    EXPECT_EQ(mine.first, 0.2);
    EXPECT_EQ(theirs.first, 4.0);
    EXPECT_EQ(host.channels.find(0, item, 0)->name, "First");
    EXPECT_EQ(host.channels.find(0, item + 1, 0), nullptr);
}

TEST_F(ChannelsTest, LinkingAChannelThatWasNeverMadeLinksNothing) {
    Record record;
    host.callInto(module, [&] { return served::fxChannelDataLink(item, 3, 2, &record.first, 0); });
    EXPECT_EQ(host.channels.linkCount(), 0u);
}

// The record goes away either way the plug-in detaches it or the host
// destroys the instance; writing afterwards would scribble on freed memory.
TEST_F(ChannelsTest, LinksAreDroppedWhenTheRecordIsDetached) {
    Record record;
    host.callInto(module, [&] { return served::fxObjectSetTypeData(item, &record, 0); });
    setupAndLink(record);
    EXPECT_EQ(host.channels.linkCount(), 2u);
    host.callInto(module, [&] { return served::fxObjectSetTypeData(item, nullptr, 0); });
    EXPECT_EQ(host.channels.linkCount(), 0u);
    record.first = -1.0;
    host.channels.writeLinks();
    EXPECT_EQ(record.first, -1.0);
}

}  // namespace
}  // namespace kestrin::host

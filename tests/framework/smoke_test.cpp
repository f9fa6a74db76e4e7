#include <gtest/gtest.h>

#include "plugins.h"

namespace kestrin::test {

TEST(Loading, BothPluginsRegister) {
    host::Host host;
    const int strainmark = loadPlugin(host, strainmarkPath);
    const int rimshaper = loadPlugin(host, rimshaperPath);
    EXPECT_EQ(host.module(strainmark).name, "Strainmark");
    EXPECT_EQ(host.module(rimshaper).name, "Strainshaper");
}

}  // namespace kestrin::test

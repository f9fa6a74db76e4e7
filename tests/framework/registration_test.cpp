// What each library tells the host at entry once its functions are bound.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "plugin_cases.h"

namespace kestrin::test {
namespace {

// After binding, in this order: the description, one fxModuleAccess per
// declared class with its sub-kind mask, then the registration.
TEST(Registration, EachLibraryDescribesDeclaresAndRegistersItsModule) {
    struct Case {
        std::string path;
        std::vector<std::string> calls;
    };
    const Case cases[] = {
        {strainmarkPath,
         {"fxModuleDescription(\"WeightTool to show the tension of a vertex based on edge "
          "length\", 0)",
          "fxModuleAccess(11, " + std::to_string(0x10001805) + ", 0)",
          "fxModuleAccess(30, 256, 0)", "fxModuleAccess(29, 1, 0)", "fxModuleAccess(23, 1, 0)",
          "fxModuleRegister(3, \"Strainmark\", fn, 4096)"}},
        {rimshaperPath,
         {"fxModuleDescription(\"Points lag behind the motion of the object based on their "
          "distance from the pivot\", 0)",
          "fxModuleAccess(11, " + std::to_string(0x10001805) + ", 0)",
          "fxModuleAccess(30, 256, 0)", "fxModuleAccess(29, 1, 0)",
          "fxModuleAccess(10, " + std::to_string(0x1004) + ", 0)", "fxModuleAccess(31, 2, 0)",
          "fxModuleRegister(1, \"Strainshaper\", fn, 1)"}},
        {grainmarkPath,
         {"fxModuleDescription(\"WeightTool to show the stretch of the surface along a "
          "direction\", 0)",
          "fxModuleAccess(11, " + std::to_string(0x10001805) + ", 0)",
          "fxModuleAccess(30, 256, 0)", "fxModuleAccess(29, 1, 0)", "fxModuleAccess(23, 1, 0)",
          "fxModuleRegister(3, \"Grainmark\", fn, 4096)"}},
    };
    for (const Case& c : cases) {
        host::Host host;
        loadPlugin(host, c.path);
        EXPECT_EQ(host.log.texts(), c.calls) << c.path;
    }
}

// The libraries are independent: each keeps its own module-wide state and
// registers its own callback.
TEST(Registration, TheLibrariesLoadSideBySide) {
    host::Host host;
    const int strainmark = loadPlugin(host, strainmarkPath);
    const int rimshaper = loadPlugin(host, rimshaperPath);
    const int grainmark = loadPlugin(host, grainmarkPath);
    EXPECT_EQ(host.module(strainmark).name, "Strainmark");
    EXPECT_EQ(host.module(rimshaper).name, "Strainshaper");
    EXPECT_EQ(host.module(grainmark).name, "Grainmark");
    EXPECT_NE(host.module(strainmark).callback, host.module(rimshaper).callback);
    EXPECT_NE(host.module(strainmark).callback, host.module(grainmark).callback);
    EXPECT_EQ(host.lookups().size(), 715u + 708u + 715u);
}

}  // namespace
}  // namespace kestrin::test

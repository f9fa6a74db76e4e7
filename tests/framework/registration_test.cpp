// What each library tells the host at entry once its functions are bound.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "plugin_cases.h"

namespace kestrin::test {
namespace {

TEST(Registration, StrainmarkDescribesDeclaresAndRegistersTheWeightTool) {
    host::Host host;
    const int module = loadPlugin(host, strainmarkPath);
    EXPECT_EQ(host.log.texts(),
              (std::vector<std::string>{
                  "fxModuleDescription(\"WeightTool to show the tension of a vertex based on edge "
                  "length\", 0)",
                  "fxModuleAccess(11, " + std::to_string(0x10001805) + ", 0)",
                  "fxModuleAccess(30, 256, 0)",
                  "fxModuleAccess(29, 1, 0)",
                  "fxModuleAccess(23, 1, 0)",
                  "fxModuleRegister(3, \"Strainmark\", fn, 4096)",
              }));
    EXPECT_EQ(host.module(module).registerFlags, 0x1000);
}

TEST(Registration, RimshaperDescribesDeclaresAndRegistersTheStrainshaperEffect) {
    host::Host host;
    const int module = loadPlugin(host, rimshaperPath);
    EXPECT_EQ(host.log.texts(),
              (std::vector<std::string>{
                  "fxModuleDescription(\"Points lag behind the motion of the object based on "
                  "their distance from the pivot\", 0)",
                  "fxModuleAccess(11, " + std::to_string(0x10001805) + ", 0)",
                  "fxModuleAccess(30, 256, 0)",
                  "fxModuleAccess(29, 1, 0)",
                  "fxModuleAccess(10, " + std::to_string(0x1004) + ", 0)",
                  "fxModuleAccess(31, 2, 0)",
                  "fxModuleRegister(1, \"Strainshaper\", fn, 1)",
              }));
    EXPECT_EQ(host.module(module).registerFlags, 1);
}

// The two libraries are independent: each keeps its own module-wide state
// and registers its own callback.
TEST(Registration, BothLibrariesLoadSideBySide) {
    host::Host host;
    const int strainmark = loadPlugin(host, strainmarkPath);
    const int rimshaper = loadPlugin(host, rimshaperPath);
    EXPECT_EQ(host.module(strainmark).name, "Strainmark");
    EXPECT_EQ(host.module(rimshaper).name, "Strainshaper");
    EXPECT_NE(host.module(strainmark).callback, host.module(rimshaper).callback);
    EXPECT_EQ(host.lookups().size(), 715u + 708u);
}

}  // namespace
}  // namespace kestrin::test

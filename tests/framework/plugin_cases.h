// What each plug-in library must show its host, for tests that run the same
// checks over both.
#ifndef KESTRIN_TEST_PLUGIN_CASES_H
#define KESTRIN_TEST_PLUGIN_CASES_H

#include <gtest/gtest.h>

#include <stdint.h>

#include <string>

#include "plugins.h"

namespace kestrin::test {

struct PluginCase {
    std::string path;
    std::string moduleName;  // handed back, registered, and the title of the failure message
    int32_t functionCount;   // names the library binds
    bool bindsWeightTool;
};

inline const PluginCase strainmarkCase{strainmarkPath, "Strainmark", 715, true};
inline const PluginCase rimshaperCase{rimshaperPath, "Strainshaper", 708, false};

inline std::string pluginCaseName(const ::testing::TestParamInfo<PluginCase>& info) {
    return info.param.bindsWeightTool ? "Strainmark" : "Rimshaper";
}

#define KESTRIN_FOR_BOTH_PLUGINS(suite)                                                     \
    INSTANTIATE_TEST_SUITE_P(Plugins, suite, ::testing::Values(strainmarkCase, rimshaperCase), \
                             pluginCaseName)

}  // namespace kestrin::test

#endif

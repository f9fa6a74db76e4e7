// What each plug-in library must show its host, for tests that run the same
// checks over every one.
#ifndef KESTRIN_TEST_PLUGIN_CASES_H
#define KESTRIN_TEST_PLUGIN_CASES_H

#include <gtest/gtest.h>

#include <stdint.h>

#include <string>

#include "plugins.h"

namespace kestrin::test {

struct PluginCase {
    std::string label;       // the test's name for it
    std::string path;
    std::string moduleName;  // handed back, registered, and the title of the failure message
    int32_t functionCount;   // names the library binds
    bool bindsWeightTool;
};

inline const PluginCase strainmarkCase{"Strainmark", strainmarkPath, "Strainmark", 715, true};
inline const PluginCase rimshaperCase{"Rimshaper", rimshaperPath, "Strainshaper", 708, false};
inline const PluginCase grainmarkCase{"Grainmark", grainmarkPath, "Grainmark", 715, true};

inline std::string pluginCaseName(const ::testing::TestParamInfo<PluginCase>& info) {
    return info.param.label;
}

#define KESTRIN_FOR_EVERY_PLUGIN(suite)                                                    \
    INSTANTIATE_TEST_SUITE_P(Plugins, suite,                                               \
                             ::testing::Values(strainmarkCase, rimshaperCase, grainmarkCase), \
                             pluginCaseName)

}  // namespace kestrin::test

#endif

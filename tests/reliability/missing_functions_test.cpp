// A host that lacks one function, for every name each library binds, with the
// libraries loaded the strict way (RTLD_NOW): the entry tells the user once,
// in the module's name and style 0x500, fails with code 4, asks for nothing
// after the missing name and makes no other host call. Without fxMessageSend
// nobody can be told: the entry fails without a word.
//
// Each case needs a fresh copy of the library: the groups it has bound stay
// marked for as long as it is loaded, so the host loads and unloads it per
// case. Leaks show up in the sanitizer build, which runs this too.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <string>
#include <vector>

#include "../framework/plugin_cases.h"
#include "function_table.h"
#include "reliability_counts.h"

namespace kestrin::test {
namespace {

class EveryMissingFunction : public ::testing::TestWithParam<PluginCase> {};

TEST_P(EveryMissingFunction, ReportsItOnceAndFailsTheEntryWithCode4) {
    int32_t tableSize = 0;
    const host::ServedFunction* table = host::servedFunctions(&tableSize);
    ASSERT_GE(tableSize, GetParam().functionCount);
    const std::string title = GetParam().moduleName;

    int cases = 0;
    for (int32_t i = 0; i < GetParam().functionCount; ++i) {
        const std::string name = table[i].name;
        host::Host host;
        host.dlopenFlags = RTLD_NOW | RTLD_LOCAL;
        host.log.enable(true);
        host.withhold(name);
        std::string error;
        const int module = host.load(GetParam().path, &error);
        ASSERT_GE(module, 0) << error;
        ++cases;

        EXPECT_EQ(host.module(module).entryResult, 4) << name;
        EXPECT_FALSE(host.module(module).registered()) << name;
        ASSERT_FALSE(host.lookups().empty()) << name;
        EXPECT_EQ(host.lookups().back().name, name) << "looked up a name after the missing one";
        EXPECT_EQ(static_cast<int32_t>(host.lookups().size()), i + 1) << name;

        if (name == "fxMessageSend") {
            EXPECT_TRUE(host.shown.empty());
            EXPECT_TRUE(host.log.calls().empty());
            continue;
        }
        ASSERT_EQ(host.shown.size(), 1u) << name;
        EXPECT_EQ(host.shown[0].title, title) << name;
        EXPECT_EQ(host.shown[0].style, 0x500) << name;
        EXPECT_EQ(host.shown[0].text, name + " could not be found!");
        // The message is the only call the entry made.
        ASSERT_EQ(host.log.calls().size(), 1u) << name;
        EXPECT_EQ(host.log.calls()[0].function, "fxMessageSend") << name;
    }
    EXPECT_EQ(cases, GetParam().functionCount);
    recordCount("missing-function cases " + title, cases);
}

// With nothing withheld, strict loading finds every symbol the libraries
// need and the entry succeeds.
TEST_P(EveryMissingFunction, LibraryLoadsWithRtldNow) {
    host::Host host;
    host.dlopenFlags = RTLD_NOW | RTLD_LOCAL;
    std::string error;
    const int module = host.load(GetParam().path, &error);
    ASSERT_GE(module, 0) << error;
    EXPECT_EQ(host.module(module).entryResult, 0);
    EXPECT_TRUE(host.module(module).registered());
    EXPECT_TRUE(host.shown.empty());
}

TEST(EveryMissingFunctionProvider, TangentSpaceProviderLoadsWithRtldNow) {
    void* library = dlopen(tangentSpacePath.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    dlclose(library);
}

KESTRIN_FOR_EVERY_PLUGIN(EveryMissingFunction);

}  // namespace
}  // namespace kestrin::test

// kestrin check run as a user runs it: a plug-in that cannot be loaded, that
// crashes or hangs is reported in one line and fails the run; a working
// effect has its passes run with the tangent-space provider.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "tool_runner.h"

namespace kestrin::test {
namespace {

const std::string brokenDir = BROKEN_PLUGIN_DIR;

// How a crash shows: a death by signal 11; under the sanitizers their own
// handler reports the fault and ends the process with status 1 instead.
#ifdef KESTRIN_SANITIZED_BUILD
#define CRASHED(file, where) file ": the process ended (exit status 1) " where
#else
#define CRASHED(file, where) file ": crashed " where ": signal 11"
#endif

struct RefusedPlugin {
    const char* name;
    // The plug-in argument: a path, or a file name written into the scratch
    // directory with `contents` (none when null).
    std::string plugin;
    const char* contents;
    std::vector<std::string> options;
    const char* message;  // must appear in the error line
};

class RefusedPluginCheck : public testing::TestWithParam<RefusedPlugin> {};

TEST_P(RefusedPluginCheck, FailsWithOneErrorLine) {
    const RefusedPlugin& c = GetParam();
    ScratchDirectory scratch;
    if (c.contents != nullptr) writeText(scratch.file(c.plugin), c.contents);
    std::vector<std::string> arguments = {"check", c.plugin};
    arguments.insert(arguments.end(), c.options.begin(), c.options.end());
    const ToolRun run = runTool(arguments, scratch.path());
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_EQ(run.err.rfind("kestrin: error: ", 0), 0u) << run.err;
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RefusedPluginCheck,
    testing::Values(
        RefusedPlugin{"MissingFile", "missing.so", nullptr, {},
                      "missing.so: cannot load plug-in: missing.so: cannot open shared object file"},
        RefusedPlugin{"NotALibrary", "x.so", "not a library\n", {}, "x.so: cannot load plug-in: ./x.so:"},
        RefusedPlugin{"NoEntryPoints", brokenDir + "/no_entry.so", nullptr, {},
                      "no_entry.so: not a kestrin plug-in (no kestrinAPI or kestrinEntry)"},
        RefusedPlugin{"ProviderGivenAsPlugin", TANGENTSPACE_PATH, nullptr, {},
                      "TangentSpace.so: not a kestrin plug-in: it is the tangent-space provider"},
        RefusedPlugin{"EntryFails", brokenDir + "/fail_in_entry.so", nullptr, {},
                      "fail_in_entry.so: plug-in entry failed with 5: FailInEntry: this host is not supported"},
        RefusedPlugin{"CrashInEntry", brokenDir + "/crash_in_entry.so", nullptr, {},
                      CRASHED("crash_in_entry.so", "in kestrinEntry")},
        RefusedPlugin{"HangInEntry", brokenDir + "/hang_in_entry.so", nullptr, {"--timeout", "2"},
                      "hang_in_entry.so: no answer from kestrinEntry within 2 s"},
        RefusedPlugin{"CrashOnMessage", brokenDir + "/crash_on_message.so", nullptr, {},
                      CRASHED("crash_on_message.so", "on message 30/0x100 (MSG_DISPLAY/DISPLAY_SETUP)")}),
    [](const testing::TestParamInfo<RefusedPlugin>& info) { return info.param.name; });

// The registration was read before the crash, and is shown.
TEST(PluginCheck, CrashOnMessageStillReportsTheRegistration) {
    const ToolRun run = runTool({"check", brokenDir + "/crash_on_message.so"});
    EXPECT_NE(run.out.find("module name        \"CrashOnMessage\""), std::string::npos) << run.out;
}

// Named by file name alone, the plug-in and the provider are the files of
// the current folder; the effect's capture and displacement then run with
// the provider, which the displacement calls and which moves the stretched
// square's points.
TEST(PluginCheck, RimshaperPassesRunWithTheProvider) {
    ScratchDirectory scratch;
    std::filesystem::copy_file(RIMSHAPER_PATH, scratch.file("Rimshaper.so"));
    std::filesystem::copy_file(TANGENTSPACE_PATH, scratch.file("TangentSpace.so"));
    const ToolRun run = runTool({"check", "Rimshaper.so"}, scratch.path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out.rfind("./Rimshaper.so\n", 0), 0u) << run.out;
    EXPECT_NE(run.out.find("provider           TangentSpace.so loaded; effect passes ran with it"),
              std::string::npos) << run.out;
    const std::string passes = "effect passes      2 targets chosen; 4 of 4 points moved; ";
    const size_t at = run.out.find(passes);
    ASSERT_NE(at, std::string::npos) << run.out;
    EXPECT_GT(std::atoi(run.out.c_str() + at + passes.size()), 0) << run.out;
    EXPECT_NE(run.out.find("every message answered 0"), std::string::npos) << run.out;
}

}  // namespace
}  // namespace kestrin::test

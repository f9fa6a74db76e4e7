// What a new user meets at the command line: help for each command, the
// version, a mistyped command or option answered with the nearest name,
// every usage error on a line that starts "kestrin: error:" with status 2.
#include <gtest/gtest.h>

#include <regex>

#include "tool_runner.h"

namespace kestrin::tool {
namespace {

using test::runTool;
using test::ScratchDirectory;

struct UsageCase {
    const char* name;
    std::vector<std::string> arguments;
    int exitCode;
    const char* errorLine;  // the first line of standard error, "" for none
};

class Usage : public testing::TestWithParam<UsageCase> {};

TEST_P(Usage, AnswersWithTheNearestNameAndStatusTwo) {
    const test::ToolRun run = runTool(GetParam().arguments);
    EXPECT_EQ(run.exitCode, GetParam().exitCode) << run.err;
    EXPECT_EQ(run.err.substr(0, run.err.find('\n')), GetParam().errorLine) << run.err;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Usage,
    testing::Values(
        UsageCase{"MistypedCommand", {"weight"}, 2,
                  "kestrin: error: unknown command 'weight'; did you mean 'weights'?"},
        UsageCase{"SwappedLetters", {"mroph", "--help"}, 2,
                  "kestrin: error: unknown command 'mroph'; did you mean 'morph'?"},
        UsageCase{"HelpForAMistypedCommand", {"help", "chek"}, 2,
                  "kestrin: error: unknown command 'chek'; did you mean 'check'?"},
        UsageCase{"NothingLikeACommand", {"frobnicate"}, 2, "kestrin: error: unknown command 'frobnicate'"},
        UsageCase{"MistypedOption", {"weights", "--rest", "r.obj", "--exponant", "3"}, 2,
                  "kestrin: error: unknown option --exponant for 'kestrin weights'; did you mean --exponent?"},
        UsageCase{"MistypedOptionWithValue", {"morph", "--squash-targt=q.obj"}, 2,
                  "kestrin: error: unknown option --squash-targt for 'kestrin morph'; did you mean "
                  "--squash-target?"},
        UsageCase{"OptionOfAnotherCommand", {"morph", "--clamp", "off"}, 2,
                  "kestrin: error: unknown option --clamp for 'kestrin morph'"},
        UsageCase{"MissingValue", {"weights", "--pose", "p.obj", "-o", "w.csv", "--rest"}, 2,
                  "kestrin: error: --rest: 1 required REST missing"},
        UsageCase{"BadValue", {"weights", "--rest", "r.obj", "--pose", "p.obj", "-o", "w.csv", "--clamp", "maybe"},
                  2, "kestrin: error: --clamp: maybe not in {on,off}"},
        UsageCase{"NoCommand", {}, 2, "kestrin: error: no command given"},
        UsageCase{"Version", {"--version"}, 0, ""},
        UsageCase{"Help", {"help"}, 0, ""}),
    [](const testing::TestParamInfo<UsageCase>& info) { return info.param.name; });

TEST(Usage, HelpCommandShowsTheCommandsOwnHelp) {
    for (const char* command : {"weights", "morph", "check", "demo"}) {
        const test::ToolRun help = runTool({"help", command});
        EXPECT_EQ(help.exitCode, 0) << command;
        EXPECT_EQ(help.out, runTool({command, "--help"}).out) << command;
        EXPECT_NE(help.out.find(std::string("Usage: kestrin ") + command), std::string::npos) << help.out;
    }
    const test::ToolRun main = runTool({"help"});
    EXPECT_EQ(main.out, runTool({"--help"}).out);
    EXPECT_NE(main.out.find("kestrin help COMMAND"), std::string::npos) << main.out;
}

TEST(Usage, VersionIsOneLine) {
    const test::ToolRun run = runTool({"--version"});
    EXPECT_TRUE(std::regex_match(run.out, std::regex("kestrin [0-9]+\\.[0-9]+\\.[0-9]+\n"))) << run.out;
}

// -o=FILE as many tools accept it: the file is FILE, not "=FILE".
TEST(Usage, ShortOptionWithEqualsSignTakesTheValueAfterIt) {
    ScratchDirectory scratch;
    test::writeText(scratch.file("rest.obj"), "v 0 0 0\nv 1 0 0\nv 1 1 0\nf 1 2 3\n");
    const test::ToolRun run =
        runTool({"weights", "--rest", "rest.obj", "--pose", "rest.obj", "-o=w.csv"}, scratch.path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(scratch.entries(), (std::vector<std::string>{"rest.obj", "w.csv"}));
}

}  // namespace
}  // namespace kestrin::tool
